#include "engine/GifWriter.h"
#include "tests/support/GifDecode.h"

#include <QBuffer>
#include <gtest/gtest.h>
#include <random>

namespace {
QByteArray WriteSingleFrameGif(int width, int height, const std::vector<uchar>& indices,
                               int paletteSize, std::optional<int> loop = std::nullopt) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    TGifWriter writer(&buffer);
    QVector<QRgb> palette;
    for (int i = 0; i < paletteSize; ++i)
        palette.append(qRgb(i, 255 - i, (i * 7) & 255));
    EXPECT_TRUE(writer.WriteHeader(width, height, palette, loop));
    TGifFrame frame;
    frame.Rect = QRect(0, 0, width, height);
    frame.DelayCs = 7;
    frame.Data = GifLzwEncode(indices.data(), static_cast<qsizetype>(indices.size()),
                              GifCodeSize(paletteSize));
    EXPECT_TRUE(writer.WriteFrame(frame));
    EXPECT_TRUE(writer.WriteTrailer());
    return bytes;
}
} // namespace

TEST(GifCodeSize, IsTheBitCountOfThePaletteAndAtLeastTwo) {
    EXPECT_EQ(GifCodeSize(1), 2);
    EXPECT_EQ(GifCodeSize(4), 2);
    EXPECT_EQ(GifCodeSize(5), 3);
    EXPECT_EQ(GifCodeSize(128), 7);
    EXPECT_EQ(GifCodeSize(129), 8);
    EXPECT_EQ(GifCodeSize(256), 8);
}

// Our compression read back by an independent decoder, over the cases that stress LZW: every
// code width, the width changes, table resets on long noisy data, long runs, a single pixel.
TEST(GifLzw, EveryPatternDecodesBackExactly) {
    std::mt19937 random(1234);
    struct TCase {
        int Width, Height, Palette;
        const char* Kind;
    };
    const TCase cases[] = {{1, 1, 2, "noise"},       {17, 3, 4, "noise"},     {64, 64, 16, "noise"},
                           {301, 257, 256, "noise"}, {640, 360, 256, "runs"}, {500, 400, 2, "runs"},
                           {333, 77, 200, "ramp"},   {1024, 8, 256, "ramp"},  {90, 90, 5, "noise"}};
    for (const TCase& c : cases) {
        std::vector<uchar> indices(static_cast<size_t>(c.Width) * c.Height);
        for (size_t i = 0; i < indices.size(); ++i) {
            if (std::string(c.Kind) == "noise")
                indices[i] = static_cast<uchar>(random() % c.Palette);
            else if (std::string(c.Kind) == "runs")
                indices[i] = static_cast<uchar>((i / 997) % c.Palette);
            else
                indices[i] = static_cast<uchar>(i % c.Palette);
        }
        const TDecodedGif gif =
            DecodeGifBytes(WriteSingleFrameGif(c.Width, c.Height, indices, c.Palette));
        ASSERT_TRUE(gif.Ok) << c.Kind << " " << c.Width << "x" << c.Height << ": "
                            << gif.Error.toStdString();
        ASSERT_EQ(gif.Images.size(), 1u);
        EXPECT_EQ(gif.Images[0].Indices, indices) << c.Kind << " " << c.Width << "x" << c.Height;
        EXPECT_EQ(gif.Images[0].DelayCs, 7);
        EXPECT_EQ(gif.GlobalColors, 1 << GifCodeSize(c.Palette));
    }
}

TEST(GifLzw, DataIsSplitIntoBlocksOfAtMost255Bytes) {
    std::vector<uchar> noise(20000);
    std::mt19937 random(9);
    for (auto& v : noise)
        v = static_cast<uchar>(random());
    const QByteArray data = GifLzwEncode(noise.data(), static_cast<qsizetype>(noise.size()), 8);
    ASSERT_GT(data.size(), 1000);
    EXPECT_EQ(data[0], 8);
    qsizetype offset = 1;
    int blocks = 0;
    while (offset < data.size() && data[offset] != 0) {
        const int length = static_cast<uchar>(data[offset]);
        EXPECT_LE(length, 255);
        offset += length + 1;
        ++blocks;
    }
    EXPECT_EQ(offset, data.size() - 1); // ends with the block terminator
    EXPECT_GT(blocks, 10);
}

TEST(GifWriter, TheLoopExtensionFollowsTheReplayCount) {
    const std::vector<uchar> pixels(16, 1);
    EXPECT_FALSE(DecodeGifBytes(WriteSingleFrameGif(4, 4, pixels, 2)).LoopCount.has_value());
    EXPECT_EQ(DecodeGifBytes(WriteSingleFrameGif(4, 4, pixels, 2, 0)).LoopCount, 0);
    EXPECT_EQ(DecodeGifBytes(WriteSingleFrameGif(4, 4, pixels, 2, 3)).LoopCount, 3);
}

TEST(GifWriter, AFailingDeviceIsReported) {
    QBuffer closed;
    TGifWriter writer(&closed);
    EXPECT_FALSE(writer.WriteHeader(2, 2, {qRgb(0, 0, 0), qRgb(1, 1, 1)}, std::nullopt));
    EXPECT_FALSE(writer.Ok());
    EXPECT_FALSE(writer.WriteTrailer());
}
