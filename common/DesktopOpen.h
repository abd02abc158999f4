#pragma once
// Opening a web page or a folder with the desktop's own program for it (the browser, the file
// manager). A desktop may have none: then the user is told what could not be opened and where it
// is, so it can be opened by hand, instead of the click doing nothing.

#include <QString>
#include <functional>

enum class TDesktopTarget { WebPage, Folder };

// Opens the address or folder; returns at once. When the desktop says it cannot (no opener
// program, or it ends with a failure within a few seconds), a message box names the target.
void OpenOnDesktop(const QString& target, TDesktopTarget kind);

// The text of that message.
QString DesktopOpenFailureText(const QString& target, TDesktopTarget kind);

// What hands the target to the desktop: it calls `done` once with whether that worked (possibly
// later, on the calling thread). The standard one runs "xdg-open" when it is on the PATH and
// asks Qt's desktop services otherwise. Tests install their own; returns the one replaced (an
// empty one restores the standard one).
using TDesktopLauncher =
    std::function<void(const QString& target, TDesktopTarget kind, std::function<void(bool)> done)>;
TDesktopLauncher SetDesktopLauncher(TDesktopLauncher launcher);
