#include "engine/FramePreparer.h"

#include "common/Bitmaps.h"

#include <QPainter>
#include <cstring>

void PackRgb(const QImage& image, uchar* out) {
    const QImage rgb = image.format() == QImage::Format_RGB888
                           ? image
                           : image.convertToFormat(QImage::Format_RGB888);
    const qsizetype rowBytes = static_cast<qsizetype>(rgb.width()) * 3;
    for (int y = 0; y < rgb.height(); ++y)
        std::memcpy(out + y * rowBytes, rgb.constScanLine(y), static_cast<size_t>(rowBytes));
}

void TFramePreparer::DrawOverlays(QImage& picture) const {
    if (picture.format() != QImage::Format_RGB32 &&
        picture.format() != QImage::Format_ARGB32_Premultiplied)
        picture = picture.convertToFormat(QImage::Format_RGB32);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    FRequest.DrawOverlays(painter, picture.width(), picture.height());
}

void TFramePreparer::Prepare(QImage picture, uchar* rgb) const {
    // Captions and logo are placed on the frame as the user sees it before turning.
    if (FRequest.DrawOverlays)
        DrawOverlays(picture);
    PackRgb(RotateAndFlip(picture, FRequest.Rotate, FRequest.Flip), rgb);
}
