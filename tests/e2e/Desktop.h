#pragma once
// The test's hands and eyes on the virtual display: mouse and keyboard through xdotool (real X
// input events, as a user's hands make them), top-level windows found by their titles, and
// screenshots of the whole screen.

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class TDesktop {
public:
    // The mouse, with the left button.
    void Click(const QPoint& at);
    void Press(const QPoint& at);             // moves there and holds the button down
    void DragTo(const QPoint& to, int steps); // moves there in even steps, the button held
    void Release();

    // The keyboard: text as typed, and key combinations such as "ctrl+a" or "Return".
    void Type(const QString& text);
    void Keys(const QString& keys);

    // The screen bounds of the visible window whose title matches the regular expression.
    std::optional<QRect> Window(const QString& titlePattern) const;
    std::optional<QRect> WaitForWindow(const QString& titlePattern, int timeoutMs) const;
    bool WaitForWindowGone(const QString& titlePattern, int timeoutMs) const;

    // The whole screen as it is now.
    QImage Grab() const;
    // Takes screenshots until `accept` takes one or the time runs out; the last one taken is
    // left in `last`.
    bool WaitForScreen(const std::function<bool(const QImage&)>& accept, int timeoutMs,
                       QImage* last = nullptr) const;

private:
    // Runs xdotool; its standard output, or nullopt when it failed.
    std::optional<QString> Run(const QStringList& arguments) const;
    void Do(const QStringList& arguments);

    QPoint FPointer;
};

// Waits (running the event loop between tries) until `condition` holds; false when the time ran
// out first.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs);
