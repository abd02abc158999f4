#include "engine/GifWriter.h"
#include "tests/support/GifDecode.h"

#include <QBuffer>
#include <gtest/gtest.h>
#include <random>
#include <thread>

namespace {
QByteArray WriteSingleFrameGif(int width, int height, const std::vector<uchar>& indices,
                               int paletteSize, std::optional<int> loop = std::nullopt,
                               const TLzwPartRunner& runner = {}) {
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
                              GifCodeSize(paletteSize), runner);
    EXPECT_TRUE(writer.WriteFrame(frame));
    EXPECT_TRUE(writer.WriteTrailer());
    return bytes;
}
// Runs the parts of a compression one after the other.
void RunPartsInTurn(int parts, const std::function<void(int)>& part) {
    for (int which = 0; which < parts; ++which)
        part(which);
}

// Runs the parts of a compression on threads of their own, all at once.
void RunPartsAtOnce(int parts, const std::function<void(int)>& part) {
    std::vector<std::thread> threads;
    for (int which = parts - 1; which > 0; --which)
        threads.emplace_back([&part, which] { part(which); });
    part(0);
    for (std::thread& thread : threads)
        thread.join();
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

// Big pictures are compressed in parts that may run at once: the data is the same whether they
// run one after the other or together, and decodes back exactly, on both sides of the size
// where the split starts and in more than two parts (above two megapixels), with narrow and wide
// codes; lossy compression chooses the same indices either way.
TEST(GifLzw, PartsCompressedAtOnceGiveTheSameData) {
    std::mt19937 random(77);
    const QSize sizes[] = {{255, 257}, {256, 256}, {331, 199}, {513, 511}, {2048, 1537}};
    for (const QSize& size : sizes) {
        int parts = 0;
        const TLzwPartRunner counting = [&](int count, const std::function<void(int)>& part) {
            parts = count;
            RunPartsAtOnce(count, part);
        };
        for (const int palette : {3, 32, 256}) {
            std::vector<uchar> indices(static_cast<size_t>(size.width()) * size.height());
            for (size_t i = 0; i < indices.size(); ++i)
                indices[i] =
                    static_cast<uchar>(i % 5000 < 2500 ? random() % palette : (i / 300) % palette);
            const QByteArray together = WriteSingleFrameGif(size.width(), size.height(), indices,
                                                            palette, std::nullopt, counting);
            EXPECT_EQ(parts, size.width() * size.height() > 3'000'000 ? 3 : 2)
                << indices.size() << " px";
            EXPECT_EQ(WriteSingleFrameGif(size.width(), size.height(), indices, palette,
                                          std::nullopt, RunPartsInTurn),
                      together)
                << indices.size() << " px, " << palette << " colours";
            const TDecodedGif gif = DecodeGifBytes(together);
            ASSERT_TRUE(gif.Ok) << indices.size() << " px: " << gif.Error.toStdString();
            EXPECT_EQ(gif.Images[0].Indices, indices)
                << indices.size() << " px, " << palette << " colours";
        }
    }
    // Lossy: a noisy grey ramp, any index within 40 levels may stand for a pixel.
    const qsizetype count = 300 * 400;
    QVector<QRgb> grey;
    for (int i = 0; i < 256; ++i)
        grey.append(qRgb(i, i, i));
    std::vector<uchar> wanted(static_cast<size_t>(count) * 3), exact(static_cast<size_t>(count));
    for (qsizetype i = 0; i < count; ++i) {
        const int level =
            std::clamp(static_cast<int>(i % 300) + static_cast<int>(random() % 9) - 4, 0, 255);
        exact[static_cast<size_t>(i)] = static_cast<uchar>(level);
        std::fill_n(wanted.begin() + i * 3, 3, static_cast<uchar>(level));
    }
    TLossyChoice choice;
    choice.Wanted = wanted.data();
    choice.Palette = grey.constData();
    choice.Tolerance = 1600;
    choice.TextureShare = 0.5f;
    choice.Width = 300;
    std::vector<uchar> oneByOne = exact, atOnce = exact;
    const QByteArray first = GifLossyLzwEncode(oneByOne.data(), count, 8, choice, RunPartsInTurn);
    const QByteArray second = GifLossyLzwEncode(atOnce.data(), count, 8, choice, RunPartsAtOnce);
    EXPECT_EQ(first, second);
    EXPECT_EQ(oneByOne, atOnce);
    EXPECT_NE(oneByOne, exact); // the tolerance was used
    EXPECT_LT(first.size(), GifLzwEncode(exact.data(), count, 8).size());
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
