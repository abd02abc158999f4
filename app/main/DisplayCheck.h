#pragma once
// Whether the program can show its window: a display must be named and, for X11, answer.

#include <QString>

// Empty when a window can be shown (or a platform is forced through QT_QPA_PLATFORM); otherwise a
// sentence for the terminal saying why not. An X11 display is tried once with the X client
// library that Qt's own X11 support loads, so a display that is named but not there is reported
// instead of ending in Qt's abort.
QString DisplayProblem();
