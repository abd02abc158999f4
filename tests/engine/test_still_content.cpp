// Filmed pictures hold still where the scene does: a still picture under sensor and compression
// noise keeps its pixels as they were first drawn, while what really moves or fades is still
// redrawn faithfully.

#include "EncoderTestUtils.h"
#include "engine/GifEncoder.h"
#include "engine/QualityScale.h"
#include "engine/Quantizer.h"
#include "tests/decoder/PictureCompare.h"
#include "tests/support/GifDecode.h"

#include <QBuffer>
#include <QPainter>
#include <gtest/gtest.h>
#include <random>

namespace {
constexpr int width = 120, height = 80;

// A filmed-looking still: soft gradients with some texture, no flat areas.
QImage Landscape() {
    QImage image(width, height, QImage::Format_RGB888);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int grain = (x * 7 + y * 13) % 9;
            image.setPixel(x, y, qRgb(60 + x + grain, 90 + y + grain, 150 - x / 2 + grain));
        }
    return image;
}

// `picture` with every channel of every pixel moved by up to `amplitude` levels either way.
QImage WithNoise(const QImage& picture, int amplitude, std::mt19937& random) {
    std::uniform_int_distribution<int> noise(-amplitude, amplitude);
    QImage out = picture.copy();
    for (int y = 0; y < out.height(); ++y) {
        uchar* line = out.scanLine(y);
        for (int i = 0; i < out.width() * 3; ++i)
            line[i] = static_cast<uchar>(std::clamp(line[i] + noise(random), 0, 255));
    }
    return out;
}

// The mean difference per channel between what is shown and the source in `area`.
double MeanError(const QImage& shown, const QImage& source, const QRect& area) {
    double sum = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb p = shown.pixel(x, y), q = source.pixel(x, y);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) +
                   std::abs(qBlue(p) - qBlue(q));
        }
    return sum / (3.0 * area.width() * area.height());
}
} // namespace

// The first frame's noise and a later frame's differ by at most four levels: within the
// difference threshold, so nothing is redrawn and every later frame only lengthens the first.
TEST(StillContent, NoiseWithinTheThresholdLeavesAStillPictureAlone) {
    const QImage still = Landscape();
    std::mt19937 random(7);
    std::vector<QImage> frames;
    for (int i = 0; i < 12; ++i)
        frames.push_back(WithNoise(still, 2, random));
    int images = 0;
    const TDecodedGif gif = EncodeAndDecode(frames, {}, &images);
    ASSERT_TRUE(gif.Ok) << gif.Error.toStdString();
    EXPECT_EQ(images, 1);
    ASSERT_EQ(gif.Images.size(), 1u);
    EXPECT_EQ(gif.TotalDelayCs(), 120);
    EXPECT_LT(MeanError(gif.Composed[0], still, QRect(0, 0, width, height)), 3.0);
}

// Noise a little above the threshold: a pixel whose noise leaves the threshold in one frame is
// back within it in the next, and keeps the colour it was drawn in; the picture does not wander
// away from the scene.
TEST(StillContent, NoiseAboveTheThresholdKeepsMostPixelsAsShown) {
    const QImage still = Landscape();
    const QRect all(0, 0, width, height);
    auto changedPerFrame = [&](const TGifEncoderOptions& options) {
        std::mt19937 random(11);
        std::vector<QImage> frames;
        for (int i = 0; i < 12; ++i)
            frames.push_back(WithNoise(still, 3, random));
        const TDecodedGif gif = EncodeAndDecode(frames, options);
        EXPECT_TRUE(gif.Ok) << gif.Error.toStdString();
        int changed = 0;
        for (size_t i = 1; i < gif.Composed.size(); ++i) {
            changed += DifferentPixels(gif.Composed[i - 1], gif.Composed[i], all);
            EXPECT_LT(MeanError(gif.Composed[i], still, all), 3.0) << "image " << i;
        }
        return static_cast<double>(changed) / static_cast<double>(frames.size() - 1);
    };
    const double kept = changedPerFrame({});
    EXPECT_LT(kept, 0.05 * width * height);
    // Drawing every change at once redraws far more.
    TGifEncoderOptions everyChange;
    everyChange.NoiseLimit = 0;
    EXPECT_LT(kept, 0.6 * changedPerFrame(everyChange));
}

// Lighter by `levels` inside `area`.
QImage Lighter(const QImage& picture, int levels, const QRect& area) {
    QImage out = picture.copy();
    for (int y = area.top(); y <= area.bottom(); ++y) {
        uchar* line = out.scanLine(y);
        for (int i = area.left() * 3; i < (area.right() + 1) * 3; ++i)
            line[i] = static_cast<uchar>(std::min(255, line[i] + levels));
    }
    return out;
}

// A small change that lasts is drawn in the frame it starts in, also when that is the last
// frame; one that is gone again in the next frame is left out unless it is large.
TEST(StillContent, SmallChangesAreDrawnWhenTheyLast) {
    const QImage still = Landscape();
    const QRect all(0, 0, width, height), patch(30, 20, 40, 30);
    const QImage lit = Lighter(still, 6, patch);
    int images = 0;
    TDecodedGif gif = EncodeAndDecode({still, still, lit, lit}, {}, &images);
    ASSERT_TRUE(gif.Ok) << gif.Error.toStdString();
    ASSERT_EQ(images, 2);
    EXPECT_EQ(gif.Images[0].DelayCs, 20);
    EXPECT_LT(MeanError(gif.Composed[1], lit, patch), MeanError(gif.Composed[0], lit, patch) - 3);

    gif = EncodeAndDecode({still, still, lit}, {}, &images);
    ASSERT_TRUE(gif.Ok);
    ASSERT_EQ(images, 2);
    EXPECT_LT(MeanError(gif.Composed[1], lit, patch), MeanError(gif.Composed[0], lit, patch) - 3);

    // A faint flicker of one frame: nothing is redrawn, the timing is kept.
    gif = EncodeAndDecode({still, lit, still, still}, {}, &images);
    ASSERT_TRUE(gif.Ok);
    EXPECT_EQ(images, 1);
    EXPECT_EQ(gif.TotalDelayCs(), 40);

    // At the highest quality every change is drawn at once.
    gif = EncodeAndDecode({still, lit, still, still}, SettingsForQuality(100).Encoder, &images);
    ASSERT_TRUE(gif.Ok);
    EXPECT_EQ(images, 3);

    // A bright flash of one frame is drawn, and taken away again.
    QImage flash = still.copy();
    QPainter(&flash).fillRect(patch, Qt::white);
    gif = EncodeAndDecode({still, flash, still, still}, {}, &images);
    ASSERT_TRUE(gif.Ok);
    ASSERT_EQ(images, 3);
    EXPECT_LT(MeanError(gif.Composed[1], flash, patch), 3.0);
    EXPECT_LT(MeanError(gif.Composed[2], still, all), MeanError(gif.Composed[0], still, all) + 0.5);
}

// A square crossing a noisy still background is drawn where it is in every frame, the background
// comes back where it was, and rows it never touches never change.
TEST(StillContent, AMovingObjectOverNoiseIsRedrawnFaithfully) {
    const QImage still = Landscape();
    std::mt19937 random(3);
    std::vector<QImage> frames;
    auto square = [](int i) { return QRect(4 + i * 8, 30, 14, 14); };
    for (int i = 0; i < 12; ++i) {
        QImage frame = still.copy();
        QPainter(&frame).fillRect(square(i), QColor(230, 40, 30));
        frames.push_back(WithNoise(frame, 2, random));
    }
    int images = 0;
    const TDecodedGif gif = EncodeAndDecode(frames, {}, &images);
    ASSERT_TRUE(gif.Ok) << gif.Error.toStdString();
    ASSERT_EQ(images, 12);
    ASSERT_EQ(gif.Composed.size(), frames.size());
    const QRect above(0, 0, width, 28), below(0, 46, width, height - 46);
    for (int i = 1; i < 12; ++i) {
        const QImage& shown = gif.Composed[static_cast<size_t>(i)];
        const QImage& before = gif.Composed[static_cast<size_t>(i - 1)];
        EXPECT_LT(MeanError(shown, frames[static_cast<size_t>(i)], square(i)), 2.0) << i;
        const QRect uncovered(square(i - 1).left(), 30, 8, 14);
        EXPECT_LT(MeanError(shown, still, uncovered), 3.5) << i;
        EXPECT_EQ(DifferentPixels(before, shown, above), 0) << i;
        EXPECT_EQ(DifferentPixels(before, shown, below), 0) << i;
    }
}

// A fade of one level per frame stays under the threshold from one frame to the next; the
// difference since a pixel was last drawn still grows, so the picture follows the fade instead
// of lagging further and further behind it.
TEST(StillContent, ASlowFadeIsFollowed) {
    const QImage still = Landscape();
    std::vector<QImage> frames;
    for (int i = 0; i < 30; ++i) {
        QImage frame = still.copy();
        for (int y = 0; y < height; ++y) {
            uchar* line = frame.scanLine(y);
            for (int k = 0; k < width * 3; ++k)
                line[k] = static_cast<uchar>(std::min(255, line[k] + i));
        }
        frames.push_back(frame);
    }
    const TDecodedGif gif = EncodeAndDecode(frames);
    ASSERT_TRUE(gif.Ok) << gif.Error.toStdString();
    EXPECT_GT(gif.Images.size(), 15u);
    const QRect all(0, 0, width, height);
    const double first = MeanError(gif.Composed[0], frames[0], all);
    // Each image against every frame it is shown for.
    size_t frame = 0;
    for (size_t j = 0; j < gif.Images.size(); ++j)
        for (int k = 0; k < gif.Images[j].DelayCs / 10; ++k, ++frame) {
            ASSERT_LT(frame, frames.size());
            EXPECT_LT(MeanError(gif.Composed[j], frames[frame], all), first + 1.0)
                << "frame " << frame;
        }
    EXPECT_EQ(frame, frames.size());
}

// Below the default quality, a pixel left as it is on screen may not be drawn worse to let a
// compressed string go on: the next frame's allowance would start from that worse colour, so on a
// still picture whose noise keeps part of it redrawn the errors add up, frame after frame.
TEST(StillContent, LowQualityKeptPixelsDoNotDrift) {
    const QImage still = Landscape();
    std::mt19937 random(5);
    std::vector<QImage> frames;
    for (int i = 0; i < 30; ++i)
        frames.push_back(WithNoise(still, 12, random));
    TGifEncoderOptions low = SettingsForQuality(50).Encoder;
    ASSERT_FALSE(low.KeptMayWorsen);
    // How like the still scene the second half of the GIF looks.
    const auto lateSimilarity = [&](const TGifEncoderOptions& options) {
        const TDecodedGif gif = EncodeAndDecode(frames, options);
        EXPECT_TRUE(gif.Ok) << gif.Error.toStdString();
        const std::vector<QImage> shown = gif.FramesShown(10);
        EXPECT_EQ(shown.size(), frames.size());
        double sum = 0;
        for (size_t i = frames.size() / 2; i < shown.size(); ++i)
            sum += LumaSsim(shown[i], still.convertToFormat(QImage::Format_ARGB32));
        return sum / static_cast<double>(frames.size() - frames.size() / 2);
    };
    const double held = lateSimilarity(low);
    low.KeptMayWorsen = true;
    const double drifting = lateSimilarity(low);
    EXPECT_GT(held, drifting + 0.01);
}
