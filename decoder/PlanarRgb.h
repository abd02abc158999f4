#pragma once
// Pictures as planes of green, blue and red, and exact colour conversion through them. The
// scaling library's exact YUV-to-RGB conversion (accurate rounding, every pixel's own chroma) is
// about four times faster into planar RGB than into packed RGB, with the same result to the bit,
// and planes are what scaling each colour on its own works on.

#include "decoder/ExactYuv.h"
#include "decoder/FFmpegPtr.h"

#include <QImage>
#include <QRect>

// `frame` holding a writable picture of `format` and `size`, aligned and padded as the library
// wants what it writes into; the memory is kept when format and size stay the same.
[[nodiscard]] bool WritableFrame(ffmpeg::TFramePtr& frame, AVPixelFormat format, const QSize& size);

// A picture as three planes of bytes: green, blue and red (the library's planar RGB), rows
// aligned and padded as the library wants what it writes into.
class TRgbPlanes {
public:
    // Makes room for a picture of `size`, keeping the memory when the size stays the same.
    [[nodiscard]] bool Resize(const QSize& size);
    QSize Size() const { return FFrame ? QSize(FFrame->width, FFrame->height) : QSize(); }
    static constexpr int Green = 0, Blue = 1, Red = 2;
    uint8_t* Plane(int colour) { return FFrame->data[colour]; }
    const uint8_t* Plane(int colour) const { return FFrame->data[colour]; }
    int Stride(int colour) const { return FFrame->linesize[colour]; }
    uint8_t* const* Planes() { return FFrame->data; }
    const int* Strides() const { return FFrame->linesize; }

private:
    ffmpeg::TFramePtr FFrame;
};

// `image` (any format) into planes of its size.
[[nodiscard]] bool SplitPicture(const QImage& image, TRgbPlanes& planes);
// `part` of the planes packed into `image` (RGB32 or RGB888) of the part's size.
void PackPlanes(const TRgbPlanes& planes, const QRect& part, QImage& image);
// `part` of the planes as an RGB888 picture.
QImage PackedPart(const TRgbPlanes& planes, const QRect& part);

class TPlanarRgb {
public:
    // Runs `context` (which must convert into AV_PIX_FMT_GBRP at the picture's size) on the
    // source planes and packs the result into `image` (RGB32 or RGB888).
    bool Convert(SwsContext* context, const uint8_t* const source[], const int sourceStrides[],
                 int sourceHeight, QImage& image);

    // The exact conversion of `frame` (an 8-bit YUV picture of the image's size) by our own
    // converter, packed into `image`; false for pictures it does not handle.
    bool ConvertExact(const AVFrame* frame, const TYuvMatrix& matrix, QImage& image);

private:
    TRgbPlanes FPlanes;
};
