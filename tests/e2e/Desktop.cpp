#include "tests/e2e/Desktop.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

namespace {

constexpr int ToolTimeoutMs = 10000;

QString Number(int value) {
    return QString::number(value);
}

} // namespace

std::optional<QString> TDesktop::Run(const QStringList& arguments) const {
    QProcess tool;
    tool.start(QStringLiteral("xdotool"), arguments);
    if (!tool.waitForFinished(ToolTimeoutMs) || tool.exitStatus() != QProcess::NormalExit ||
        tool.exitCode() != 0)
        return std::nullopt;
    return QString::fromUtf8(tool.readAllStandardOutput());
}

void TDesktop::Do(const QStringList& arguments) {
    if (!Run(arguments))
        ADD_FAILURE() << "xdotool " << arguments.join(QLatin1Char(' ')).toStdString() << " failed";
}

void TDesktop::Click(const QPoint& at) {
    Do({QStringLiteral("mousemove"), Number(at.x()), Number(at.y()), QStringLiteral("click"),
        QStringLiteral("1")});
    FPointer = at;
}

void TDesktop::Press(const QPoint& at) {
    Do({QStringLiteral("mousemove"), Number(at.x()), Number(at.y()), QStringLiteral("mousedown"),
        QStringLiteral("1")});
    FPointer = at;
}

void TDesktop::DragTo(const QPoint& to, int steps) {
    // One move per step, each its own motion event, as a hand moves the mouse.
    const QPoint from = FPointer;
    for (int i = 1; i <= steps; ++i) {
        const QPoint at = from + (to - from) * i / steps;
        Do({QStringLiteral("mousemove"), Number(at.x()), Number(at.y())});
    }
    FPointer = to;
}

void TDesktop::Release() {
    Do({QStringLiteral("mouseup"), QStringLiteral("1")});
}

void TDesktop::Type(const QString& text) {
    Do({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("5"), text});
}

void TDesktop::Keys(const QString& keys) {
    Do({QStringLiteral("key"), keys});
}

std::optional<QRect> TDesktop::Window(const QString& titlePattern) const {
    const std::optional<QString> found =
        Run({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
             titlePattern});
    if (!found)
        return std::nullopt;
    const QStringList ids = found->split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (ids.isEmpty())
        return std::nullopt;
    // The window may be gone by now: then there is none.
    const std::optional<QString> shell =
        Run({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), ids.constFirst()});
    if (!shell)
        return std::nullopt;
    int x = 0, y = 0, width = 0, height = 0;
    for (const QString& line : shell->split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QString name = line.section(QLatin1Char('='), 0, 0);
        const int value = line.section(QLatin1Char('='), 1).toInt();
        if (name == QLatin1String("X"))
            x = value;
        else if (name == QLatin1String("Y"))
            y = value;
        else if (name == QLatin1String("WIDTH"))
            width = value;
        else if (name == QLatin1String("HEIGHT"))
            height = value;
    }
    if (width <= 0 || height <= 0)
        return std::nullopt;
    return QRect(x, y, width, height);
}

std::optional<QRect> TDesktop::WaitForWindow(const QString& titlePattern, int timeoutMs) const {
    std::optional<QRect> bounds;
    WaitUntil(
        [&] {
            bounds = Window(titlePattern);
            return bounds.has_value();
        },
        timeoutMs);
    return bounds;
}

bool TDesktop::WaitForWindowGone(const QString& titlePattern, int timeoutMs) const {
    return WaitUntil([&] { return !Window(titlePattern); }, timeoutMs);
}

QImage TDesktop::Grab() const {
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32)
                  : QImage();
}

bool TDesktop::WaitForScreen(const std::function<bool(const QImage&)>& accept, int timeoutMs,
                             QImage* last) const {
    QImage shot;
    const bool accepted = WaitUntil(
        [&] {
            shot = Grab();
            return accept(shot);
        },
        timeoutMs);
    if (last)
        *last = shot;
    return accepted;
}

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs) {
    return QTest::qWaitFor(condition, timeoutMs);
}
