#include "common/DesktopOpen.h"

#include "common/Log.h"
#include "common/MsgBox.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>
#include <memory>

namespace {

// A failure that "xdg-open" reports after this long is the opened program's own end (a browser
// that ran in the foreground and was closed), not a failure to open.
constexpr qint64 failureWindowMs = 10000;

QUrl UrlOf(const QString& target, TDesktopTarget kind) {
    return kind == TDesktopTarget::Folder ? QUrl::fromLocalFile(target) : QUrl(target);
}

// Runs "xdg-open" behind a shell that waits for it: when this program ends first, only the
// shell goes with it, and whatever "xdg-open" started stays open.
void LaunchWithXdgOpen(const QString& xdgOpen, const QUrl& url, std::function<void(bool)> done) {
    auto* process = new QProcess(QCoreApplication::instance());
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    process->setProgram(QStringLiteral("/bin/sh"));
    process->setArguments({QStringLiteral("-c"), QStringLiteral("\"$0\" \"$1\" & wait $!"), xdgOpen,
                           url.toString(QUrl::FullyEncoded)});
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    QObject::connect(process, &QProcess::finished, process,
                     [process, clock, done](int exitCode, QProcess::ExitStatus status) {
                         const bool late = clock->elapsed() > failureWindowMs;
                         process->deleteLater();
                         done(late || (status == QProcess::NormalExit && exitCode == 0));
                     });
    QObject::connect(process, &QProcess::errorOccurred, process,
                     [process, done](QProcess::ProcessError error) {
                         if (error != QProcess::FailedToStart)
                             return;
                         process->deleteLater();
                         done(false);
                     });
    process->start();
}

void StandardLauncher(const QString& target, TDesktopTarget kind, std::function<void(bool)> done) {
    const QUrl url = UrlOf(target, kind);
    const QString xdgOpen = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (!xdgOpen.isEmpty() && QFileInfo::exists(QStringLiteral("/bin/sh")))
        LaunchWithXdgOpen(xdgOpen, url, std::move(done));
    else
        done(QDesktopServices::openUrl(url));
}

TDesktopLauncher& Launcher() {
    static TDesktopLauncher launcher;
    return launcher;
}

} // namespace

QString DesktopOpenFailureText(const QString& target, TDesktopTarget kind) {
    if (kind == TDesktopTarget::Folder)
        return QStringLiteral("The folder could not be opened: no file manager is available. "
                              "Open it by hand: %1")
            .arg(QDir::toNativeSeparators(target));
    return QStringLiteral("The web page could not be opened: no web browser is available. "
                          "Open this address by hand: %1")
        .arg(target);
}

void OpenOnDesktop(const QString& target, TDesktopTarget kind) {
    auto done = [target, kind](bool opened) {
        if (opened)
            return;
        MsgOut(QStringLiteral("could not open on the desktop: ") + target);
        MsgBox(DesktopOpenFailureText(target, kind), mbOK, miWarning, 1);
    };
    if (Launcher())
        Launcher()(target, kind, done);
    else
        StandardLauncher(target, kind, done);
}

TDesktopLauncher SetDesktopLauncher(TDesktopLauncher launcher) {
    return std::exchange(Launcher(), std::move(launcher));
}
