// The drawing rules of a project: output sizes, captions and logo on source pictures and on
// output frames, and which item lies under a point.

#include "project/VGProject.h"

#include "engine/FramePlan.h"

#include <QFileInfo>
#include <QFontMetricsF>
#include <QPainter>
#include <QRegularExpression>
#include <cmath>

namespace {

QColor FromColorValue(int value) {
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

// The caption's font at its source em size: the pixel size is the em size, styles from the bits.
QFont CaptionFont(const TTextObj& text) {
    QFont font(text.FontName);
    font.setPixelSize(std::max(1, text.FontSize * 2));
    const int styles = text.FontStyles & 0x0F;
    font.setBold(styles & fsBoldBit);
    font.setItalic(styles & fsItalicBit);
    font.setUnderline(styles & fsUnderlineBit);
    font.setStrikeOut(styles & fsStrikeOutBit);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

QStringList CaptionLines(const QString& text) {
    static const QRegularExpression breaks(QStringLiteral("\r\n|\n|\r"));
    return text.split(breaks);
}

// Where a line of `width` starts, for a caption whose origin is at x = 0.
qreal LineStart(TTextAlignment alignment, qreal width) {
    switch (alignment) {
    case taLeft:
        return 0;
    case taRight:
        return -width;
    default:
        return -width / 2;
    }
}

// The caption's box at the source em size, relative to its origin.
QRectF CaptionBox(const TTextObj& text) {
    const QFontMetricsF metrics(CaptionFont(text));
    const QStringList lines = CaptionLines(text.Text);
    qreal left = 0, right = 0;
    bool first = true;
    for (const QString& line : lines) {
        const qreal width = metrics.horizontalAdvance(line);
        const qreal start = LineStart(text.Alignment, width);
        left = first ? start : std::min(left, start);
        right = first ? start + width : std::max(right, start + width);
        first = false;
    }
    return QRectF(left, 0, right - left, metrics.lineSpacing() * lines.size());
}

bool Drawable(const TTextObj& text) {
    return text.FontSize > 0 && !text.Text.isEmpty();
}

// Draws the caption with its origin at the painter's (0, 0), at the source em size.
void DrawCaption(QPainter& painter, const TTextObj& text) {
    const QFont font = CaptionFont(text);
    const QFontMetricsF metrics(font);
    painter.setFont(font);
    painter.setPen(FromColorValue(text.FontColor));
    qreal baseline = metrics.ascent();
    for (const QString& line : CaptionLines(text.Text)) {
        const qreal width = metrics.horizontalAdvance(line);
        painter.drawText(QPointF(LineStart(text.Alignment, width), baseline), line);
        baseline += metrics.lineSpacing();
    }
}

// How far an item moves so that, drawn upright, the centre of its box lies where `turn` takes
// that centre. An item that lay wholly on the unturned frame of `frame` size stays wholly on the
// turned one where it fits (a wide caption near an edge would otherwise hang off a frame turned
// on its side).
QPointF UprightShift(const QTransform& turn, const QRectF& box, const QSizeF& frame) {
    if (turn.isIdentity())
        return {};
    const QPointF centre = box.center();
    QPointF shift = turn.map(centre) - centre;
    const QRectF unturned(QPointF(0, 0), frame);
    if (frame.isEmpty() || !unturned.contains(box))
        return shift;
    const QRectF turned = turn.mapRect(unturned);
    const QRectF moved = box.translated(shift);
    if (moved.width() <= turned.width()) {
        if (moved.left() < turned.left())
            shift.rx() += turned.left() - moved.left();
        else if (moved.right() > turned.right())
            shift.rx() -= moved.right() - turned.right();
    }
    if (moved.height() <= turned.height()) {
        if (moved.top() < turned.top())
            shift.ry() += turned.top() - moved.top();
        else if (moved.bottom() > turned.bottom())
            shift.ry() -= moved.bottom() - turned.bottom();
    }
    return shift;
}

} // namespace

double TVGProj::SizeScale() const {
    return ScaleOfStyle(SizeStyle);
}

double TVGProj::ScaleOfStyle(TSizeStyle style) {
    switch (style) {
    case ssOriginal:
        return 1.0;
    case ssHalf:
        return 0.5;
    case ssQuarter:
        return 0.25;
    default:
        return -1.0;
    }
}

QSize TVGProj::BaseSize() const {
    if (CropEnabled)
        return {CropRect.Width(), CropRect.Height()};
    return {VideoWidth, VideoHeight};
}

double TVGProj::ScaleX() const {
    if (IsCustomScale(SizeScale())) {
        const int base = BaseSize().width();
        return base > 0 ? static_cast<double>(CustomWidth) / base : 0.0;
    }
    return SizeScale();
}

double TVGProj::ScaleY() const {
    if (IsCustomScale(SizeScale())) {
        const int base = BaseSize().height();
        return base > 0 ? static_cast<double>(CustomHeight) / base : 0.0;
    }
    return SizeScale();
}

QSize TVGProj::GetOutputSize() const {
    return ComputeOutputSize(BaseSize(), SizeScale(), CustomWidth, CustomHeight);
}

QSize TVGProj::GetFinalSize() const {
    return RotatedSize(GetOutputSize(), Rotate);
}

QPointF TVGProj::OutputPoint(const TVGElement& element) const {
    const int left = CropEnabled ? CropRect.Left : 0;
    const int top = CropEnabled ? CropRect.Top : 0;
    return {(element.X - left) * ScaleX(), (element.Y - top) * ScaleY()};
}

void TVGProj::DrawTexts(QPainter& painter, bool sourceMode, const QTransform& turn,
                        const QSizeF& frame) const {
    const double scale = sourceMode ? 1.0 : ScaleX();
    if (!(scale > 0) || !std::isfinite(scale))
        return;
    for (int i = 0; i < Texts.Count(); ++i) {
        const TTextObj& text = *Texts[i];
        if (!Drawable(text))
            continue;
        painter.save();
        painter.setRenderHint(QPainter::TextAntialiasing);
        painter.setRenderHint(QPainter::Antialiasing);
        QPointF origin = sourceMode ? QPointF(text.X, text.Y) : OutputPoint(text);
        if (!turn.isIdentity()) {
            const QRectF box = CaptionBox(text);
            origin += UprightShift(turn, QRectF(origin + box.topLeft() * scale, box.size() * scale),
                                   frame);
        }
        painter.translate(origin);
        // The em size in output pixels is the source em size times the horizontal factor.
        painter.scale(scale, scale);
        DrawCaption(painter, text);
        painter.restore();
    }
}

bool TVGProj::EnsureLogoImage() {
    QMutexLocker locker(&FLogoLock);
    if (LogoImage.isNull() && !Logo.FileName.isEmpty() && QFileInfo::exists(Logo.FileName)) {
        QImage image(Logo.FileName);
        if (!image.isNull())
            LogoImage = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    }
    return !LogoImage.isNull();
}

void TVGProj::DrawLogo(QPainter& painter, bool sourceMode, const QTransform& turn,
                       const QSizeF& frame) {
    if (!EnsureLogoImage())
        return;
    QRectF target;
    if (sourceMode) {
        target = QRectF(Logo.X, Logo.Y, Logo.Width, Logo.Height);
    } else {
        const double scale = ScaleX();
        target = QRectF(OutputPoint(Logo), QSizeF(Logo.Width * scale, Logo.Height * scale));
    }
    if (!(target.width() > 0 && target.height() > 0) || !std::isfinite(target.width()) ||
        !std::isfinite(target.height()))
        return;
    target.translate(UprightShift(turn, target, frame));
    QMutexLocker locker(&FLogoLock);
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, LogoImage);
    painter.restore();
}

void TVGProj::DrawOverlays(QImage& bitmap) {
    if (Texts.Count() == 0 && !Logo.Enabled)
        return;
    if (bitmap.isNull())
        return;
    QPainter painter(&bitmap);
    if (Texts.Count() > 0)
        DrawTexts(painter, true);
    if (Logo.Enabled)
        DrawLogo(painter, true);
}

void TVGProj::DrawOutputOverlays(QPainter& painter, int width, int height, const QTransform& turn) {
    const QSizeF frame(width, height);
    if (Logo.Enabled)
        DrawLogo(painter, false, turn, frame);
    if (Texts.Count() > 0)
        DrawTexts(painter, false, turn, frame);
}

QRectF TVGProj::MeasureText(const TTextObj* text) const {
    if (!text || !Drawable(*text))
        return QRectF(text ? text->X : 0, text ? text->Y : 0, 0, 0);
    return CaptionBox(*text).translated(text->X, text->Y);
}

TVGElement* TVGProj::ElementAt(const QPointF& point) {
    if (point.x() > Logo.X && point.x() < Logo.X + Logo.Width && point.y() > Logo.Y &&
        point.y() < Logo.Y + Logo.Height)
        return &Logo;
    for (int i = Texts.Count() - 1; i >= 0; --i) {
        const QRectF box = MeasureText(Texts[i]);
        if (point.x() > box.left() && point.x() < box.right() && point.y() > box.top() &&
            point.y() < box.bottom())
            return Texts[i];
    }
    return nullptr;
}
