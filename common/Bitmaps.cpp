#include "common/Bitmaps.h"

#include <QTransform>

QImage RotateImage(const QImage& image, int quarterTurns) {
    const int turns = ((quarterTurns % 4) + 4) % 4;
    if (turns == 0 || image.isNull())
        return image;
    if (turns == 2)
        return image.mirrored(true, true);
    // Exact quarter turns: QTransform with a multiple of 90 degrees moves pixels without
    // resampling.
    return image.transformed(QTransform().rotate(90.0 * turns), Qt::FastTransformation);
}

QImage FlipImage(const QImage& image, int flip) {
    const bool horizontal = (flip & 1) != 0;
    const bool vertical = (flip & 2) != 0;
    if ((!horizontal && !vertical) || image.isNull())
        return image;
    return image.mirrored(horizontal, vertical);
}

QImage RotateAndFlip(const QImage& image, int quarterTurns, int flip) {
    return FlipImage(RotateImage(image, quarterTurns), flip);
}

QSize RotatedSize(const QSize& size, int quarterTurns) {
    return (((quarterTurns % 4) + 4) % 4) % 2 == 1 ? size.transposed() : size;
}
