#include "WidgetTestUtils.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>

void SendMouse(QWidget* widget, int type, const QPoint& pos, Qt::MouseButton button,
               Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers) {
    QMouseEvent event(QEvent::Type(type), QPointF(pos), QPointF(widget->mapToGlobal(pos)), button,
                      buttons, modifiers);
    QApplication::sendEvent(widget, &event);
}

void Press(QWidget* widget, const QPoint& pos, Qt::KeyboardModifiers modifiers) {
    SendMouse(widget, QEvent::MouseButtonPress, pos, Qt::LeftButton, Qt::LeftButton, modifiers);
}

void MoveHeld(QWidget* widget, const QPoint& pos) {
    SendMouse(widget, QEvent::MouseMove, pos, Qt::NoButton, Qt::LeftButton);
}

void Release(QWidget* widget, const QPoint& pos) {
    SendMouse(widget, QEvent::MouseButtonRelease, pos, Qt::LeftButton, Qt::NoButton);
}

void Click(QWidget* widget, const QPoint& pos, Qt::KeyboardModifiers modifiers) {
    Press(widget, pos, modifiers);
    SendMouse(widget, QEvent::MouseButtonRelease, pos, Qt::LeftButton, Qt::NoButton, modifiers);
}

void DoubleClick(QWidget* widget, const QPoint& pos) {
    Click(widget, pos);
    SendMouse(widget, QEvent::MouseButtonDblClick, pos, Qt::LeftButton, Qt::LeftButton);
    SendMouse(widget, QEvent::MouseButtonRelease, pos, Qt::LeftButton, Qt::NoButton);
}

QImage Grab(QWidget* widget) {
    QImage image = widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
    image.setDevicePixelRatio(1);
    return image;
}

bool Near(const QColor& a, const QColor& b, int tolerance) {
    return qAbs(a.red() - b.red()) <= tolerance && qAbs(a.green() - b.green()) <= tolerance &&
           qAbs(a.blue() - b.blue()) <= tolerance;
}
