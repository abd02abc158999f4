// The staged program as a native Wayland client on a weston desktop, started with a clip as a
// file manager's "Open with" starts it: it opens the clip, shows its window on the desktop and
// ends the regular way when asked to.

#include "app/Brand.h"
#include "tests/support/TestUtils.h"
#include "tests/wayland/WaylandTest.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/prctl.h>

namespace {

constexpr int WaitMs = 20000;
const QString Clip = QStringLiteral(VG_MEDIA_DIR "/bear-theora-320x180.ogv");
const QSize MainWindowSize(820, 570);

QStringList LogTexts(const QString& logFile) {
    QStringList texts;
    for (const QString& line : ReadLines(logFile))
        texts << line.section(QLatin1String("] "), 1);
    return texts;
}

QString OpenedLine() {
    return QStringLiteral("video opened: %1 (320 x 180)").arg(Clip);
}

// Waits until the desktop shows nothing but its background.
bool WaitForEmptyDesktop() {
    const QRect desktop(QPoint(0, 0), Desktop()->Size());
    return WaitFor(
        [&] {
            return BoundsOfOtherThan(Desktop()->Screenshot(), TWestonDesktop::Background, desktop)
                .isEmpty();
        },
        WaitMs);
}

} // namespace

TEST(ProgramOnWeston, TheStagedProgramOpensTheClipItWasGivenShowsItsWindowAndEndsOnRequest) {
    REQUIRE_WESTON_DESKTOP();
    ASSERT_TRUE(WaitForEmptyDesktop()) << "windows of an earlier test are still there";
    QTemporaryDir work(QDir::tempPath() + QStringLiteral("/gifclipmaker-wayland-XXXXXX"));
    ASSERT_TRUE(work.isValid());
    for (const char* name : {"home", "data", "config", "cache", "runtime"})
        ASSERT_TRUE(QDir().mkpath(work.filePath(QString::fromLatin1(name))));
    QFile::setPermissions(work.filePath(QStringLiteral("runtime")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), work.filePath(QStringLiteral("home")));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), work.filePath(QStringLiteral("data")));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), work.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), work.filePath(QStringLiteral("cache")));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), work.filePath(QStringLiteral("runtime")));
    // The program talks Wayland to the test's desktop only (the entry set both).
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
    environment.insert(QStringLiteral("WAYLAND_DISPLAY"),
                       QString::fromStdString(Desktop()->Socket()));
    environment.remove(QStringLiteral("DISPLAY"));
    const QString logFile =
        BrandDataPath(CurrentBrand(), work.filePath(QStringLiteral("data"))) + "Log.txt";
    const QString output = work.filePath(QStringLiteral("program.log"));

    QProcess program;
    program.setProcessEnvironment(environment);
    program.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    program.setProcessChannelMode(QProcess::MergedChannels);
    program.setStandardOutputFile(output);
    program.start(QStringLiteral(VG_PROGRAM_DIR "/gifclipmaker"), {Clip});
    ASSERT_TRUE(program.waitForStarted(WaitMs)) << program.errorString().toStdString();
    auto explain = [&] {
        return "\nthe program's output:\n" + ReadTextFile(output).toStdString() + "\nits log:\n" +
               ReadTextFile(logFile).toStdString();
    };

    // It opens the clip: its log says so.
    EXPECT_TRUE(WaitFor([&] { return LogTexts(logFile).contains(OpenedLine()); }, WaitMs))
        << "the clip was not opened" << explain();
    // Its main window shows on the desktop at its size, and nothing else does (no tip or dialog
    // of its own making a window of its own).
    const QRect desktop(QPoint(0, 0), Desktop()->Size());
    QRect shown;
    WaitFor(
        [&] {
            shown = BoundsOfOtherThan(Desktop()->Screenshot(), TWestonDesktop::Background, desktop);
            return shown.size() == MainWindowSize;
        },
        WaitMs);
    EXPECT_EQ(shown.size(), MainWindowSize) << "the main window does not show" << explain();

    // Asked to end (as at log-out), it closes its window and ends the regular way.
    program.terminate();
    ASSERT_TRUE(program.waitForFinished(WaitMs)) << "the program did not end" << explain();
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0) << explain();
    const QStringList texts = LogTexts(logFile);
    ASSERT_FALSE(texts.isEmpty());
    EXPECT_EQ(texts.last(), QStringLiteral("over")) << explain();
    EXPECT_TRUE(WaitForEmptyDesktop()) << "the window stays on the desktop";
}
