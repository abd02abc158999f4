// The entry of the end-to-end test: a virtual X display of its own first, then a QGuiApplication
// on that display, so the test looks (by screenshots) at exactly what the program shows there.

#include "tests/e2e/VirtualDisplay.h"
#include "tests/support/GTestStart.h"

#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

int main(int argc, char** argv) {
    if (StartGoogleTestOnlyListing(argc, argv))
        return RUN_ALL_TESTS();

    const char* tmp = std::getenv("TMPDIR");
    const std::string log = std::string(tmp && *tmp ? tmp : "/tmp") + "/gifclipmaker-e2e-xvfb-" +
                            std::to_string(::getpid()) + ".log";
    TVirtualDisplay display;
    std::string error;
    if (!display.Start(1280, 800, log, error)) {
        std::fprintf(stderr, "No virtual display: %s\n", error.c_str());
        return 1;
    }
    // This process and every one it starts (the program, xdotool) use the virtual display, never
    // the desktop the test was started from.
    ::setenv("DISPLAY", display.Name().c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    ::unsetenv("WAYLAND_DISPLAY");
    std::printf("Virtual display %s (server messages: %s)\n", display.Name().c_str(), log.c_str());

    int result = 1;
    {
        QGuiApplication app(argc, argv);
        result = RUN_ALL_TESTS();
    }
    display.Stop();
    if (result == 0)
        std::remove(log.c_str());
    return result;
}
