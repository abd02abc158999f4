#pragma once
// A tooltip the program places itself: it measures a text, shows it with its top-left corner at
// a screen point, and hides it. It never hides by itself.
//
// The tip belongs to a window (its owner): it is a tool-tip window with the owner as parent, so
// a desktop that places the windows itself (Wayland) shows it as a pop-up at its place relative
// to the owner. Without an owner given, a tip shown there belongs to the modal window in front or
// else the main window (FindOwnerWindow).

#include <QPoint>
#include <QPointer>
#include <QSize>
#include <QString>
#include <memory>

class QLabel;
class QWidget;

class TMHint {
public:
    explicit TMHint(QWidget* owner = nullptr);
    ~TMHint();
    TMHint(const TMHint&) = delete;
    TMHint& operator=(const TMHint&) = delete;

    // The size the tooltip needs for `text`, wrapped at the screen's width.
    QSize MeasureHint(const QString& text) const;
    // Shows the text with the tooltip's top-left corner at `point` (screen pixels); moves and
    // changes a tooltip already shown.
    void ShowHintAt(const QPoint& point, const QString& text);
    // Hides the tooltip when it shows; otherwise nothing.
    void HideHint();

    bool IsShowing() const;
    // The tooltip window (for tests and placement).
    QLabel* Window() const { return FWindow.data(); }

private:
    // The tooltip window, a child of `owner`'s window (none: a window of its own); made again
    // when it went with its owner.
    void TieTo(QWidget* owner);

    QPointer<QWidget> FOwner;
    QPointer<QLabel> FWindow;
    // A twin of the tooltip that is never shown: it measures texts the way the tooltip lays
    // them out.
    std::unique_ptr<QLabel> FMeasure;
};
