#pragma once
// Decoded frames kept apart from the decoder, so that another thread makes their pictures while
// the decoder goes on with the next frames (converting on the decoding thread would hold the
// decoder up for as long as each conversion takes).

#include <QImage>
#include <cstdint>

class QRect;
class QSize;
class TRgbPlanes;

// A frame as the decoder made it, unchanged for as long as it is kept.
class TKeptFrame {
public:
    virtual ~TKeptFrame() = default;
};

// Makes the pictures of kept frames, as the decoder's CopyToPlanes and CopyToBitmapScaled make
// them of its current frame. Each thread uses a maker of its own.
class TFramePictures {
public:
    virtual ~TFramePictures() = default;
    virtual bool Planes(const TKeptFrame& frame, TRgbPlanes& planes) = 0;
    virtual bool Scaled(const TKeptFrame& frame, const QRect& sourceRect, const QSize& outSize,
                        QImage& bitmap) = 0;
};

// A frame kept as its finished picture (for decoders that have nothing cheaper to keep).
class TPictureFrame : public TKeptFrame {
public:
    explicit TPictureFrame(QImage picture) : Picture(std::move(picture)) {}
    const QImage Picture;
};

// Pictures of TPictureFrame frames: split into planes, or cut and scaled with Qt.
class TPictureFramePictures : public TFramePictures {
public:
    bool Planes(const TKeptFrame& frame, TRgbPlanes& planes) override;
    bool Scaled(const TKeptFrame& frame, const QRect& sourceRect, const QSize& outSize,
                QImage& bitmap) override;
};

// `sourceRect` of `picture` scaled to `outSize` as RGB32; false when the rectangle lies outside.
bool CutAndScale(const QImage& picture, const QRect& sourceRect, const QSize& outSize,
                 QImage& bitmap);
