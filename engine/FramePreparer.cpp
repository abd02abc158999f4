#include "engine/FramePreparer.h"

#include "common/Bitmaps.h"

#include <QPainter>
#include <cstring>

void PackRgb(const QImage& image, uchar* out) {
    const int width = image.width();
    const qsizetype rowBytes = static_cast<qsizetype>(width) * 3;
    if (image.format() == QImage::Format_RGB888) {
        for (int y = 0; y < image.height(); ++y)
            std::memcpy(out + y * rowBytes, image.constScanLine(y), static_cast<size_t>(rowBytes));
        return;
    }
    // Opaque 32-bit pictures are packed here, without a converted copy of the whole picture.
    if (image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_ARGB32) {
        PackRgb(image.convertToFormat(QImage::Format_RGB888), out);
        return;
    }
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        uchar* row = out + y * rowBytes;
        for (int x = 0; x < width; ++x) {
            row[3 * x] = static_cast<uchar>(qRed(line[x]));
            row[3 * x + 1] = static_cast<uchar>(qGreen(line[x]));
            row[3 * x + 2] = static_cast<uchar>(qBlue(line[x]));
        }
    }
}

void TFramePreparer::DrawOverlays(QImage& picture, const QSize& unturned) const {
    if (picture.format() != QImage::Format_RGB32 &&
        picture.format() != QImage::Format_ARGB32_Premultiplied)
        picture = picture.convertToFormat(QImage::Format_RGB32);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    FRequest.DrawOverlays(painter, unturned.width(), unturned.height(),
                          RotateAndFlipTransform(unturned, FRequest.Rotate, FRequest.Flip));
}

void TFramePreparer::Prepare(QImage picture, uchar* rgb) const {
    // The picture is turned first and the captions and logo drawn on the turned picture, so they
    // stay readable; the callback places them where the turn moved their spots.
    const QSize unturned = picture.size();
    QImage turned = RotateAndFlip(picture, FRequest.Rotate, FRequest.Flip);
    picture = QImage(); // unturned, `turned` shares it: the painter then draws without a copy
    if (FRequest.DrawOverlays)
        DrawOverlays(turned, unturned);
    PackRgb(turned, rgb);
}
