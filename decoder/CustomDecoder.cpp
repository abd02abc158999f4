#include "decoder/CustomDecoder.h"

#include "decoder/PlanarRgb.h"

#include <QImage>
#include <QRect>
#include <QSize>

bool TCustomDecoder::CopyToBitmapScaled(QImage& bitmap, const QRect& sourceRect,
                                        const QSize& outSize) {
    QImage picture;
    if (outSize.isEmpty() || !CopyToBitmap(picture))
        return false;
    const QRect part = sourceRect.intersected(picture.rect());
    if (part.isEmpty())
        return false;
    QImage result = part == picture.rect() ? picture : picture.copy(part);
    if (result.size() != outSize)
        result = result.scaled(outSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    result = std::move(result).convertToFormat(QImage::Format_RGB32);
    if (result.isNull())
        return false;
    bitmap = std::move(result);
    return true;
}

bool TCustomDecoder::CopyToPlanes(TRgbPlanes& planes) {
    QImage picture;
    return CopyToBitmap(picture) && SplitPicture(picture, planes);
}
