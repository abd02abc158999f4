#pragma once
// A tooltip the program places itself: it measures a text, shows it with its top-left corner at
// a screen point, and hides it. It never hides by itself.

#include <QPoint>
#include <QSize>
#include <QString>
#include <memory>

class QLabel;

class TMHint {
public:
    TMHint();
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
    QLabel* Window() const { return FWindow.get(); }

private:
    std::unique_ptr<QLabel> FWindow;
    // A twin of the tooltip that is never shown: it measures texts the way the tooltip lays
    // them out.
    std::unique_ptr<QLabel> FMeasure;
};
