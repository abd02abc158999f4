#include "decoder/CustomDecoder.h"

#include "decoder/KeptFrame.h"
#include "decoder/PlanarRgb.h"

#include <QImage>
#include <QRect>
#include <QSize>

bool CutAndScale(const QImage& picture, const QRect& sourceRect, const QSize& outSize,
                 QImage& bitmap) {
    const QRect part = sourceRect.intersected(picture.rect());
    if (outSize.isEmpty() || part.isEmpty())
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

bool TPictureFramePictures::Planes(const TKeptFrame& frame, TRgbPlanes& planes) {
    const auto* kept = dynamic_cast<const TPictureFrame*>(&frame);
    return kept && SplitPicture(kept->Picture, planes);
}

bool TPictureFramePictures::Scaled(const TKeptFrame& frame, const QRect& sourceRect,
                                   const QSize& outSize, QImage& bitmap) {
    const auto* kept = dynamic_cast<const TPictureFrame*>(&frame);
    return kept && CutAndScale(kept->Picture, sourceRect, outSize, bitmap);
}

bool TCustomDecoder::CopyToBitmapScaled(QImage& bitmap, const QRect& sourceRect,
                                        const QSize& outSize) {
    QImage picture;
    return !outSize.isEmpty() && CopyToBitmap(picture) &&
           CutAndScale(picture, sourceRect, outSize, bitmap);
}

bool TCustomDecoder::CopyToPlanes(TRgbPlanes& planes) {
    QImage picture;
    return CopyToBitmap(picture) && SplitPicture(picture, planes);
}

std::shared_ptr<const TKeptFrame> TCustomDecoder::KeepCurrent() {
    QImage picture;
    if (!CopyToBitmap(picture))
        return nullptr;
    return std::make_shared<const TPictureFrame>(std::move(picture));
}

std::unique_ptr<TFramePictures> TCustomDecoder::NewFramePictures() {
    return std::make_unique<TPictureFramePictures>();
}
