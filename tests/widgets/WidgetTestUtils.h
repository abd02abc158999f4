#pragma once
// Mouse input sent straight to a widget (through the application, so event filters see it) and
// colour checks on grabbed pictures.

#include <QColor>
#include <QImage>
#include <QPoint>

class QWidget;

void SendMouse(QWidget* widget, int type, const QPoint& pos, Qt::MouseButton button,
               Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
void Press(QWidget* widget, const QPoint& pos, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
void MoveHeld(QWidget* widget, const QPoint& pos);
void Release(QWidget* widget, const QPoint& pos);
void Click(QWidget* widget, const QPoint& pos, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
void DoubleClick(QWidget* widget, const QPoint& pos);

// The widget as shown, in device-independent pixels.
QImage Grab(QWidget* widget);
// Whether two colours differ by at most `tolerance` in each channel.
bool Near(const QColor& a, const QColor& b, int tolerance = 8);
