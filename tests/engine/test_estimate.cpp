// The size estimate against the GIFs the same requests make: exact for a short GIF, close for a
// longer one made from stretches, following deleted frames and a size limit, and writing nothing.

#include "engine/GifEstimate.h"
#include "engine/LiveEstimate.h"
#include "engine/SizeFitter.h"

#include "tests/support/TestUtils.h"
#include <QCoreApplication>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

TConversionRequest Request(const QString& gif, double seconds) {
    TConversionRequest r;
    r.VideoFile = QStringLiteral(VG_MEDIA_DIR "/bbb-h264-854x480-30s.mp4");
    r.GifFile = gif;
    r.StartPTS = 5000000;
    r.EndPTS = r.StartPTS + static_cast<int64_t>(seconds * 1e6);
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

TGifEstimate Estimate(const TConversionRequest& request) {
    std::atomic<bool> cancel{false};
    return EstimateGif(request, cancel);
}

TEST(GifEstimate, AShortGifIsMadeWholeInMemoryAndItsSizeIsExact) {
    QTemporaryDir dir;
    const QString gif = dir.filePath(QStringLiteral("short.gif"));
    const TConversionRequest request = Request(gif, 1.5);
    const TGifEstimate estimate = Estimate(request);
    ASSERT_TRUE(estimate.Ok()) << estimate.Error.toStdString();
    EXPECT_FALSE(QFileInfo::exists(gif)) << "an estimate writes no GIF";
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 0)
        << "nor leaves its frames behind";
    const TConversionResult result = Convert(request);
    ASSERT_TRUE(result.Ok) << result.Error.toStdString();
    EXPECT_TRUE(estimate.Exact);
    EXPECT_EQ(estimate.Bytes, QFileInfo(gif).size());
    EXPECT_EQ(estimate.Frames, result.FramesWritten);
    EXPECT_EQ(estimate.DurationCs, result.DurationCs);
    EXPECT_EQ(estimate.Size, QSize(result.Width, result.Height));
    EXPECT_EQ(DescribeEstimate(estimate), QStringLiteral("%1 · %2 frames · %3 s")
                                              .arg(FormatFileSize(estimate.Bytes))
                                              .arg(result.FramesWritten)
                                              .arg(result.DurationCs / 100.0, 0, 'f', 1));
}

TEST(GifEstimate, ALongerGifIsEstimatedFromStretchesAndFollowsDeletedFrames) {
    QTemporaryDir dir;
    const QString gif = dir.filePath(QStringLiteral("long.gif"));
    TConversionRequest request = Request(gif, 12);
    for (const bool withDeleted : {false, true}) {
        SCOPED_TRACE(withDeleted ? "two seconds deleted" : "every frame");
        if (withDeleted)
            request.FrameFilter = [](int64_t pts) { return pts >= 8000000 && pts < 10000000; };
        const TGifEstimate estimate = Estimate(request);
        ASSERT_TRUE(estimate.Ok()) << estimate.Error.toStdString();
        const TConversionResult result = Convert(request);
        ASSERT_TRUE(result.Ok) << result.Error.toStdString();
        EXPECT_FALSE(estimate.Exact);
        EXPECT_LT(estimate.SampledFrames, estimate.Frames / 2) << "a sample, not the whole";
        EXPECT_LE(std::abs(estimate.Frames - result.FramesWritten), 1);
        const double real = static_cast<double>(QFileInfo(gif).size());
        EXPECT_LT(std::abs(static_cast<double>(estimate.Bytes) - real) / real, 0.25)
            << estimate.Bytes << " estimated, " << real << " made";
        EXPECT_TRUE(DescribeEstimate(estimate).startsWith(QStringLiteral("about ")));
    }
}

TEST(GifEstimate, ASizeLimitIsShownAsWhatItWillChoose) {
    QTemporaryDir dir;
    const QString gif = dir.filePath(QStringLiteral("limited.gif"));
    TConversionRequest request = Request(gif, 12);
    const TGifEstimate free = Estimate(request);
    ASSERT_TRUE(free.Ok());
    request.GifMaxSize = free.Bytes / 2;
    const TGifEstimate limited = Estimate(request);
    ASSERT_TRUE(limited.Ok()) << limited.Error.toStdString();
    EXPECT_EQ(limited.Bytes, free.Bytes) << "the size without the limit stays shown";
    ASSERT_TRUE(limited.Limited && limited.Fits);
    EXPECT_LE(limited.FittedBytes, request.GifMaxSize * 115 / 100);
    EXPECT_GT(limited.FittedBytes, request.GifMaxSize / 2);
    EXPECT_TRUE(limited.FittedQuality < request.GifQuality || limited.FittedFps < free.Fps ||
                limited.FittedSize.width() < free.Size.width());
    EXPECT_TRUE(DescribeEstimate(limited).contains(QStringLiteral("; fits: about ")));
    // The conversion meets the same limit.
    const TConversionResult result = Convert(request);
    ASSERT_TRUE(result.Ok) << result.Error.toStdString();
    EXPECT_LE(QFileInfo(gif).size(), request.GifMaxSize);
}

TEST(GifEstimate, ACancelledOrImpossibleEstimateSaysSo) {
    QTemporaryDir dir;
    TConversionRequest request = Request(dir.filePath(QStringLiteral("x.gif")), 12);
    std::atomic<bool> cancel{true};
    EXPECT_TRUE(EstimateGif(request, cancel).Cancelled);
    EXPECT_TRUE(DescribeEstimate(EstimateGif(request, cancel)).isEmpty());
    request.VideoFile = dir.filePath(QStringLiteral("missing.mp4"));
    const TGifEstimate missing = Estimate(request);
    EXPECT_FALSE(missing.Ok());
    EXPECT_TRUE(missing.Error.contains(QStringLiteral("cannot be opened")))
        << missing.Error.toStdString();
    request = Request(dir.filePath(QStringLiteral("x.gif")), 12);
    request.FrameFilter = [](int64_t) { return true; };
    EXPECT_TRUE(Estimate(request).Error.contains(QStringLiteral("deleted")));
}

} // namespace

namespace {

TEST(LiveEstimate, OnlyTheLatestChangeIsShownAndAClearedEstimateStaysCleared) {
    TLiveEstimate live;
    QStringList shown;
    QObject::connect(&live, &TLiveEstimate::TextChanged,
                     [&](const QString& text) { shown << text; });
    // Three changes in a row: one estimate, of the last.
    for (const int fps : {5, 6, 10})
        live.Restart([fps] {
            TConversionRequest request = Request(QString(), 1.5);
            request.GifFPS = fps;
            return request;
        });
    EXPECT_EQ(live.Text(), TLiveEstimate::Estimating());
    ASSERT_TRUE(WaitFor([&] { return live.Text() != TLiveEstimate::Estimating(); }, 20000));
    EXPECT_TRUE(live.Text().contains(QStringLiteral(" · 16 frames · ")))
        << live.Text().toStdString();
    EXPECT_EQ(shown, QStringList({TLiveEstimate::Estimating(), live.Text()}));

    // A change, then nothing to estimate before its figure came: nothing is shown, then or after
    // the cancelled estimate has stopped and anything it sent has arrived.
    live.Restart([] { return Request(QString(), 12); });
    ASSERT_TRUE(WaitFor([&] { return live.Running(); }));
    live.Clear();
    EXPECT_TRUE(live.Text().isEmpty());
    ASSERT_TRUE(WaitFor([&] { return !live.Running(); }));
    QCoreApplication::processEvents();
    EXPECT_TRUE(live.Text().isEmpty());
    EXPECT_EQ(shown.size(), 4) << shown.join(QLatin1Char('|')).toStdString();
}

} // namespace
