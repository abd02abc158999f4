#include "widgets/FlatStyle.h"

#include <QApplication>
#include <QLinearGradient>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QStyleFactory>
#include <QStyleOption>
#include <QTabBar>

const TFlatColors& FlatColors() {
    static const TFlatColors colors;
    return colors;
}

QPalette FlatPalette() {
    const TFlatColors& c = FlatColors();
    QPalette palette;
    palette.setColor(QPalette::Window, c.Face);
    palette.setColor(QPalette::WindowText, c.Text);
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::AlternateBase, c.Face);
    palette.setColor(QPalette::Text, c.Text);
    palette.setColor(QPalette::Button, c.ButtonFace);
    palette.setColor(QPalette::ButtonText, c.Text);
    palette.setColor(QPalette::Highlight, c.Accent);
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Link, c.Accent);
    palette.setColor(QPalette::LinkVisited, c.Accent);
    palette.setColor(QPalette::ToolTipBase, QColor(255, 255, 225));
    palette.setColor(QPalette::ToolTipText, c.Text);
    palette.setColor(QPalette::Light, Qt::white);
    palette.setColor(QPalette::Midlight, c.Face);
    palette.setColor(QPalette::Mid, c.Border);
    palette.setColor(QPalette::Dark, c.Border.darker(120));
    palette.setColor(QPalette::Shadow, c.Border.darker(150));
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, c.DisabledText);
    return palette;
}

TFlatStyle::TFlatStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

void TFlatStyle::polish(QPalette& palette) {
    palette = FlatPalette();
}

namespace {

void RoundedFrame(QPainter* painter, const QRectF& rect, const QColor& border, const QColor& fill,
                  qreal radius) {
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(QPen(border, 1));
    painter->setBrush(fill.isValid() ? QBrush(fill) : QBrush(Qt::NoBrush));
    painter->drawRoundedRect(rect.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
    painter->restore();
}

} // namespace

void TFlatStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option,
                               QPainter* painter, const QWidget* widget) const {
    const TFlatColors& c = FlatColors();
    const bool enabled = option->state & State_Enabled;
    switch (element) {
    case PE_PanelButtonCommand: {
        QColor fill = c.ButtonFace, border = c.Border;
        if (option->state & (State_Sunken | State_On)) {
            fill = c.ButtonDown;
            border = c.Accent;
        } else if (enabled && (option->state & State_MouseOver)) {
            fill = c.ButtonHot;
            border = c.AccentSoft;
        }
        RoundedFrame(painter, option->rect, border, fill, 4);
        return;
    }
    case PE_FrameLineEdit:
    case PE_PanelLineEdit: {
        if (element == PE_PanelLineEdit) {
            const auto* frame = qstyleoption_cast<const QStyleOptionFrame*>(option);
            if (frame && frame->lineWidth <= 0) {
                painter->fillRect(option->rect, option->palette.base());
                return;
            }
        }
        const QColor border = !enabled                           ? c.Border.lighter(108)
                              : (option->state & State_HasFocus) ? c.Accent
                                                                 : c.Border;
        RoundedFrame(painter, option->rect, border,
                     enabled ? option->palette.color(QPalette::Base) : c.Face, 3);
        return;
    }
    case PE_FrameFocusRect: {
        // Where the keyboard is: a thin accent outline round the caption of a check box, radio
        // button or tab, round a tool button's face and round the current row of a list. Only
        // after the focus moved by the keyboard; a click shows where the focus is already.
        if (!(option->state & State_KeyboardFocusChange) || option->rect.isEmpty())
            return;
        RoundedFrame(painter, QRectF(option->rect).adjusted(-1, 0, 1, 0), c.Accent, QColor(), 3);
        return;
    }
    case PE_PanelMenu:
    case PE_FrameMenu: {
        const QColor face = option->palette.color(QPalette::Window);
        painter->fillRect(option->rect, face);
        QLinearGradient column(option->rect.left(), 0, option->rect.left() + MenuColumnWidth, 0);
        column.setColorAt(0, face.lighter(103));
        column.setColorAt(1, face.darker(108));
        painter->fillRect(
            QRect(option->rect.left(), option->rect.top(), MenuColumnWidth, option->rect.height()),
            column);
        painter->setPen(c.Border);
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(option->rect.adjusted(0, 0, -1, -1));
        return;
    }
    case PE_FrameTabWidget: {
        painter->fillRect(option->rect, c.Window);
        painter->setPen(c.Border);
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(option->rect.adjusted(0, 0, -1, -1));
        return;
    }
    case PE_FrameGroupBox: {
        RoundedFrame(painter, option->rect, c.Border, QColor(), 4);
        return;
    }
    default:
        QProxyStyle::drawPrimitive(element, option, painter, widget);
    }
}

// Each Draw... below paints one kind of control in the flat look; false leaves it to the base
// style.

bool TFlatStyle::DrawMenuItem(const QStyleOption* option, QPainter* painter,
                              const QWidget* widget) const {
    const TFlatColors& c = FlatColors();
    const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    if (!item)
        return false;
    const QRect r = option->rect;
    if (item->menuItemType == QStyleOptionMenuItem::Separator) {
        painter->setPen(c.Border);
        const int y = r.center().y();
        painter->drawLine(r.left() + MenuColumnWidth + 6, y, r.right() - 4, y);
        return true;
    }
    const bool enabled = item->state & State_Enabled;
    const bool selected = enabled && (item->state & State_Selected);
    if (selected) {
        QLinearGradient gradient(0, r.top(), 0, r.bottom());
        gradient.setColorAt(0, c.ButtonHot.lighter(103));
        gradient.setColorAt(1, c.ButtonDown);
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(QPen(c.AccentSoft, 1));
        painter->setBrush(gradient);
        painter->drawRoundedRect(QRectF(r).adjusted(2.5, 1.5, -2.5, -1.5), 3, 3);
        painter->restore();
    }
    const QRect iconRect(r.left() + (MenuColumnWidth - 16) / 2, r.top() + (r.height() - 16) / 2, 16,
                         16);
    if (!item->icon.isNull()) {
        item->icon.paint(painter, iconRect, Qt::AlignCenter,
                         enabled ? QIcon::Normal : QIcon::Disabled);
    } else if (item->checked) {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(QPen(enabled ? c.Accent : c.DisabledText, 2));
        painter->drawPolyline(QPolygonF({QPointF(iconRect.left() + 3, iconRect.center().y()),
                                         QPointF(iconRect.left() + 7, iconRect.bottom() - 3),
                                         QPointF(iconRect.right() - 2, iconRect.top() + 3)}));
        painter->restore();
    }
    QString text = item->text;
    QString shortcut;
    const qsizetype tab = text.indexOf(QLatin1Char('\t'));
    if (tab >= 0) {
        shortcut = text.mid(tab + 1);
        text = text.left(tab);
    }
    painter->setPen(enabled ? c.Text : c.DisabledText);
    painter->setFont(item->font);
    const QRect textRect = r.adjusted(MenuColumnWidth + 8, 0, -12, 0);
    painter->drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft | Qt::TextShowMnemonic, text);
    if (!shortcut.isEmpty())
        painter->drawText(textRect, Qt::AlignVCenter | Qt::AlignRight, shortcut);
    if (item->menuItemType == QStyleOptionMenuItem::SubMenu) {
        QStyleOption arrow = *option;
        arrow.rect = QRect(r.right() - 12, r.top() + (r.height() - 8) / 2, 8, 8);
        QProxyStyle::drawPrimitive(PE_IndicatorArrowRight, &arrow, painter, widget);
    }
    return true;
}

bool TFlatStyle::DrawTabShape(const QStyleOption* option, QPainter* painter) const {
    const TFlatColors& c = FlatColors();
    const auto* tab = qstyleoption_cast<const QStyleOptionTab*>(option);
    if (!tab || (tab->shape != QTabBar::RoundedNorth && tab->shape != QTabBar::TriangularNorth))
        return false;
    const bool selected = option->state & State_Selected;
    const bool hot = (option->state & State_MouseOver) && (option->state & State_Enabled);
    QRect r = option->rect;
    if (!selected)
        r.adjust(0, 3, 0, 0);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    const QRectF f = QRectF(r).adjusted(0.5, 0.5, -0.5, selected ? 1.0 : -0.5);
    path.moveTo(f.bottomLeft());
    path.lineTo(f.left(), f.top() + 3);
    path.quadTo(f.topLeft(), QPointF(f.left() + 3, f.top()));
    path.lineTo(f.right() - 3, f.top());
    path.quadTo(f.topRight(), QPointF(f.right(), f.top() + 3));
    path.lineTo(f.bottomRight());
    painter->setPen(QPen(c.Border, 1));
    painter->setBrush(selected ? c.Window : hot ? c.ButtonHot : c.Face);
    painter->drawPath(path);
    if (selected) {
        painter->setPen(QPen(c.Accent, 2));
        painter->drawLine(QPointF(f.left() + 2, f.top() + 1), QPointF(f.right() - 2, f.top() + 1));
    }
    painter->restore();
    return true;
}

bool TFlatStyle::DrawTabLabel(const QStyleOption* option, QPainter* painter,
                              const QWidget* widget) const {
    // The base style draws a focus frame of its own look round the label, past this style:
    // the label is drawn without the focus and this style's mark is added.
    const auto* tab = qstyleoption_cast<const QStyleOptionTab*>(option);
    if (!tab || !(tab->state & State_HasFocus))
        return false;
    QStyleOptionTab label = *tab;
    label.state &= ~State_HasFocus;
    QProxyStyle::drawControl(CE_TabBarTabLabel, &label, painter, widget);
    QStyleOptionFocusRect focus;
    focus.QStyleOption::operator=(*tab);
    focus.rect = tab->rect.adjusted(4, 3, -4, -2);
    drawPrimitive(PE_FrameFocusRect, &focus, painter, widget);
    return true;
}

void TFlatStyle::DrawComboBox(const QStyleOptionComplex* option, const QStyleOptionComboBox* combo,
                              QPainter* painter, const QWidget* widget) const {
    const TFlatColors& c = FlatColors();
    const bool enabled = option->state & State_Enabled;
    const QColor border = !enabled                            ? c.Border.lighter(108)
                          : (option->state & State_HasFocus)  ? c.Accent
                          : (option->state & State_MouseOver) ? c.AccentSoft
                                                              : c.Border;
    RoundedFrame(
        painter, option->rect, border,
        combo->editable || !enabled ? (enabled ? QColor(Qt::white) : c.Face) : c.ButtonFace, 3);
    const QRect arrowRect = subControlRect(CC_ComboBox, option, SC_ComboBoxArrow, widget);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(QPen(enabled ? c.Text : c.DisabledText, 1.4));
    const QPointF m = QRectF(arrowRect).center();
    painter->drawPolyline(QPolygonF({QPointF(m.x() - 3.5, m.y() - 1.5), QPointF(m.x(), m.y() + 2),
                                     QPointF(m.x() + 3.5, m.y() - 1.5)}));
    painter->restore();
}

void TFlatStyle::DrawScrollBar(const QStyleOptionComplex* option, const QStyleOptionSlider* bar,
                               QPainter* painter, const QWidget* widget) const {
    const TFlatColors& c = FlatColors();
    painter->fillRect(option->rect, c.Face);
    const QRect handle = subControlRect(CC_ScrollBar, option, SC_ScrollBarSlider, widget);
    const bool hot =
        (option->state & State_MouseOver) && (option->activeSubControls & SC_ScrollBarSlider);
    const bool down =
        (option->state & State_Sunken) && (option->activeSubControls & SC_ScrollBarSlider);
    QRectF thumb = QRectF(handle).adjusted(2, 2, -2, -2);
    const qreal r = qMin(thumb.width(), thumb.height()) / 2;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(Qt::NoPen);
    painter->setBrush(down ? c.Accent : hot ? c.Border.darker(125) : c.Border);
    if (handle.isValid() && option->state & State_Enabled)
        painter->drawRoundedRect(thumb, r, r);
    // Small chevrons on the step buttons.
    painter->setPen(QPen(option->state & State_Enabled ? c.Text : c.DisabledText, 1.2));
    painter->setBrush(Qt::NoBrush);
    const bool horizontal = bar->orientation == Qt::Horizontal;
    for (const SubControl sub : {SC_ScrollBarSubLine, SC_ScrollBarAddLine}) {
        const QRectF box = subControlRect(CC_ScrollBar, option, sub, widget);
        if (box.isEmpty())
            continue;
        const QPointF m = box.center();
        const qreal d = sub == SC_ScrollBarSubLine ? -1 : 1;
        if (horizontal)
            painter->drawPolyline(
                QPolygonF({QPointF(m.x() - d * 1.5, m.y() - 3), QPointF(m.x() + d * 1.5, m.y()),
                           QPointF(m.x() - d * 1.5, m.y() + 3)}));
        else
            painter->drawPolyline(
                QPolygonF({QPointF(m.x() - 3, m.y() - d * 1.5), QPointF(m.x(), m.y() + d * 1.5),
                           QPointF(m.x() + 3, m.y() - d * 1.5)}));
    }
    painter->restore();
}

void TFlatStyle::DrawSlider(const QStyleOptionComplex* option, QPainter* painter,
                            const QWidget* widget) const {
    const TFlatColors& c = FlatColors();
    const QRect groove = subControlRect(CC_Slider, option, SC_SliderGroove, widget);
    const QRect handle = subControlRect(CC_Slider, option, SC_SliderHandle, widget);
    const int y = groove.center().y();
    const QRectF track(groove.left() + 2, y - 2, groove.width() - 4, 4);
    RoundedFrame(painter, track, c.Border, c.Face, 2);
    QRectF done = track;
    done.setRight(handle.center().x());
    if (done.width() > 0)
        RoundedFrame(painter, done, c.Accent, c.Accent, 2);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(QPen(option->state & State_Enabled ? c.Accent : c.Border, 1.5));
    painter->setBrush(Qt::white);
    const qreal d = qMin(handle.width(), handle.height()) - 2;
    painter->drawEllipse(QRectF(handle).center(), d / 2, d / 2);
    if ((option->state & State_HasFocus) && (option->state & State_KeyboardFocusChange)) {
        // Moved to by the keyboard: a soft ring round the thumb.
        painter->setPen(QPen(c.AccentSoft, 2));
        painter->setBrush(Qt::NoBrush);
        painter->drawEllipse(QRectF(handle).center(), d / 2 + 2, d / 2 + 2);
    }
    painter->restore();
}

void TFlatStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                             const QWidget* widget) const {
    const TFlatColors& c = FlatColors();
    switch (element) {
    case CE_MenuItem:
        if (DrawMenuItem(option, painter, widget))
            return;
        break;
    case CE_TabBarTabShape:
        if (DrawTabShape(option, painter))
            return;
        break;
    case CE_TabBarTabLabel:
        if (DrawTabLabel(option, painter, widget))
            return;
        break;
    case CE_ProgressBarGroove: {
        RoundedFrame(painter, option->rect, c.Border, c.Face, 3);
        return;
    }
    case CE_ProgressBarContents: {
        const auto* bar = qstyleoption_cast<const QStyleOptionProgressBar*>(option);
        if (!bar || bar->maximum <= bar->minimum)
            return;
        const double fraction =
            double(bar->progress - bar->minimum) / double(bar->maximum - bar->minimum);
        QRect filled = option->rect.adjusted(1, 1, -1, -1);
        filled.setWidth(int(filled.width() * qBound(0.0, fraction, 1.0)));
        if (filled.width() > 0)
            RoundedFrame(painter, filled, c.Accent, c.Accent, 2);
        return;
    }
    case CE_PushButtonBevel: {
        drawPrimitive(PE_PanelButtonCommand, option, painter, widget);
        return;
    }
    default:
        break;
    }
    QProxyStyle::drawControl(element, option, painter, widget);
}

void TFlatStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                                    QPainter* painter, const QWidget* widget) const {
    if (control == CC_ComboBox)
        if (const auto* combo = qstyleoption_cast<const QStyleOptionComboBox*>(option))
            return DrawComboBox(option, combo, painter, widget);
    if (control == CC_ScrollBar)
        if (const auto* bar = qstyleoption_cast<const QStyleOptionSlider*>(option))
            return DrawScrollBar(option, bar, painter, widget);
    if (control == CC_Slider) {
        const auto* slider = qstyleoption_cast<const QStyleOptionSlider*>(option);
        if (slider && slider->orientation == Qt::Horizontal)
            return DrawSlider(option, painter, widget);
    }
    QProxyStyle::drawComplexControl(control, option, painter, widget);
}

int TFlatStyle::pixelMetric(PixelMetric metric, const QStyleOption* option,
                            const QWidget* widget) const {
    switch (metric) {
    case PM_MenuPanelWidth:
        return 1;
    case PM_MenuHMargin:
        return 0;
    case PM_MenuVMargin:
        return 3;
    case PM_DefaultFrameWidth:
        return 1;
    case PM_ScrollBarExtent:
        return 12;
    default:
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
}

QSize TFlatStyle::sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                                   const QWidget* widget) const {
    if (type == CT_MenuItem) {
        const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
        if (item && item->menuItemType == QStyleOptionMenuItem::Separator)
            return QSize(size.width(), 7);
        const QFontMetrics metrics(item ? item->font : QFont());
        QString text = item ? item->text : QString();
        text.replace(QLatin1Char('\t'), QLatin1String("    "));
        return QSize(MenuColumnWidth + 8 + metrics.horizontalAdvance(text) + 36,
                     qMax(24, metrics.height() + 8));
    }
    return QProxyStyle::sizeFromContents(type, option, size, widget);
}

int TFlatStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                          QStyleHintReturn* returnData) const {
    if (hint == SH_Menu_Scrollable)
        return 0;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}

void ApplyFlatStyle() {
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (!app || qobject_cast<TFlatStyle*>(QApplication::style()))
        return;
    QApplication::setStyle(new TFlatStyle());
    QApplication::setPalette(FlatPalette());
}

void MakeOwnerDrawnMenu(QMenu* menu, const QColor& menuColor) {
    ApplyFlatStyle();
    QPalette palette = menu->palette();
    palette.setColor(QPalette::Window, menuColor);
    menu->setPalette(palette);
    menu->setAttribute(Qt::WA_TranslucentBackground, false);
}
