// The entry of the Wayland test: a private weston desktop first, then the application on it
// through Qt's Wayland platform, so that every window the tests make is a real Wayland surface
// that weston places and composes. Without weston or the platform the tests are skipped.

#include "tests/support/GTestStart.h"
#include "tests/wayland/WaylandTest.h"

#include <QApplication>
#include <QDir>
#include <QLibraryInfo>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>

namespace {

TWestonDesktop* TheDesktop = nullptr;
std::string Problem;
bool Skips = false;

// Why Qt cannot talk Wayland here: empty when its platform plugin is installed.
std::string PlatformProblem() {
    const QDir platforms(QLibraryInfo::path(QLibraryInfo::PluginsPath) +
                         QStringLiteral("/platforms"));
    if (platforms.entryList({QStringLiteral("libqwayland-*.so")}, QDir::Files).isEmpty())
        return "Qt's Wayland platform is not installed (qt6-wayland; scripts/install-deps)";
    return {};
}

} // namespace

TWestonDesktop* Desktop() {
    return TheDesktop;
}

QString DesktopProblem() {
    return QString::fromStdString(Problem);
}

bool DesktopSkips() {
    return Skips;
}

int main(int argc, char** argv) {
    if (StartGoogleTestOnlyListing(argc, argv))
        return RUN_ALL_TESTS();

    // Missing parts skip the tests; a desktop that is there but does not start fails them.
    TWestonDesktop desktop;
    Problem = PlatformProblem();
    if (Problem.empty() && !TWestonDesktop::IsInstalled())
        Problem = "weston is not installed (scripts/install-deps installs it)";
    Skips = !Problem.empty();
    if (Problem.empty() && desktop.Start(DesktopWidth, DesktopHeight, Problem)) {
        TheDesktop = &desktop;
        // This process and the programs it starts show their windows on that desktop only.
        ::setenv("WAYLAND_DISPLAY", desktop.Socket().c_str(), 1);
        ::setenv("QT_QPA_PLATFORM", "wayland", 1);
        ::unsetenv("DISPLAY");
        std::printf("weston desktop at %s (its messages: %s)\n", desktop.Socket().c_str(),
                    desktop.LogFile().c_str());
    } else {
        // The tests say why they skip or fail; the application needs a platform meanwhile.
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        std::printf("No Wayland desktop: %s\n", Problem.c_str());
    }

    int result = 1;
    {
        QApplication app(argc, argv);
        result = RUN_ALL_TESTS();
    }
    desktop.Stop();
    return result;
}
