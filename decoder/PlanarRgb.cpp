#include "decoder/PlanarRgb.h"

extern "C" {
#include <libswscale/swscale.h>
}

bool TPlanarRgb::Planes(const QSize& size) {
    if (!FPlanes)
        FPlanes.reset(av_frame_alloc());
    if (!FPlanes)
        return false;
    if (FPlanes->width != size.width() || FPlanes->height != size.height() ||
        FPlanes->buf[0] == nullptr) {
        av_frame_unref(FPlanes.get());
        FPlanes->format = AV_PIX_FMT_GBRP;
        FPlanes->width = size.width();
        FPlanes->height = size.height();
        // Aligned and padded as the library wants what it writes into.
        if (av_frame_get_buffer(FPlanes.get(), 0) < 0)
            return false;
    }
    return av_frame_make_writable(FPlanes.get()) >= 0;
}

bool TPlanarRgb::Convert(SwsContext* context, const uint8_t* const source[],
                         const int sourceStrides[], int sourceHeight, QImage& image) {
    if (context == nullptr || !Planes(image.size()))
        return false;
    if (sws_scale(context, source, sourceStrides, 0, sourceHeight, FPlanes->data,
                  FPlanes->linesize) <= 0)
        return false;
    const int strides[3] = {FPlanes->linesize[0], FPlanes->linesize[1], FPlanes->linesize[2]};
    PackPlanes(FPlanes->data[0], FPlanes->data[1], FPlanes->data[2], strides, image);
    return true;
}

void PackPlanes(const uint8_t* green, const uint8_t* blue, const uint8_t* red, const int strides[3],
                QImage& image) {
    const int width = image.width();
    const bool rgb32 = image.format() != QImage::Format_RGB888;
    for (int y = 0; y < image.height(); ++y) {
        const uint8_t* g = green + ptrdiff_t(y) * strides[0];
        const uint8_t* b = blue + ptrdiff_t(y) * strides[1];
        const uint8_t* r = red + ptrdiff_t(y) * strides[2];
        uchar* line = image.scanLine(y);
        if (rgb32) {
            auto* pixels = reinterpret_cast<QRgb*>(line);
            for (int x = 0; x < width; ++x)
                pixels[x] = 0xFF000000u | (uint32_t(r[x]) << 16) | (uint32_t(g[x]) << 8) | b[x];
        } else {
            for (int x = 0; x < width; ++x) {
                line[3 * x] = r[x];
                line[3 * x + 1] = g[x];
                line[3 * x + 2] = b[x];
            }
        }
    }
}
