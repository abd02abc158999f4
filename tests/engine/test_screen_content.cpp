// Screen recordings: flat exact colours and pixels that hold still must come out exactly and
// steadily, while filmed pictures keep the tolerant drawing that saves their size.

#include "EncoderTestUtils.h"
#include "engine/GifEncoder.h"
#include "engine/QualityScale.h"
#include "engine/Quantizer.h"
#include "tests/support/GifDecode.h"

#include <QBuffer>
#include <QPainter>
#include <gtest/gtest.h>
#include <random>

namespace {
const QColor background(21, 25, 31), panel(246, 248, 250), ink(36, 41, 47);
const QColor card(22, 26, 29); // near the background: both count in one cube of colours

// A desktop-like picture: a dark background, a light panel with round buttons (smoothed edges:
// dozens of mixed colours), `typed` blocks of "text" and a cursor shown on even frames.
QImage ScreenFrame(int typed, bool cursor, bool colourful = false) {
    QImage image(200, 120, QImage::Format_RGB888);
    image.fill(background);
    QPainter painter(&image);
    painter.fillRect(QRect(20, 10, 160, 100), panel);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    for (int i = 0; i < 4; ++i) {
        painter.setBrush(QColor(30 + i * 50, 120, 200 - i * 40));
        painter.drawEllipse(QRectF(28.3 + i * 36, 16.6, 21.5, 13.7));
    }
    painter.setRenderHint(QPainter::Antialiasing, false);
    for (int i = 0; i < typed; ++i)
        painter.fillRect(QRect(28 + i * 7, 50, 5, 8), ink);
    if (cursor)
        painter.fillRect(QRect(28 + typed * 7, 49, 1, 10), ink);
    if (colourful) {
        painter.fillRect(QRect(182, 0, 18, 120), card);
        // an icon of a thousand colours
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 40; ++x)
                image.setPixel(130 + x, 66 + y, qRgb(x * 6, y * 6, (x * y) % 256));
    }
    return image;
}

// The frames of someone typing, with a blinking cursor.
std::vector<QImage> Typing(int count, bool colourful) {
    std::vector<QImage> frames;
    for (int i = 0; i < count; ++i)
        frames.push_back(ScreenFrame(i / 2, i % 2 == 0, colourful));
    return frames;
}
} // namespace

TEST(ScreenContent, AFewHundredColoursComeOutExactlyInEveryFrame) {
    const std::vector<QImage> frames = Typing(30, false);
    const TDecodedGif gif = EncodeAndDecode(frames);
    ASSERT_TRUE(gif.Ok) << gif.Error.toStdString();
    ASSERT_EQ(gif.Composed.size(), frames.size());
    const QRect all(QPoint(0, 0), frames[0].size());
    for (size_t i = 0; i < frames.size(); ++i)
        EXPECT_EQ(DifferentPixels(gif.Composed[i], frames[i], all), 0) << "frame " << i;
    // Only what changes is stored after the first frame.
    for (size_t i = 1; i < gif.Images.size(); ++i)
        EXPECT_LE(gif.Images[i].Width * gif.Images[i].Height, 20 * 12) << "image " << i;
}

TEST(ScreenContent, FlatColoursStayExactAndStillPixelsNeverChangeAmongThousandsOfColours) {
    const std::vector<QImage> frames = Typing(40, true);
    const TDecodedGif gif = EncodeAndDecode(frames);
    ASSERT_TRUE(gif.Ok) << gif.Error.toStdString();
    ASSERT_EQ(gif.Composed.size(), frames.size());
    const QRect typing(26, 48, 150, 12);
    for (size_t i = 0; i < frames.size(); ++i) {
        const QImage& shown = gif.Composed[i];
        // The background, the card, the panel and the typed text in their exact colours.
        EXPECT_EQ(DifferentPixels(shown, frames[i], QRect(0, 0, 200, 8)), 0) << "frame " << i;
        EXPECT_EQ(DifferentPixels(shown, frames[i], QRect(22, 34, 100, 40)), 0) << "frame " << i;
        // Outside the line being typed nothing moves: each pixel as in the first frame.
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x)
                if (!typing.contains(x, y) && shown.pixel(x, y) != gif.Composed[0].pixel(x, y))
                    FAIL() << "pixel " << x << "," << y << " changes in frame " << i;
    }
}

// A panel lightened by three levels (a hover) is a change on a screen, and drawn; in a filmed
// picture (the same frames with the screen rules off) three levels are noise, and left.
TEST(ScreenContent, SmallChangesAreDrawnOnScreensOnly) {
    QImage hover = ScreenFrame(6, false);
    QPainter(&hover).fillRect(QRect(20, 70, 160, 40), QColor(243, 245, 247));
    QPainter(&hover).fillRect(QRect(0, 0, 10, 10), Qt::white); // and something clearly visible
    const std::vector<QImage> frames = {ScreenFrame(6, false), hover};
    const TDecodedGif screen = EncodeAndDecode(frames);
    ASSERT_TRUE(screen.Ok);
    ASSERT_EQ(screen.Composed.size(), 2u);
    EXPECT_EQ(screen.Composed[1].pixel(25, 100) & 0xFFFFFF, qRgb(243, 245, 247) & 0xFFFFFF);

    TGifEncoderOptions film;
    film.ScreenFlatShare = 2.0f;
    const TDecodedGif filmed = EncodeAndDecode(frames, film);
    ASSERT_TRUE(filmed.Ok);
    ASSERT_EQ(filmed.Composed.size(), 2u);
    EXPECT_EQ(filmed.Composed[1].pixel(25, 100), filmed.Composed[0].pixel(25, 100));
}

// Filmed pictures are not taken for screens: their noise stays undrawn.
TEST(ScreenContent, NoisyFilmedFramesKeepTheTolerantDrawing) {
    std::mt19937 random(11);
    QImage base(120, 80, QImage::Format_RGB888);
    for (int y = 0; y < base.height(); ++y)
        for (int x = 0; x < base.width(); ++x)
            base.setPixel(x, y, qRgb(x * 2, 60 + y, 90 + (x + y) % 50));
    std::vector<QImage> frames;
    for (int i = 0; i < 6; ++i) {
        QImage frame = base.copy();
        for (int y = 0; y < frame.height(); ++y)
            for (int x = 0; x < frame.width(); ++x) {
                const QRgb c = frame.pixel(x, y);
                const int n = static_cast<int>(random() % 5) - 2; // ±2 levels of sensor noise
                frame.setPixel(x, y,
                               qRgb(std::clamp(qRed(c) + n, 0, 255), qGreen(c),
                                    std::clamp(qBlue(c) - n, 0, 255)));
            }
        frames.push_back(frame);
    }
    int images = 0;
    const TDecodedGif gif = EncodeAndDecode(frames, {}, &images);
    ASSERT_TRUE(gif.Ok);
    EXPECT_EQ(images, 1);

    // Faded in from black: the black frame is flat, the film after it is not.
    QImage black(base.size(), QImage::Format_RGB888);
    black.fill(Qt::black);
    frames.insert(frames.begin(), black);
    const TDecodedGif fading = EncodeAndDecode(frames, {}, &images);
    ASSERT_TRUE(fading.Ok);
    EXPECT_EQ(images, 2);
}

// Below the balance of quality (a size limit lowers it), screen recordings get smaller with the
// quality's fewer colours, and stay drawn exactly.
TEST(ScreenContent, ALowerQualityMakesScreenRecordingsSmaller) {
    std::vector<QImage> frames = Typing(20, true);
    std::mt19937 random(3);
    for (QImage& frame : frames) // a strip of faint noise (a scaled video inside a window, say)
        for (int y = 80; y < 100; ++y)
            for (int x = 20; x < 120; ++x)
                frame.setPixel(x, y, qRgb(220 + static_cast<int>(random() % 7), 240, 245));
    auto sizeAt = [&](int quality) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        const TQualitySettings settings = SettingsForQuality(quality);
        TGifEncoder encoder(&buffer, frames[0].size(), 0,
                            PaletteOf(frames, settings.Palette.MaxColors), settings.Encoder);
        EXPECT_TRUE(encoder.Start());
        for (const QImage& frame : frames)
            EXPECT_TRUE(encoder.AddFrame(Packed(frame).data(), 10));
        EXPECT_TRUE(encoder.Finish());
        return bytes;
    };
    const QByteArray balance = sizeAt(DefaultGifQuality), lower = sizeAt(DefaultGifQuality - 20);
    EXPECT_LT(lower.size(), balance.size() * 9 / 10);
    // Drawn exactly: the faint noise of the strip is followed as the balance follows it (the
    // filmed tolerances would leave it out).
    const auto stripChanges = [&](const QByteArray& bytes) {
        const TDecodedGif gif = DecodeGifBytes(bytes);
        int changed = 0;
        for (size_t i = 1; i < gif.Composed.size(); ++i)
            changed +=
                DifferentPixels(gif.Composed[i - 1], gif.Composed[i], QRect(20, 80, 100, 20));
        return changed;
    };
    EXPECT_GT(stripChanges(lower), stripChanges(balance) / 2);
}
