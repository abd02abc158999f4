// Starting without a usable display: a clear sentence and exit code 2, never Qt's abort; and the
// main window taken away by the display server noticed.

#include "app/main/DisplayCheck.h"
#include "app/main/WindowLossWatch.h"

#include <QProcess>
#include <cstring>
#include <gtest/gtest.h>

namespace {

// Sets the display variables for the life of the object and restores them afterwards.
class TDisplayEnvironment {
public:
    TDisplayEnvironment(const QByteArray& display, const QByteArray& platform)
        : FDisplay(qgetenv("DISPLAY")), FWayland(qgetenv("WAYLAND_DISPLAY")),
          FPlatform(qgetenv("QT_QPA_PLATFORM")) {
        Set("DISPLAY", display);
        Set("WAYLAND_DISPLAY", {});
        Set("QT_QPA_PLATFORM", platform);
    }
    ~TDisplayEnvironment() {
        Set("DISPLAY", FDisplay);
        Set("WAYLAND_DISPLAY", FWayland);
        Set("QT_QPA_PLATFORM", FPlatform);
    }

private:
    static void Set(const char* name, const QByteArray& value) {
        if (value.isEmpty())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
    QByteArray FDisplay, FWayland, FPlatform;
};

} // namespace

TEST(Display, MissingOrUnreachableDisplaysAreSaidPlainly) {
    {
        TDisplayEnvironment none({}, {});
        EXPECT_TRUE(DisplayProblem().contains(QStringLiteral("No display is available")));
    }
    {
        TDisplayEnvironment absent(":987", {});
        const QString problem = DisplayProblem();
        EXPECT_TRUE(problem.contains(QStringLiteral("\":987\" cannot be opened")))
            << qPrintable(problem);
    }
    {
        // A platform chosen on purpose is left to Qt.
        TDisplayEnvironment forced(":987", "offscreen");
        EXPECT_TRUE(DisplayProblem().isEmpty());
    }
}

TEST(Display, TheProgramEndsWithCodeTwoOnAnUnreachableDisplay) {
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), QStringLiteral(":987"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(VG_PROGRAM_DIR "/gifclipmaker"));
    ASSERT_TRUE(program.waitForFinished(30000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 2);
    EXPECT_TRUE(program.readAllStandardError().contains("cannot be opened"));
}

// The X11 event of a destroyed window, as the display server sends it (32 bytes).
TEST(Display, ADestroyedMainWindowIsNoticedOnce) {
    int lost = 0;
    TWindowLossWatch watch(0x200006, [&lost] { ++lost; });
    unsigned char event[32] = {};
    const auto destroy = [&event](unsigned char code, uint32_t window) {
        event[0] = code;
        std::memcpy(event + 8, &window, 4); // after the code, a pad byte, the sequence, the parent
    };
    destroy(17, 0x200008); // another window of ours
    EXPECT_FALSE(watch.nativeEventFilter(QByteArrayLiteral("xcb_generic_event_t"), event, nullptr));
    destroy(22, 0x200006); // a ConfigureNotify of the main window
    watch.nativeEventFilter(QByteArrayLiteral("xcb_generic_event_t"), event, nullptr);
    watch.nativeEventFilter(QByteArrayLiteral("windows_generic_MSG"), event, nullptr);
    EXPECT_EQ(lost, 0);
    destroy(17 | 0x80, 0x200006); // sent by another client
    EXPECT_FALSE(watch.nativeEventFilter(QByteArrayLiteral("xcb_generic_event_t"), event,
                                         nullptr)); // Qt sees it too
    EXPECT_EQ(lost, 1);
    destroy(17, 0x200006);
    watch.nativeEventFilter(QByteArrayLiteral("xcb_generic_event_t"), event, nullptr);
    EXPECT_EQ(lost, 1);
}
