#pragma once
// What the Wayland tests share: the weston desktop the entry started, and the rule that a test
// without it skips (weston or Qt's Wayland platform not installed) or fails (weston there but
// not starting).

#include "tests/wayland/WestonDesktop.h"

#include <QRect>
#include <QString>
#include <gtest/gtest.h>
#include <ostream>

// Places and sizes in the tests' messages.
inline void PrintTo(const QRect& rect, std::ostream* out) {
    *out << rect.x() << "," << rect.y() << " " << rect.width() << "x" << rect.height();
}
inline void PrintTo(const QSize& size, std::ostream* out) {
    *out << size.width() << "x" << size.height();
}

// The desktop's size: room for the main window and the dialogs beside one another.
constexpr int DesktopWidth = 1600;
constexpr int DesktopHeight = 1000;

// The running desktop; none when it could not be had.
TWestonDesktop* Desktop();
// Why there is none, and whether that skips the tests rather than failing them.
QString DesktopProblem();
bool DesktopSkips();

#define REQUIRE_WESTON_DESKTOP()                                                                   \
    do {                                                                                           \
        if (!Desktop()) {                                                                          \
            if (DesktopSkips())                                                                    \
                GTEST_SKIP() << DesktopProblem().toStdString();                                    \
            FAIL() << "no Wayland desktop: " << DesktopProblem().toStdString();                    \
        }                                                                                          \
    } while (false)
