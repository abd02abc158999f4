#pragma once
// The life of the program's process: the start-up objects, the single-instance test, the
// installation check, the settings, the main window and the message loop, and the shutdown.

#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

struct TRunOptions {
    // The program folder; empty: the folder of the executable.
    QString AppPath;
    // Stops the message loop as soon as the main window is shown (tests).
    bool QuitWhenShown = false;
    // Called with the main window once it is shown (tests).
    std::function<void(QWidget* mainWindow)> WhenShown;
    // The files named on the command line ("Open with" of a file manager): the first is opened
    // once the main window is shown, or handed to the running instance by a second start; the
    // rest are named in the log.
    QStringList Files;
};

// Runs the program on the existing QApplication and returns the process exit code:
// 0 after a normal end or a second start (which brings the running window to the front and hands
// it the file it was given), 1 when the program cannot run (not installed, no
// usable work folder). The program also ends the regular way when its main window is destroyed
// without a close request (by the display server, say), so it never runs on without a window
// while holding the single-instance lock.
int RunApplication(const TRunOptions& options = {});
