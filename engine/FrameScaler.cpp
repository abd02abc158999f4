#include "engine/FrameScaler.h"

QImage TFrameScaler::Scale(const QImage& image, const QSize& size) {
    const QImage source = image.format() == QImage::Format_RGB32 ||
                                  image.format() == QImage::Format_ARGB32 ||
                                  image.format() == QImage::Format_RGB888
                              ? image
                              : image.convertToFormat(QImage::Format_RGB32);
    // Each colour on its own, as a grey picture: the library's planar RGB path goes through YUV
    // inside and lets a sharp edge in one colour bleed into the others (a few levels), and is
    // slower too.
    TScalerKey key;
    key.SrcWidth = source.width();
    key.SrcHeight = source.height();
    key.SrcFormat = key.DstFormat = AV_PIX_FMT_GRAY8;
    key.DstWidth = size.width();
    key.DstHeight = size.height();
    key.Flags = SWS_LANCZOS | SWS_ACCURATE_RND;
    SwsContext* context = FScaler.Get(key);
    if (!context)
        return source.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    ToPlanes(source);
    const size_t inPlane = static_cast<size_t>(source.width()) * source.height();
    const size_t outPlane = static_cast<size_t>(size.width()) * size.height();
    // Room for the library writing a little past the end of a plane.
    FOut.resize(outPlane * 3 + 64);
    for (size_t plane = 0; plane < 3; ++plane) {
        const uint8_t* const in[] = {FIn.data() + plane * inPlane, nullptr, nullptr, nullptr};
        const int inStride[] = {source.width(), 0, 0, 0};
        uint8_t* const out[] = {FOut.data() + plane * outPlane, nullptr, nullptr, nullptr};
        const int outStride[] = {size.width(), 0, 0, 0};
        if (sws_scale(context, in, inStride, 0, source.height(), out, outStride) <= 0)
            return source.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    return FromPlanes(size, source.format() == QImage::Format_RGB888);
}

void TFrameScaler::ToPlanes(const QImage& source) {
    const int width = source.width(), height = source.height();
    const size_t plane = static_cast<size_t>(width) * height;
    FIn.resize(plane * 3 + 64); // the library may read a little past the last plane
    const bool packed = source.format() == QImage::Format_RGB888;
    for (int y = 0; y < height; ++y) {
        uint8_t* r = FIn.data() + static_cast<size_t>(y) * width;
        uint8_t* g = r + plane;
        uint8_t* b = g + plane;
        if (packed) {
            const uchar* line = source.constScanLine(y);
            for (int x = 0; x < width; ++x) {
                r[x] = line[3 * x];
                g[x] = line[3 * x + 1];
                b[x] = line[3 * x + 2];
            }
            continue;
        }
        const QRgb* line = reinterpret_cast<const QRgb*>(source.constScanLine(y));
        for (int x = 0; x < width; ++x) {
            r[x] = static_cast<uint8_t>(qRed(line[x]));
            g[x] = static_cast<uint8_t>(qGreen(line[x]));
            b[x] = static_cast<uint8_t>(qBlue(line[x]));
        }
    }
}

QImage TFrameScaler::FromPlanes(const QSize& size, bool packed) const {
    const size_t plane = static_cast<size_t>(size.width()) * size.height();
    QImage result(size, packed ? QImage::Format_RGB888 : QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        const uint8_t* r = FOut.data() + static_cast<size_t>(y) * size.width();
        const uint8_t* g = r + plane;
        const uint8_t* b = g + plane;
        if (packed) {
            uchar* line = result.scanLine(y);
            for (int x = 0; x < size.width(); ++x) {
                line[3 * x] = r[x];
                line[3 * x + 1] = g[x];
                line[3 * x + 2] = b[x];
            }
            continue;
        }
        QRgb* line = reinterpret_cast<QRgb*>(result.scanLine(y));
        for (int x = 0; x < size.width(); ++x)
            line[x] = qRgb(r[x], g[x], b[x]);
    }
    return result;
}
