#include "decoder/PlanarRgb.h"

extern "C" {
#include <libswscale/swscale.h>
}

bool WritableFrame(ffmpeg::TFramePtr& frame, AVPixelFormat format, const QSize& size) {
    if (size.isEmpty())
        return false;
    if (!frame)
        frame.reset(av_frame_alloc());
    if (!frame)
        return false;
    if (frame->format != format || frame->width != size.width() || frame->height != size.height() ||
        frame->buf[0] == nullptr) {
        av_frame_unref(frame.get());
        frame->format = format;
        frame->width = size.width();
        frame->height = size.height();
        if (av_frame_get_buffer(frame.get(), 0) < 0)
            return false;
    }
    return av_frame_make_writable(frame.get()) >= 0;
}

bool TRgbPlanes::Resize(const QSize& size) {
    return WritableFrame(FFrame, AV_PIX_FMT_GBRP, size);
}

bool SplitPicture(const QImage& image, TRgbPlanes& planes) {
    const QImage source = image.format() == QImage::Format_RGB32 ||
                                  image.format() == QImage::Format_ARGB32 ||
                                  image.format() == QImage::Format_RGB888
                              ? image
                              : image.convertToFormat(QImage::Format_RGB32);
    if (source.isNull() || !planes.Resize(source.size()))
        return false;
    const bool packed = source.format() == QImage::Format_RGB888;
    for (int y = 0; y < source.height(); ++y) {
        uint8_t* r = planes.Plane(TRgbPlanes::Red) + ptrdiff_t(y) * planes.Stride(TRgbPlanes::Red);
        uint8_t* g =
            planes.Plane(TRgbPlanes::Green) + ptrdiff_t(y) * planes.Stride(TRgbPlanes::Green);
        uint8_t* b =
            planes.Plane(TRgbPlanes::Blue) + ptrdiff_t(y) * planes.Stride(TRgbPlanes::Blue);
        const uchar* line = source.constScanLine(y);
        if (packed) {
            for (int x = 0; x < source.width(); ++x) {
                r[x] = line[3 * x];
                g[x] = line[3 * x + 1];
                b[x] = line[3 * x + 2];
            }
            continue;
        }
        const auto* pixels = reinterpret_cast<const QRgb*>(line);
        for (int x = 0; x < source.width(); ++x) {
            r[x] = static_cast<uint8_t>(qRed(pixels[x]));
            g[x] = static_cast<uint8_t>(qGreen(pixels[x]));
            b[x] = static_cast<uint8_t>(qBlue(pixels[x]));
        }
    }
    return true;
}

void PackPlanes(const TRgbPlanes& planes, const QRect& part, QImage& image) {
    const int width = std::min(part.width(), image.width());
    const bool rgb32 = image.format() != QImage::Format_RGB888;
    const auto row = [&](int colour, int y) {
        return planes.Plane(colour) + ptrdiff_t(part.y() + y) * planes.Stride(colour) + part.x();
    };
    for (int y = 0; y < std::min(part.height(), image.height()); ++y) {
        const uint8_t* g = row(TRgbPlanes::Green, y);
        const uint8_t* b = row(TRgbPlanes::Blue, y);
        const uint8_t* r = row(TRgbPlanes::Red, y);
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

QImage PackedPart(const TRgbPlanes& planes, const QRect& part) {
    QImage image(part.size(), QImage::Format_RGB888);
    if (!image.isNull())
        PackPlanes(planes, part, image);
    return image;
}

bool TPlanarRgb::Convert(SwsContext* context, const uint8_t* const source[],
                         const int sourceStrides[], int sourceHeight, QImage& image) {
    if (context == nullptr || !FPlanes.Resize(image.size()))
        return false;
    if (sws_scale(context, source, sourceStrides, 0, sourceHeight, FPlanes.Planes(),
                  FPlanes.Strides()) <= 0)
        return false;
    PackPlanes(FPlanes, image.rect(), image);
    return true;
}

bool TPlanarRgb::ConvertExact(const AVFrame* frame, const TYuvMatrix& matrix, QImage& image) {
    if (frame->width != image.width() || frame->height != image.height() ||
        !FPlanes.Resize(image.size()) ||
        !ExactYuvToPlanes(frame, matrix, FPlanes.Planes(), FPlanes.Strides()))
        return false;
    PackPlanes(FPlanes, image.rect(), image);
    return true;
}
