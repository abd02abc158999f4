// Size limits and the quality setting, through whole conversions of a real clip read back with an
// independent GIF decoder; and the coarser frame grid a size limit may fall back to.

#include "engine/GifSequence.h"
#include "engine/SizeFitter.h"
#include "engine/Video2Gif.h"
#include "tests/support/GifDecode.h"
#include "tests/support/TestUtils.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

TConversionRequest Request(const QString& gif) {
    TConversionRequest r;
    r.VideoFile = QStringLiteral(VG_MEDIA_DIR "/bbb-h264-854x480-30s.mp4");
    r.GifFile = gif;
    r.StartPTS = 5000000;
    r.EndPTS = 13000000;
    r.SizeScale = -1;
    r.CustomWidth = 320;
    r.CustomHeight = 180;
    r.GifFPS = 10;
    return r;
}

TConversionResult Convert(const TConversionRequest& request) {
    std::atomic<bool> cancel{false};
    return RunConversion(request, {}, cancel);
}

qint64 FileSize(const QString& file) {
    return QFileInfo(file).size();
}

// Mean absolute difference per channel between what two GIFs show, frame by frame.
double MeanDifference(const TDecodedGif& a, const TDecodedGif& b) {
    double sum = 0;
    qint64 count = 0;
    for (size_t i = 0; i < std::min(a.Composed.size(), b.Composed.size()); ++i) {
        const QImage& x = a.Composed[i];
        const QImage& y = b.Composed[i];
        for (int row = 0; row < x.height(); row += 3)
            for (int col = 0; col < x.width(); col += 3) {
                const QRgb p = x.pixel(col, row), q = y.pixel(col, row);
                sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) +
                       std::abs(qBlue(p) - qBlue(q));
                count += 3;
            }
    }
    return count ? sum / static_cast<double>(count) : 255;
}

} // namespace

TEST(Quality, LowerQualityIsSmallerAndFurtherFromTheMostFaithful) {
    QTemporaryDir dir;
    std::vector<qint64> sizes;
    std::vector<TDecodedGif> gifs;
    for (int quality : {100, DefaultGifQuality, 50, 10}) {
        const QString gif = dir.filePath(QStringLiteral("q%1.gif").arg(quality));
        TConversionRequest r = Request(gif);
        r.EndPTS = 7000000;
        r.GifQuality = quality;
        const TConversionResult result = Convert(r);
        ASSERT_TRUE(result.Ok) << result.Error.toStdString();
        EXPECT_TRUE(result.SizeReport.isEmpty());
        sizes.push_back(FileSize(gif));
        gifs.push_back(DecodeGifFile(gif));
        ASSERT_TRUE(gifs.back().Ok);
    }
    for (size_t i = 1; i < sizes.size(); ++i)
        EXPECT_LT(sizes[i], sizes[i - 1]) << i;
    // Measured against the most faithful GIF, each step down strays further.
    EXPECT_LT(MeanDifference(gifs[0], gifs[1]), MeanDifference(gifs[0], gifs[2]));
    EXPECT_LT(MeanDifference(gifs[0], gifs[2]), MeanDifference(gifs[0], gifs[3]));
    // The most faithful gives each frame colours of its own (one of them is the file's global
    // table); the default shares them by scene.
    const auto ownTables = [](const TDecodedGif& gif) {
        return std::count_if(
            gif.Images.begin(), gif.Images.end(),
            [](const TDecodedGif::TImage& image) { return image.LocalColors > 0; });
    };
    EXPECT_GE(ownTables(gifs[0]), static_cast<qsizetype>(gifs[0].Images.size()) - 1);
    EXPECT_LT(ownTables(gifs[1]), static_cast<qsizetype>(gifs[1].Images.size()) / 4);
}

TEST(SizeLimit, TheGifFitsByLowerQualityThenFewerFramesAndKeepsItsTiming) {
    QTemporaryDir dir;
    const QString free = dir.filePath(QStringLiteral("free.gif"));
    ASSERT_TRUE(Convert(Request(free)).Ok);
    const qint64 unlimited = FileSize(free);
    const TDecodedGif full = DecodeGifFile(free);

    // A limit a lower quality meets: same frames, same size.
    const QString gif = dir.filePath(QStringLiteral("limited.gif"));
    TConversionRequest r = Request(gif);
    r.GifMaxSize = unlimited * 7 / 10;
    TConversionResult result = Convert(r);
    ASSERT_TRUE(result.Ok) << result.Error.toStdString();
    EXPECT_LE(FileSize(gif), r.GifMaxSize);
    EXPECT_GE(FileSize(gif), r.GifMaxSize * 85 / 100);
    EXPECT_TRUE(result.SizeReport.startsWith(QStringLiteral("target ")));
    EXPECT_TRUE(result.SizeReport.contains(QStringLiteral("10 fps, 320 × 180")))
        << result.SizeReport.toStdString();
    EXPECT_EQ(result.FramesWritten, static_cast<int>(full.Composed.size()));

    // A limit only fewer frames (or smaller ones) meet: the GIF still lasts as long.
    r.GifMaxSize = unlimited / 6;
    result = Convert(r);
    ASSERT_TRUE(result.Ok) << result.Error.toStdString();
    EXPECT_LE(FileSize(gif), r.GifMaxSize);
    const TDecodedGif small = DecodeGifFile(gif);
    ASSERT_TRUE(small.Ok);
    EXPECT_LT(result.FramesWritten, static_cast<int>(full.Composed.size()));
    EXPECT_NEAR(small.TotalDelayCs(), full.TotalDelayCs(), 10);
    EXPECT_EQ(result.DurationCs, small.TotalDelayCs());
    EXPECT_LT(result.Fps, 10);
    EXPECT_TRUE(result.SizeReport.contains(QStringLiteral("quality 30")))
        << result.SizeReport.toStdString();
    EXPECT_EQ(QSize(small.Width, small.Height), QSize(result.Width, result.Height));
}

TEST(SizeLimit, ALimitNothingMeetsFailsWithTheSmallestSizeAndKeepsTheOldFile) {
    QTemporaryDir dir;
    const QString gif = dir.filePath(QStringLiteral("old.gif"));
    ASSERT_TRUE(WriteFile(gif, "an older GIF"));
    TConversionRequest r = Request(gif);
    r.EndPTS = 9000000;
    r.GifMaxSize = MinGifBytes;
    const TConversionResult result = Convert(r);
    EXPECT_FALSE(result.Ok);
    EXPECT_TRUE(result.Error.contains(QStringLiteral("cannot be made to fit in 64 bytes")))
        << result.Error.toStdString();
    EXPECT_TRUE(result.Error.contains(QStringLiteral("the smallest it gets is")));
    EXPECT_TRUE(result.Error.contains(QStringLiteral("5 fps, 29 × 16")))
        << result.Error.toStdString();
    EXPECT_EQ(ReadTextFile(gif), QStringLiteral("an older GIF"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

TEST(GifSequence, AFewerFramesGridTakesTheNearestAndSkipsDeletedStretches) {
    TConversionPlan plan;
    plan.ClipStart = 0;
    plan.Rate = 10;
    plan.MaxFrames = 1000;
    plan.FinalSize = QSize(8, 8);
    TPreparedFrames frames;
    // Samples every 100 ms from 0 to 2 s, but 0.6 s to 1.4 s deleted.
    for (int i = 0; i <= 20; ++i) {
        if (i >= 6 && i <= 14)
            continue;
        frames.TimeOf.push_back(i * 100000);
        frames.PtsOf.push_back(i * 100000);
        frames.SceneOf.push_back(0);
        ++frames.Count;
    }
    const TGifSequence every = PlannedSequence(plan, frames, 1.0);
    EXPECT_EQ(every.Frames.size(), 12u);
    EXPECT_DOUBLE_EQ(every.PeriodCs, 10);
    // 4 per second: 0, 0.25 (0.2 or 0.3: the first nearest), 0.5, 1.5, 1.75 (1.7/1.8), 2.0.
    const TGifSequence fewer = ResampledSequence(plan, frames, 1.0, 4);
    std::vector<int64_t> times;
    for (int index : fewer.Frames)
        times.push_back(frames.TimeOf[static_cast<size_t>(index)]);
    EXPECT_EQ(times, (std::vector<int64_t>{0, 200000, 500000, 1500000, 1700000, 2000000}));
    EXPECT_DOUBLE_EQ(fewer.PeriodCs, 25);
    // Twice as fast: each frame shown half as long.
    EXPECT_DOUBLE_EQ(ResampledSequence(plan, frames, 2.0, 4).PeriodCs, 12.5);
    plan.Order = foReverse;
    EXPECT_EQ(ResampledSequence(plan, frames, 1.0, 4).Frames.front(), frames.Count - 1);
}

TEST(SizeLimit, SizesReadAsUploadLimitsAreStated) {
    EXPECT_EQ(FormatFileSize(8000000), QStringLiteral("8.0 MB"));
    EXPECT_EQ(FormatFileSize(7745000), QStringLiteral("7.7 MB"));
    EXPECT_EQ(FormatFileSize(750400), QStringLiteral("750 KB"));
    EXPECT_EQ(FormatFileSize(64), QStringLiteral("64 bytes"));
}
