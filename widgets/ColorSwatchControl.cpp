#include "widgets/ColorSwatchControl.h"

#include "widgets/AskColor.h"
#include "widgets/FlatStyle.h"

#include <QPainter>

TColorSwatchControl::TColorSwatchControl(QWidget* parent) : QAbstractButton(parent) {
    setAttribute(Qt::WA_Hover);
    setFocusPolicy(Qt::TabFocus);
    connect(this, &QAbstractButton::clicked, this, &TColorSwatchControl::Choose);
}

void TColorSwatchControl::SetSelectedColor(TColor color) {
    color &= 0xFFFFFF;
    if (color == FColor)
        return;
    FColor = color;
    update();
    if (signalsBlocked())
        return;
    emit Changed();
    if (OnChange)
        OnChange();
}

void TColorSwatchControl::nextCheckState() {}

void TColorSwatchControl::Choose() {
    QColor color = WinColorToQColor(FColor);
    if (AskColor(color, this))
        SetSelectedColor(QColorToWinColor(color));
}

void TColorSwatchControl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const TFlatColors& c = FlatColors();
    const bool hot = underMouse() && isEnabled();
    painter.setPen(QPen(hot ? c.AccentSoft : c.Border, 1));
    painter.setBrush(isDown() ? c.ButtonDown : hot ? c.ButtonHot : c.ButtonFace);
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
    // The swatch, and a small arrow that says a choice opens.
    const QRectF swatch(4, 4, width() - 18, height() - 8);
    painter.setPen(QPen(c.Border.darker(115), 1));
    painter.setBrush(isEnabled() ? WinColorToQColor(FColor) : c.Face);
    painter.drawRoundedRect(swatch, 2, 2);
    painter.setPen(QPen(isEnabled() ? c.Text : c.DisabledText, 1.2));
    const QPointF m(width() - 7.5, height() / 2.0);
    painter.drawPolyline(QPolygonF({QPointF(m.x() - 2.5, m.y() - 1), QPointF(m.x(), m.y() + 1.5),
                                    QPointF(m.x() + 2.5, m.y() - 1)}));
    // The focus mark, once the focus has moved by the keyboard (as the flat style's controls).
    if (hasFocus() && window()->testAttribute(Qt::WA_KeyboardFocusChange)) {
        painter.setPen(QPen(c.Accent, 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 4, 4);
    }
}
