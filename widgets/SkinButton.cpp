#include "widgets/SkinButton.h"

#include "widgets/FlatStyle.h"

#include <QEnterEvent>
#include <QPainter>

TSkinButton::TSkinButton(QWidget* parent) : QAbstractButton(parent) {
    setFocusPolicy(Qt::TabFocus);
    setAttribute(Qt::WA_Hover);
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
    QAbstractButton::changeEvent(event);
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
    if (hasFocus() && focusPolicy() != Qt::NoFocus && !HasPictures()) {
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(FlatColors().AccentSoft, 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5), 3, 3);
    }
}
