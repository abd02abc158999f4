#include "EncoderTestUtils.h"
#include "engine/GifEncoder.h"
#include "engine/Quantizer.h"
#include "tests/support/GifDecode.h"

#include <QBuffer>
#include <QPainter>
#include <gtest/gtest.h>

namespace {
// A test picture: a soft gradient with a red square at `x`.
QImage Scene(int width, int height, int x) {
    QImage image(width, height, QImage::Format_RGB888);
    for (int y = 0; y < height; ++y)
        for (int i = 0; i < width; ++i)
            image.setPixel(i, y, qRgb(i * 255 / width, y * 255 / height, 128));
    QPainter painter(&image);
    painter.fillRect(QRect(x, height / 3, 20, 20), QColor(220, 20, 30));
    return image;
}

QVector<QRgb> RgbaPaletteOf(const std::vector<QImage>& frames) {
    TPaletteBuilder builder;
    for (const QImage& frame : frames) {
        const QImage rgba = frame.convertToFormat(QImage::Format_RGBA8888);
        builder.AddPixels(rgba.constBits(), rgba.width(), rgba.height(),
                          static_cast<int>(rgba.bytesPerLine()));
    }
    return builder.Build();
}

double MeanError(const QImage& a, const QImage& b) {
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) +
                   std::abs(qBlue(p) - qBlue(q));
        }
    return sum / (3.0 * a.width() * a.height());
}

QByteArray Encode(const std::vector<QImage>& frames, const std::vector<int>& delays,
                  int* images = nullptr) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    TGifEncoder encoder(&buffer, frames[0].size(), 0, RgbaPaletteOf(frames));
    EXPECT_TRUE(encoder.Start());
    for (size_t i = 0; i < frames.size(); ++i)
        EXPECT_TRUE(encoder.AddFrame(Packed(frames[i]).data(), delays[i]));
    EXPECT_TRUE(encoder.Finish());
    if (images)
        *images = encoder.ImagesWritten();
    return bytes;
}
} // namespace

TEST(GifEncoder, WhatTheViewerShowsStaysCloseToEveryFrame) {
    std::vector<QImage> frames;
    for (int i = 0; i < 12; ++i)
        frames.push_back(Scene(160, 90, 5 + i * 11));
    const TDecodedGif gif = DecodeGifBytes(Encode(frames, std::vector<int>(12, 10)));
    ASSERT_TRUE(gif.Ok) << gif.Error.toStdString();
    ASSERT_EQ(gif.Composed.size(), 12u);
    for (size_t i = 0; i < frames.size(); ++i) {
        EXPECT_LT(MeanError(gif.Composed[i], frames[i].convertToFormat(QImage::Format_ARGB32)), 4.0)
            << "frame " << i;
        // The moving square is really there, in its colour.
        const QRgb centre = gif.Composed[i].pixel(5 + static_cast<int>(i) * 11 + 10, 40);
        EXPECT_GT(qRed(centre), 180);
        EXPECT_LT(qGreen(centre), 60);
    }
    // After the first frame only the region around the moving square is stored.
    EXPECT_EQ(gif.Images[0].Width, 160);
    for (size_t i = 1; i < gif.Images.size(); ++i) {
        EXPECT_LE(gif.Images[i].Width, 40);
        EXPECT_LE(gif.Images[i].Height, 22);
        EXPECT_GE(gif.Images[i].TransparentIndex, 0);
    }
}

TEST(GifEncoder, UnchangedFramesLengthenTheFrameBefore) {
    const QImage a = Scene(64, 48, 3), b = Scene(64, 48, 30);
    int images = 0;
    const TDecodedGif gif =
        DecodeGifBytes(Encode({a, a, a, b, b, a}, {10, 12, 13, 5, 5, 7}, &images));
    ASSERT_TRUE(gif.Ok);
    ASSERT_EQ(gif.Images.size(), 3u);
    EXPECT_EQ(images, 3);
    EXPECT_EQ(gif.Images[0].DelayCs, 35);
    EXPECT_EQ(gif.Images[1].DelayCs, 10);
    EXPECT_EQ(gif.Images[2].DelayCs, 7);
    EXPECT_EQ(gif.TotalDelayCs(), 52);
}

TEST(GifEncoder, AChangeTheEyeCannotSeeLengthensTheFrameBefore) {
    // Two nearly equal dark colours: the second frame's pixels go from one to the other.
    const QVector<QRgb> palette = {qRgb(0, 0, 0), qRgb(3, 3, 3), qRgb(255, 255, 255)};
    QImage first(16, 16, QImage::Format_RGB888), second(16, 16, QImage::Format_RGB888);
    first.fill(qRgb(0, 0, 0));
    second.fill(qRgb(0, 0, 0));
    QPainter(&second).fillRect(4, 4, 3, 2, QColor(12, 12, 12));
    QImage third = second.copy();
    QPainter(&third).fillRect(0, 0, 8, 8, QColor(250, 250, 250));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    TGifEncoder encoder(&buffer, first.size(), 0, palette);
    ASSERT_TRUE(encoder.Start());
    ASSERT_TRUE(encoder.AddFrame(Packed(first).data(), 10));
    ASSERT_TRUE(encoder.AddFrame(Packed(second).data(), 7));
    ASSERT_TRUE(encoder.AddFrame(Packed(third).data(), 5));
    ASSERT_TRUE(encoder.Finish());
    EXPECT_EQ(encoder.ImagesWritten(), 2);
    const TDecodedGif gif = DecodeGifBytes(bytes);
    ASSERT_EQ(gif.Images.size(), 2u);
    EXPECT_EQ(gif.Images[0].DelayCs, 17); // the timing is kept
    EXPECT_EQ(gif.Images[1].DelayCs, 5);
    EXPECT_EQ(qRed(gif.Composed[1].pixel(2, 2)), 255); // a visible change is drawn
}

TEST(GifEncoder, AStillLongerThanTheDelayFieldIsCarriedByATinyFrame) {
    const QImage a = Scene(32, 32, 2);
    const TDecodedGif gif = DecodeGifBytes(Encode({a, a, a}, {40000, 30000, 30000}));
    ASSERT_TRUE(gif.Ok);
    EXPECT_EQ(gif.TotalDelayCs(), 100000);
    for (const auto& image : gif.Images)
        EXPECT_LE(image.DelayCs, 65535);
    ASSERT_GE(gif.Images.size(), 2u);
    EXPECT_EQ(gif.Images[1].Width, 1);
    // The tiny frame changes nothing on screen.
    EXPECT_EQ(gif.Composed.back(), gif.Composed.front());
}

TEST(GifEncoder, AnEmptyPaletteOrSizeIsRefused) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    TGifEncoder noColours(&buffer, QSize(4, 4), std::nullopt, QVector<QRgb>());
    EXPECT_FALSE(noColours.Start());
    TGifEncoder noSize(&buffer, QSize(0, 4), std::nullopt, QVector<QRgb>{qRgb(1, 2, 3)});
    EXPECT_FALSE(noSize.Start());
    EXPECT_FALSE(noSize.AddFrame(nullptr, 3));
}

TEST(Remapper, KeepsExactPaletteColoursAndMapsClearPixelsToTheTransparentEntry) {
    const QVector<QRgb> palette = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), 0};
    TRemapper remapper(palette, 3, 0.0f);
    ASSERT_TRUE(remapper.IsValid());
    const uchar rgba[] = {0, 0, 250, 255, 250, 5, 0, 255, 9, 9, 9, 0, 0, 240, 10, 255};
    uchar indices[4] = {};
    ASSERT_TRUE(remapper.Remap(rgba, 4, 1, 16, indices));
    EXPECT_EQ(indices[0], 2);
    EXPECT_EQ(indices[1], 0);
    EXPECT_EQ(indices[2], 3);
    EXPECT_EQ(indices[3], 1);
}

TEST(GifEncoder, FramesOfAnotherSceneCarryTheirOwnColourTable) {
    // Two scenes whose colours have nothing in common.
    auto ramp = [](QRgb (*color)(int)) {
        QImage image(96, 32, QImage::Format_RGB888);
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 96; ++x)
                image.setPixel(x, y, color(x * 255 / 95));
        return image;
    };
    const QImage warm = ramp([](int v) { return qRgb(255, v, 0); });
    const QImage cold = ramp([](int v) { return qRgb(0, v / 2, 255 - v / 3); });
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    TGifEncoder encoder(&buffer, warm.size(), 0,
                        std::vector<QVector<QRgb>>{RgbaPaletteOf({warm}), RgbaPaletteOf({cold})});
    ASSERT_TRUE(encoder.Start());
    ASSERT_TRUE(encoder.AddFrame(Packed(warm).data(), 10, 0));
    ASSERT_TRUE(encoder.AddFrame(Packed(cold).data(), 10, 1));
    ASSERT_TRUE(encoder.AddFrame(Packed(warm).data(), 10, 0));
    EXPECT_FALSE(encoder.AddFrame(Packed(warm).data(), 10, 2)); // no such palette
    ASSERT_TRUE(encoder.Finish());
    const TDecodedGif gif = DecodeGifBytes(bytes);
    ASSERT_TRUE(gif.Ok) << gif.Error.toStdString();
    ASSERT_EQ(gif.Composed.size(), 3u);
    const QImage expected[] = {warm, cold, warm};
    for (int i = 0; i < 3; ++i)
        EXPECT_LT(MeanError(gif.Composed[static_cast<size_t>(i)],
                            expected[i].convertToFormat(QImage::Format_ARGB32)),
                  3.0)
            << i;
}

TEST(GifEncoder, WhatEachFrameCostsAddsUpToTheFileAndNothingForAnUnchangedFrame) {
    // Moving frames, an unchanged one and a frame in a second palette (a colour table of its
    // own): the per-frame bytes must account for every image byte of the file.
    std::vector<QImage> frames = {Scene(160, 90, 5), Scene(160, 90, 30), Scene(160, 90, 30),
                                  Scene(160, 90, 60)};
    const std::vector<QVector<QRgb>> palettes{RgbaPaletteOf(frames), RgbaPaletteOf({frames[3]})};
    const int paletteOf[] = {0, 0, 0, 1};
    auto encode = [&](size_t count, std::vector<qint64>* after) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        TGifEncoder encoder(&buffer, frames[0].size(), 0, palettes);
        EXPECT_TRUE(encoder.Start());
        for (size_t i = 0; i < count; ++i)
            EXPECT_TRUE(encoder.AddFrame(Packed(frames[i]).data(), 10, paletteOf[i]));
        EXPECT_TRUE(encoder.Finish());
        if (after)
            *after = encoder.BytesAfterFrame();
        return bytes.size();
    };
    const qint64 headerAndTrailer = encode(0, nullptr);
    std::vector<qint64> after;
    const qint64 whole = encode(frames.size(), &after);
    ASSERT_EQ(after.size(), frames.size());
    EXPECT_EQ(after.back(), whole - headerAndTrailer);
    EXPECT_GT(after[0], after[1] - after[0]); // the first frame is drawn whole
    EXPECT_GT(after[1], after[0]);
    EXPECT_EQ(after[2], after[1]);           // unchanged: the frame before stays longer
    EXPECT_GT(after[3] - after[2], 3 * 256); // at least its own colour table
}

// A low quality's tolerances leave the first image, which stays on screen wherever nothing
// changes, as the default compresses it, and only make the changes after it smaller.
TEST(GifEncoder, TheFirstImageKeepsTheDefaultTolerances) {
    const std::vector<QImage> frames = {Scene(160, 90, 5), Scene(160, 90, 30)};
    const std::vector<QVector<QRgb>> palettes{RgbaPaletteOf(frames)};
    TGifEncoderOptions low;
    low.LossyTolerance = 250;
    low.LossyRelative = 3.0f;
    low.TextureTolerance = 0.75f;
    const auto encode = [&](const TGifEncoderOptions& options, size_t count) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        TGifEncoder encoder(&buffer, frames[0].size(), 0, palettes, options);
        EXPECT_TRUE(encoder.Start());
        for (size_t i = 0; i < count; ++i)
            EXPECT_TRUE(encoder.AddFrame(Packed(frames[i]).data(), 10));
        EXPECT_TRUE(encoder.Finish());
        return bytes;
    };
    EXPECT_EQ(encode(low, 1), encode(TGifEncoderOptions(), 1));
    const QByteArray lowTwo = encode(low, 2), defaultTwo = encode(TGifEncoderOptions(), 2);
    EXPECT_LT(lowTwo.size(), defaultTwo.size());
    // Without the rule the low tolerances make the first image smaller too.
    low.FirstLossyTolerance = low.LossyTolerance;
    low.FirstLossyRelative = low.LossyRelative;
    low.FirstTextureTolerance = low.TextureTolerance;
    EXPECT_LT(encode(low, 1).size(), encode(TGifEncoderOptions(), 1).size());
}
