#pragma once
// Exact colour conversion through planes. The scaling library's exact YUV-to-RGB conversion
// (accurate rounding, every pixel's own chroma) is about four times faster into planar RGB than
// into packed RGB, with the same result to the bit, so exact pictures are converted into planes
// first and packed into the picture here.

#include "decoder/FFmpegPtr.h"

#include <QImage>

class TPlanarRgb {
public:
    // Runs `context` (which must convert into AV_PIX_FMT_GBRP at the picture's size) on the
    // source planes and packs the result into `image` (RGB32 or RGB888).
    bool Convert(SwsContext* context, const uint8_t* const source[], const int sourceStrides[],
                 int sourceHeight, QImage& image);

private:
    bool Planes(const QSize& size);
    ffmpeg::TFramePtr FPlanes; // green, blue, red
};

// Packs three planes into `image` (RGB32 or RGB888) of their size.
void PackPlanes(const uint8_t* green, const uint8_t* blue, const uint8_t* red, const int strides[3],
                QImage& image);
