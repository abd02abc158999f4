#include "widgets/SkinButton.h"

#include "widgets/FlatStyle.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QEnterEvent>
#include <QKeyEvent>
#include <QPainter>
#include <algorithm>

namespace {

// A caption as it reads: "&&" is an ampersand, a single "&" only marks the shortcut letter.
QString WithoutMnemonic(const QString& caption) {
    QString text;
    text.reserve(caption.size());
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == QLatin1Char('&') && i + 1 < caption.size())
            ++i;
        else if (caption[i] == QLatin1Char('&'))
            continue;
        text += caption[i];
    }
    return text;
}

// What screen readers see of a skin button: a push button (a latching one tells whether it is
// down) named and described by the button itself, which can be pressed.
class TAccessibleSkinButton : public QAccessibleWidget {
public:
    explicit TAccessibleSkinButton(TSkinButton* button)
        : QAccessibleWidget(button, QAccessible::Button) {}

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name)
            return Button()->AccessibleName();
        if (t == QAccessible::Description)
            return Button()->AccessibleDescription();
        return QAccessibleWidget::text(t);
    }
    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.pressed = Button()->isDown();
        if (Button()->isCheckable()) {
            state.checkable = true;
            state.checked = Button()->isChecked();
        }
        return state;
    }
    QStringList actionNames() const override {
        QStringList names = QAccessibleWidget::actionNames();
        if (Button()->isEnabled())
            names.prepend(pressAction());
        return names;
    }
    void doAction(const QString& name) override {
        if (name == pressAction() && Button()->isEnabled())
            Button()->click();
        else
            QAccessibleWidget::doAction(name);
    }

private:
    TSkinButton* Button() const { return static_cast<TSkinButton*>(widget()); }
};

QAccessibleInterface* SkinButtonAccessible(const QString& className, QObject* object) {
    if (className == QLatin1String("TSkinButton"))
        if (auto* button = qobject_cast<TSkinButton*>(object))
            return new TAccessibleSkinButton(button);
    return nullptr;
}

} // namespace

TSkinButton::TSkinButton(QWidget* parent) : QAbstractButton(parent) {
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(&SkinButtonAccessible);
        return true;
    }();
    (void)factoryInstalled;
    setFocusPolicy(Qt::TabFocus);
    setAttribute(Qt::WA_Hover);
}

bool TSkinButton::IsSymbolCaption(const QString& caption) {
    const QString text = WithoutMnemonic(caption).trimmed();
    if (text.size() <= 1)
        return true;
    return std::none_of(text.begin(), text.end(), [](QChar c) { return c.isLetterOrNumber(); });
}

QString TSkinButton::AccessibleName() const {
    if (!accessibleName().isEmpty())
        return accessibleName();
    if (IsSymbolCaption(text()) && !toolTip().isEmpty())
        return toolTip();
    return WithoutMnemonic(text());
}

QString TSkinButton::AccessibleDescription() const {
    if (!accessibleDescription().isEmpty())
        return accessibleDescription();
    // The hint is not said twice when it already serves as the name.
    return AccessibleName() == toolTip() ? QString() : toolTip();
}

bool TSkinButton::StateFromName(const QString& name, TSkinState* state) {
    static const struct {
        const char* Name;
        TSkinState State;
    } names[] = {{"normal", TSkinState::Normal},
                 {"hot", TSkinState::Hot},
                 {"down", TSkinState::Down},
                 {"disabled", TSkinState::Disabled},
                 {"staydown", TSkinState::StayDown}};
    for (const auto& entry : names) {
        if (name.compare(QLatin1String(entry.Name), Qt::CaseInsensitive) == 0) {
            *state = entry.State;
            return true;
        }
    }
    return false;
}

void TSkinButton::SetPicture(TSkinState state, const QImage& picture) {
    FPictures[size_t(state)] = picture;
    update();
}

bool TSkinButton::HasPictures() const {
    for (const QImage& picture : FPictures)
        if (!picture.isNull())
            return true;
    return false;
}

bool TSkinButton::LoadPicture(const QString& stateName, const QString& fileName) {
    TSkinState state;
    if (!StateFromName(stateName, &state))
        return false;
    QImage picture(fileName);
    if (picture.isNull())
        return false;
    SetPicture(state, picture);
    return true;
}

void TSkinButton::SetStretchMargins(int left, int right) {
    FMarginLeft = qMax(0, left);
    FMarginRight = qMax(0, right);
    FStretch = true;
    update();
}

void TSkinButton::SetStayDown(bool down) {
    setCheckable(true);
    setChecked(down);
}

TSkinState TSkinButton::CurrentState() const {
    if (!isEnabled())
        return TSkinState::Disabled;
    if (isDown())
        return TSkinState::Down;
    if (isCheckable() && isChecked())
        return TSkinState::StayDown;
    if (FHot)
        return TSkinState::Hot;
    return TSkinState::Normal;
}

QSize TSkinButton::sizeHint() const {
    const QImage& normal = FPictures[size_t(TSkinState::Normal)];
    if (!normal.isNull())
        return normal.size();
    const QFontMetrics metrics(font());
    return QSize(metrics.horizontalAdvance(text()) + 24, metrics.height() + 10);
}

void TSkinButton::enterEvent(QEnterEvent* event) {
    FHot = true;
    update();
    QAbstractButton::enterEvent(event);
}

void TSkinButton::leaveEvent(QEvent* event) {
    FHot = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void TSkinButton::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange && !isEnabled())
        FHot = false;
    if (event->type() == QEvent::ToolTipChange && QAccessible::isActive()) {
        // The hint may be the name (symbol captions) or the description.
        QAccessibleEvent nameChanged(this, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&nameChanged);
        QAccessibleEvent descriptionChanged(this, QAccessible::DescriptionChanged);
        QAccessible::updateAccessibility(&descriptionChanged);
    }
    QAbstractButton::changeEvent(event);
}

void TSkinButton::focusInEvent(QFocusEvent* event) {
    switch (event->reason()) {
    case Qt::TabFocusReason:
    case Qt::BacktabFocusReason:
    case Qt::ShortcutFocusReason:
    case Qt::OtherFocusReason:
        FKeyboardFocus = true;
        break;
    case Qt::MouseFocusReason:
        FKeyboardFocus = false;
        break;
    default:
        // The window or a popup gave the focus back: the ring shows as it did before.
        break;
    }
    QAbstractButton::focusInEvent(event);
}

void TSkinButton::mousePressEvent(QMouseEvent* event) {
    if (FKeyboardFocus) {
        FKeyboardFocus = false;
        update();
    }
    QAbstractButton::mousePressEvent(event);
}

void TSkinButton::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const bool space = event->key() == Qt::Key_Space || event->key() == Qt::Key_Select;
    if ((enter || space) && !FKeyboardFocus) {
        // Used from the keyboard now: the ring shows where the keys go.
        FKeyboardFocus = true;
        update();
    }
    if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        if (!event->isAutoRepeat())
            click();
        event->accept();
        return;
    }
    QAbstractButton::keyPressEvent(event); // Space presses on the press and clicks on the release
}

void DrawThreeSlice(QPainter& painter, const QRect& target, const QImage& picture, int left,
                    int right) {
    const int w = picture.width(), h = picture.height();
    if (left + right >= w || left + right >= target.width()) {
        painter.drawImage(target, picture);
        return;
    }
    painter.drawImage(QRect(target.left(), target.top(), left, target.height()), picture,
                      QRect(0, 0, left, h));
    painter.drawImage(
        QRect(target.left() + left, target.top(), target.width() - left - right, target.height()),
        picture, QRect(left, 0, w - left - right, h));
    painter.drawImage(QRect(target.right() + 1 - right, target.top(), right, target.height()),
                      picture, QRect(w - right, 0, right, h));
}

void TSkinButton::DrawFlat(QPainter& painter, TSkinState state) {
    const TFlatColors& colors = FlatColors();
    QColor fill = FAccent ? colors.Accent : colors.ButtonFace;
    QColor border = FAccent ? colors.Accent.darker(115) : colors.Border;
    switch (state) {
    case TSkinState::Hot:
        fill = FAccent ? colors.Accent.lighter(112) : colors.ButtonHot;
        border = FAccent ? border : colors.AccentSoft;
        break;
    case TSkinState::Down:
    case TSkinState::StayDown:
        fill = FAccent ? colors.Accent.darker(115) : colors.ButtonDown;
        border = FAccent ? border : colors.Accent;
        break;
    case TSkinState::Disabled:
        fill = colors.ButtonFace;
        border = colors.Border.lighter(110);
        break;
    case TSkinState::Normal:
        break;
    }
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(border, 1));
    painter.setBrush(fill);
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
}

int TSkinButton::IconTop() const {
    // An icon with a caption: both centred as one block, the caption one line under the icon.
    const int block = iconSize().height() + fontMetrics().height();
    return qMax(0, (height() - block) / 2);
}

void TSkinButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const TSkinState state = CurrentState();
    QImage picture = FPictures[size_t(state)];
    if (picture.isNull() && state == TSkinState::StayDown)
        picture = FPictures[size_t(TSkinState::Down)];
    if (picture.isNull())
        picture = FPictures[size_t(TSkinState::Normal)];
    if (picture.isNull()) {
        DrawFlat(painter, state);
    } else if (!FStretch) {
        painter.drawImage((width() - picture.width()) / 2, (height() - picture.height()) / 2,
                          picture);
    } else {
        DrawThreeSlice(painter, rect(), picture, FMarginLeft, FMarginRight);
    }
    if (!text().isEmpty()) {
        QColor color = FTextColor.isValid()        ? FTextColor
                       : FAccent && !HasPictures() ? QColor(Qt::white)
                                                   : palette().color(QPalette::ButtonText);
        if (state == TSkinState::Disabled)
            color = FlatColors().DisabledText;
        painter.setPen(color);
        painter.setFont(font());
        QRect textRect = rect().adjusted(FTextOffset, 0, 0, 0);
        if (!icon().isNull()) // the caption goes under the icon
            textRect.setTop(IconTop() + iconSize().height());
        if (state == TSkinState::Down)
            textRect.translate(0, 1);
        painter.drawText(textRect, Qt::AlignCenter | Qt::TextShowMnemonic, text());
    }
    if (!icon().isNull()) {
        const QSize size = iconSize();
        const QPixmap pixmap = icon().pixmap(size, isEnabled() ? QIcon::Normal : QIcon::Disabled);
        const int top = text().isEmpty() ? (height() - size.height()) / 2 : IconTop();
        painter.drawPixmap((width() - size.width()) / 2, top + (state == TSkinState::Down ? 1 : 0),
                           pixmap);
    }
    if (ShowsFocusRing())
        DrawFocusRing(painter);
}

void TSkinButton::DrawFocusRing(QPainter& painter) {
    // An accent ring inset in the button with a light line inside it, so that it shows on the
    // light flat face, on the accent face and over pictures of any colour.
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::NoBrush);
    const QRectF outer = QRectF(rect()).adjusted(2, 2, -2, -2);
    painter.setPen(QPen(FlatColors().Accent, 2));
    painter.drawRoundedRect(outer, 3, 3);
    painter.setPen(QPen(QColor(255, 255, 255, 220), 1));
    painter.drawRoundedRect(outer.adjusted(1.5, 1.5, -1.5, -1.5), 2, 2);
    painter.restore();
}
