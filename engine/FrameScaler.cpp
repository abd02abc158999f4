#include "engine/FrameScaler.h"

QImage TFrameScaler::Scale(const QImage& image, const QSize& size) {
    const QImage source =
        image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32
            ? image
            : image.convertToFormat(QImage::Format_RGB32);
    TScalerKey key;
    key.SrcWidth = source.width();
    key.SrcHeight = source.height();
    key.SrcFormat = key.DstFormat = AV_PIX_FMT_GBRP;
    key.DstWidth = size.width();
    key.DstHeight = size.height();
    key.Flags = SWS_LANCZOS | SWS_ACCURATE_RND;
    SwsContext* context = FScaler.Get(key);
    if (!context)
        return source.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    ToPlanes(source);
    // Planes in the order the format has them: green, blue, red.
    const size_t inPlane = static_cast<size_t>(source.width()) * source.height();
    const size_t outPlane = static_cast<size_t>(size.width()) * size.height();
    FOut.resize(outPlane * 3);
    const uint8_t* const in[] = {FIn.data(), FIn.data() + inPlane, FIn.data() + 2 * inPlane};
    const int inStride[] = {source.width(), source.width(), source.width()};
    uint8_t* const out[] = {FOut.data(), FOut.data() + outPlane, FOut.data() + 2 * outPlane};
    const int outStride[] = {size.width(), size.width(), size.width()};
    if (sws_scale(context, in, inStride, 0, source.height(), out, outStride) <= 0)
        return source.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return FromPlanes(size);
}

void TFrameScaler::ToPlanes(const QImage& source) {
    const int width = source.width(), height = source.height();
    const size_t plane = static_cast<size_t>(width) * height;
    FIn.resize(plane * 3);
    for (int y = 0; y < height; ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(source.constScanLine(y));
        uint8_t* g = FIn.data() + static_cast<size_t>(y) * width;
        uint8_t* b = g + plane;
        uint8_t* r = b + plane;
        for (int x = 0; x < width; ++x) {
            g[x] = static_cast<uint8_t>(qGreen(line[x]));
            b[x] = static_cast<uint8_t>(qBlue(line[x]));
            r[x] = static_cast<uint8_t>(qRed(line[x]));
        }
    }
}

QImage TFrameScaler::FromPlanes(const QSize& size) const {
    const size_t plane = static_cast<size_t>(size.width()) * size.height();
    QImage result(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(result.scanLine(y));
        const uint8_t* g = FOut.data() + static_cast<size_t>(y) * size.width();
        const uint8_t* b = g + plane;
        const uint8_t* r = b + plane;
        for (int x = 0; x < size.width(); ++x)
            line[x] = qRgb(r[x], g[x], b[x]);
    }
    return result;
}
