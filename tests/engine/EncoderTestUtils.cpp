#include "EncoderTestUtils.h"

#include "engine/Quantizer.h"

#include <QBuffer>
#include <cstring>
#include <gtest/gtest.h>

std::vector<uchar> Packed(const QImage& image) {
    std::vector<uchar> out(static_cast<size_t>(image.width()) * image.height() * 3);
    for (int y = 0; y < image.height(); ++y)
        std::memcpy(out.data() + static_cast<size_t>(y) * image.width() * 3, image.constScanLine(y),
                    static_cast<size_t>(image.width()) * 3);
    return out;
}

QVector<QRgb> PaletteOf(const std::vector<QImage>& frames, int maxColors) {
    TPaletteBuilder builder(maxColors);
    for (const QImage& frame : frames)
        builder.AddRgb(Packed(frame).data(),
                       static_cast<qsizetype>(frame.width()) * frame.height());
    return builder.Build();
}

TDecodedGif EncodeAndDecode(const std::vector<QImage>& frames, const TGifEncoderOptions& options,
                            int* images) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    TGifEncoder encoder(&buffer, frames[0].size(), 0, PaletteOf(frames), options);
    EXPECT_TRUE(encoder.Start());
    for (const QImage& frame : frames)
        EXPECT_TRUE(encoder.AddFrame(Packed(frame).data(), 10));
    EXPECT_TRUE(encoder.Finish());
    if (images)
        *images = encoder.ImagesWritten();
    return DecodeGifBytes(bytes);
}

int DifferentPixels(const QImage& a, const QImage& b, const QRect& area) {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            count += (a.pixel(x, y) & 0xFFFFFF) != (b.pixel(x, y) & 0xFFFFFF) ? 1 : 0;
    return count;
}
