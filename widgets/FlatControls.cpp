#include "widgets/FlatControls.h"

#include "widgets/FlatStyle.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QStyleOptionSlider>
#include <QUrl>
#include <cmath>

// TSkinImage

TSkinImage::TSkinImage(QWidget* parent) : QWidget(parent) {}

void TSkinImage::SetPicture(const QImage& picture) {
    FPicture = picture;
    if (FAutoSize && !FPicture.isNull())
        resize(FPicture.size());
    update();
}

bool TSkinImage::LoadFromFile(const QString& fileName) {
    const QImage picture(fileName);
    if (picture.isNull())
        return false;
    SetPicture(picture);
    return true;
}

void TSkinImage::SetAutoSize(bool autoSize) {
    FAutoSize = autoSize;
    if (FAutoSize && !FPicture.isNull())
        resize(FPicture.size());
}

void TSkinImage::paintEvent(QPaintEvent*) {
    if (FPicture.isNull())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (FStretch)
        painter.drawImage(rect(), FPicture);
    else if (FCenter)
        painter.drawImage((width() - FPicture.width()) / 2, (height() - FPicture.height()) / 2,
                          FPicture);
    else
        painter.drawImage(0, 0, FPicture);
}

void TSkinImage::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && OnDblClick)
        OnDblClick();
    QWidget::mouseDoubleClickEvent(event);
}

// TPaintBox

void TPaintBox::paintEvent(QPaintEvent*) {
    if (!OnPaint)
        return;
    QPainter painter(this);
    OnPaint(painter);
}

// TFlatPanel

TFlatPanel::TFlatPanel(QWidget* parent)
    : QWidget(parent), FColor(FlatColors().Face), FBorderColor(FlatColors().Border) {}

void TFlatPanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const int b = FBorderWidth;
    if (FRadius > 0) {
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(b > 0 ? QPen(FBorderColor, b) : QPen(Qt::NoPen));
        painter.setBrush(FColor);
        const qreal inset = b / 2.0;
        painter.drawRoundedRect(QRectF(rect()).adjusted(inset, inset, -inset, -inset), FRadius,
                                FRadius);
    } else {
        if (b > 0)
            painter.fillRect(rect(), FBorderColor);
        painter.fillRect(rect().adjusted(b, b, -b, -b), FColor);
    }
    if (OnPaint)
        OnPaint(painter);
}

void TFlatPanel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (OnResize)
        OnResize();
}

// TFlatGroupBox

TFlatGroupBox::TFlatGroupBox(const QString& caption, QWidget* parent)
    : QWidget(parent), FCaption(caption), FFrameColor(FlatColors().Border) {}

void TFlatGroupBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QFontMetrics metrics(font());
    const int top = FCaption.isEmpty() ? 0 : metrics.height() / 2;
    const QRectF frame = QRectF(rect()).adjusted(0.5, top + 0.5, -0.5, -0.5);
    painter.setPen(QPen(FFrameColor, 1));
    painter.setBrush(FFaceColor.isValid() ? QBrush(FFaceColor) : QBrush(Qt::NoBrush));
    painter.drawRoundedRect(frame, 4, 4);
    if (!FCaption.isEmpty()) {
        const int textWidth = metrics.horizontalAdvance(FCaption);
        const QRect textRect(10, 0, textWidth + 8, metrics.height());
        const QColor behind = FFaceColor.isValid() ? FFaceColor
                              : parentWidget() ? parentWidget()->palette().color(QPalette::Window)
                                               : palette().color(QPalette::Window);
        painter.fillRect(textRect, behind);
        painter.setPen(isEnabled() ? palette().color(QPalette::WindowText)
                                   : FlatColors().DisabledText);
        painter.drawText(textRect, Qt::AlignCenter, FCaption);
    }
}

// TSeparator

TSeparator::TSeparator(Qt::Orientation orientation, QWidget* parent)
    : QWidget(parent), FOrientation(orientation), FColor(FlatColors().Border) {}

void TSeparator::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (FOrientation == Qt::Horizontal)
        painter.fillRect(QRect(0, height() / 2, width(), 1), FColor);
    else
        painter.fillRect(QRect(width() / 2, 0, 1, height()), FColor);
}

// TLinkLabel

namespace {
// What screen readers see of a link label: a link named by its text that can be pressed.
class TAccessibleLinkLabel : public QAccessibleWidget {
public:
    explicit TAccessibleLinkLabel(TLinkLabel* label)
        : QAccessibleWidget(label, QAccessible::Link) {}

    QString text(QAccessible::Text t) const override {
        const QString own = QAccessibleWidget::text(t);
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty())
            return Label()->text();
        if (t == QAccessible::Description && own.isEmpty())
            return Label()->Url();
        return own;
    }
    QStringList actionNames() const override {
        return QStringList(pressAction()) + QAccessibleWidget::actionNames();
    }
    void doAction(const QString& name) override {
        if (name == pressAction())
            Label()->Activate();
        else
            QAccessibleWidget::doAction(name);
    }

private:
    TLinkLabel* Label() const { return static_cast<TLinkLabel*>(widget()); }
};

QAccessibleInterface* LinkLabelAccessible(const QString& className, QObject* object) {
    if (className == QLatin1String("TLinkLabel"))
        if (auto* label = qobject_cast<TLinkLabel*>(object))
            return new TAccessibleLinkLabel(label);
    return nullptr;
}

// Whether the focus of `widget`'s window last moved by the keyboard.
bool KeyboardFocusShown(const QWidget* widget) {
    return widget->hasFocus() && widget->window()->testAttribute(Qt::WA_KeyboardFocusChange);
}

} // namespace

TLinkLabel::TLinkLabel(QWidget* parent) : QLabel(parent) {
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(&LinkLabelAccessible);
        return true;
    }();
    (void)factoryInstalled;
    setCursor(Qt::PointingHandCursor);
    QPalette p = palette();
    p.setColor(QPalette::WindowText, p.color(QPalette::Highlight));
    setPalette(p);
}

void TLinkLabel::Activate() {
    emit clicked();
    if (!FUrl.isEmpty())
        emit linkActivated(FUrl);
}

void TLinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton || !rect().contains(event->position().toPoint()))
        return;
    Activate();
}

void TLinkLabel::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    const bool press = key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space;
    if (press && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        if (!event->isAutoRepeat())
            Activate();
        event->accept();
        return;
    }
    QLabel::keyPressEvent(event);
}

void TLinkLabel::paintEvent(QPaintEvent* event) {
    QLabel::paintEvent(event);
    if (!KeyboardFocusShown(this))
        return;
    QPainter painter(this);
    QStyleOptionFocusRect option;
    option.initFrom(this);
    option.rect = rect().adjusted(1, 0, -1, 0);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
}

// TTrackBar

TTrackBar::TTrackBar(QWidget* parent) : QSlider(Qt::Horizontal, parent) {}

void TTrackBar::SetThumbPicture(const QImage& picture) {
    FThumb = picture;
    update();
}

bool TTrackBar::LoadThumbPicture(const QString& fileName) {
    const QImage picture(fileName);
    if (picture.isNull())
        return false;
    SetThumbPicture(picture);
    return true;
}

QRect TTrackBar::ThumbRect() const {
    const int w = FThumb.isNull() ? 14 : FThumb.width();
    const int h = FThumb.isNull() ? 14 : FThumb.height();
    const int span = qMax(0, width() - w);
    const int x = QStyle::sliderPositionFromValue(minimum(), maximum(), sliderPosition(), span,
                                                  invertedAppearance());
    return QRect(x, (height() - h) / 2, w, h);
}

int TTrackBar::PositionAt(int x) const {
    const int w = ThumbRect().width();
    return QStyle::sliderValueFromPosition(minimum(), maximum(), x - w / 2, qMax(0, width() - w),
                                           invertedAppearance());
}

void TTrackBar::SetMarkedRange(double from, double to) {
    if (!std::isfinite(from) || !std::isfinite(to))
        from = to = 0;
    from = qBound(0.0, from, 1.0);
    to = qBound(0.0, to, 1.0);
    if (from == FMarkFrom && to == FMarkTo)
        return;
    FMarkFrom = from;
    FMarkTo = to;
    update();
}

QRect TTrackBar::MarkedRect() const {
    if (!HasMarkedRange())
        return {};
    // The same pixels the thumb's centre passes over between the two ends.
    const int w = ThumbRect().width();
    const double span = qMax(0, width() - w);
    const int left = w / 2 + int(std::lround(span * FMarkFrom));
    const int right = w / 2 + int(std::lround(span * FMarkTo));
    return QRect(left, height() / 2 - 3, qMax(1, right - left), 6);
}

void TTrackBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const TFlatColors& c = FlatColors();
    const QRect thumb = ThumbRect();
    const qreal y = height() / 2.0;
    const QRectF track(thumb.width() / 2.0, y - 2, width() - thumb.width(), 4);
    painter.setPen(Qt::NoPen);
    painter.setBrush(c.Border);
    painter.drawRoundedRect(track, 2, 2);
    QRectF done = track;
    done.setRight(thumb.center().x());
    painter.setBrush(isEnabled() ? c.Accent : c.Border);
    if (done.width() > 0)
        painter.drawRoundedRect(done, 2, 2);
    if (HasMarkedRange()) {
        // The marked stretch: a band a little wider than the groove, in a see-through tint so
        // the played part still shows through.
        QColor tint = isEnabled() ? QColor(255, 150, 0) : c.Border;
        tint.setAlpha(150);
        painter.setBrush(tint);
        painter.drawRoundedRect(QRectF(MarkedRect()), 3, 3);
    }
    if (!FThumb.isNull()) {
        painter.drawImage(thumb.topLeft(), FThumb);
    } else {
        painter.setPen(QPen(isEnabled() ? c.Accent : c.Border, 1.5));
        painter.setBrush(Qt::white);
        painter.drawEllipse(QRectF(thumb).adjusted(1, 1, -1, -1));
    }
    if (KeyboardFocusShown(this)) {
        // The flat style's slider mark: a soft ring round the thumb.
        painter.setPen(QPen(c.AccentSoft, 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(QRectF(thumb).adjusted(-2, -2, 2, 2));
    }
}

void TTrackBar::mousePressEvent(QMouseEvent* event) {
    // The slider's own handling steps a page at a time, repeating while the button is held, when
    // the press misses the thumb as the style sees it (our thumb picture is not the style's), so
    // the thumb would creep on by itself. A media track bar instead jumps to the click and then
    // follows the mouse.
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    const int x = event->position().toPoint().x();
    const QRect thumb = ThumbRect();
    FGrabOffset =
        thumb.contains(event->position().toPoint()) ? x - (thumb.x() + thumb.width() / 2) : 0;
    setSliderDown(true);
    setSliderPosition(PositionAt(x - FGrabOffset));
    event->accept();
}

void TTrackBar::mouseMoveEvent(QMouseEvent* event) {
    if (!isSliderDown()) {
        event->ignore();
        return;
    }
    setSliderPosition(PositionAt(event->position().toPoint().x() - FGrabOffset));
    event->accept();
}

void TTrackBar::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !isSliderDown()) {
        event->ignore();
        return;
    }
    setSliderDown(false);
    event->accept();
}
