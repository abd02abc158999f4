#include "engine/FrameScaler.h"

QImage TFrameScaler::Scale(const TRgbPlanes& planes, const QRect& part, const QSize& size) {
    bool scaled = !part.isEmpty() && !size.isEmpty() && FOut.Resize(size);
    if (scaled && TLanczosScaler::Handles(part.width(), size.width())) {
        for (int colour = 0; colour < 3 && scaled; ++colour)
            scaled = FOwn.Scale(
                planes.Plane(colour) + ptrdiff_t(part.y()) * planes.Stride(colour) + part.x(),
                planes.Stride(colour), part.width(), part.height(), FOut.Plane(colour),
                FOut.Stride(colour), size.width(), size.height());
    } else if (scaled) {
        scaled = ScaleByLibrary(planes, part, size);
    }
    // Should memory for the planes run out or the library fail, Qt scales the picture instead.
    if (!scaled)
        return PackedPart(planes, part)
            .scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return PackedPart(FOut, QRect(QPoint(0, 0), size));
}

bool TFrameScaler::ScaleByLibrary(const TRgbPlanes& planes, const QRect& part, const QSize& size) {
    // Each colour as a grey picture: the library's planar RGB path goes through YUV inside and
    // lets a sharp edge in one colour bleed into the others (a few levels), and is slower too.
    TScalerKey key;
    key.SrcWidth = part.width();
    key.SrcHeight = part.height();
    key.SrcFormat = key.DstFormat = AV_PIX_FMT_GRAY8;
    key.DstWidth = size.width();
    key.DstHeight = size.height();
    key.Flags = SWS_LANCZOS | SWS_ACCURATE_RND;
    SwsContext* context = FScaler.Get(key);
    if (!context)
        return false;
    for (int colour = 0; colour < 3; ++colour) {
        const uint8_t* const in[] = {planes.Plane(colour) +
                                         ptrdiff_t(part.y()) * planes.Stride(colour) + part.x(),
                                     nullptr, nullptr, nullptr};
        const int inStride[] = {planes.Stride(colour), 0, 0, 0};
        uint8_t* const out[] = {FOut.Plane(colour), nullptr, nullptr, nullptr};
        const int outStride[] = {FOut.Stride(colour), 0, 0, 0};
        if (sws_scale(context, in, inStride, 0, part.height(), out, outStride) <= 0)
            return false;
    }
    return true;
}

QImage TFrameScaler::Scale(const QImage& image, const QSize& size) {
    if (!SplitPicture(image, FIn))
        return image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
            .convertToFormat(QImage::Format_RGB888);
    return Scale(FIn, image.rect(), size);
}
