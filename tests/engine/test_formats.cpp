// The same edit made as GIF, animated WebP and MP4, each file read back with a reader of its own
// (giflib, libwebp's demuxer, libavformat): the same frames, in the same order, at the same times.

#include "engine/Video2Gif.h"
#include "tests/fixtures/generator/FramePattern.h"
#include "tests/support/AnimDecode.h"
#include "tests/support/GifDecode.h"
#include "tests/support/TestUtils.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
const QString indexed = QStringLiteral(VG_FIXTURE_DIR "/h264-bframes-320x240-25fps.mp4");
const QString bear = QStringLiteral(VG_MEDIA_DIR "/bear-h264-1280x720.mp4");

// Frames 40 to 47 of the indexed clip, each for 40 ms, ping-pong, frame 43 deleted, played three
// times.
TConversionRequest IndexedEdit(const QString& file, TOutputFormat format) {
    TConversionRequest r;
    r.VideoFile = indexed;
    r.GifFile = file;
    r.Format = format;
    r.StartPTS = 40 * 40000;
    r.EndPTS = 47 * 40000;
    r.GifFPS = 25;
    r.SizeScale = 1.0;
    r.Sequence = foPingPong;
    r.GifLoop = 2;
    r.FrameFilter = [](int64_t pts) { return pts / 40000 == 43; };
    return r;
}

TConversionResult Convert(const TConversionRequest& request) {
    std::atomic<bool> cancel{false};
    return RunConversion(request, {}, cancel);
}

std::vector<int> Indices(const std::vector<QImage>& frames) {
    std::vector<int> shown;
    for (const QImage& frame : frames)
        shown.push_back(fixture::ReadIndexPattern(frame));
    return shown;
}

std::vector<int64_t> FromFirst(const std::vector<int64_t>& times) {
    std::vector<int64_t> relative;
    for (const int64_t time : times)
        relative.push_back(time - times.front());
    return relative;
}

QStringList FilesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden);
}
} // namespace

TEST(OutputFormats, EveryFormatShowsTheSameFramesAtTheSameTimes) {
    QTemporaryDir dir;
    const std::vector<int> order{40, 41, 42, 44, 45, 46, 47, 46, 45, 44, 42, 41};
    std::vector<int64_t> times;
    for (size_t i = 0; i < order.size(); ++i)
        times.push_back(static_cast<int64_t>(i) * 40);

    const TConversionRequest gifEdit = IndexedEdit(dir.filePath("o.gif"), TOutputFormat::Gif);
    ASSERT_TRUE(Convert(gifEdit).Ok);
    const TDecodedGif gif = DecodeGifFile(gifEdit.GifFile);
    ASSERT_TRUE(gif.Ok);
    EXPECT_EQ(Indices(gif.Composed), order);

    const TConversionRequest webpEdit = IndexedEdit(dir.filePath("o.webp"), TOutputFormat::WebP);
    const TConversionResult webpResult = Convert(webpEdit);
    ASSERT_TRUE(webpResult.Ok) << webpResult.Error.toStdString();
    EXPECT_EQ(webpResult.FramesWritten, static_cast<int>(order.size()));
    const TDecodedAnim webp = DecodeWebPFile(webpEdit.GifFile);
    ASSERT_TRUE(webp.Ok) << webp.Error.toStdString();
    EXPECT_EQ(webp.Size, QSize(320, 240));
    EXPECT_EQ(Indices(webp.Frames), order);
    EXPECT_EQ(webp.StartMs, times);
    EXPECT_EQ(webp.DurationMs, 480);
    EXPECT_EQ(webp.LoopCount, 3); // played once and replayed twice
    // Lossy, but the pictures are the GIF's.
    for (const size_t i : {size_t(0), size_t(5)})
        EXPECT_LT(MeanColourDifference(webp.Frames[i], gif.Composed[i]), 6.0) << i;

    const TConversionRequest mp4Edit = IndexedEdit(dir.filePath("o.mp4"), TOutputFormat::Mp4);
    const TConversionResult mp4Result = Convert(mp4Edit);
    ASSERT_TRUE(mp4Result.Ok) << mp4Result.Error.toStdString();
    const TDecodedAnim mp4 = DecodeMp4File(mp4Edit.GifFile);
    ASSERT_TRUE(mp4.Ok) << mp4.Error.toStdString();
    EXPECT_EQ(mp4.Codec, QStringLiteral("h264"));
    EXPECT_EQ(mp4.PixelFormat, QStringLiteral("yuv420p"));
    EXPECT_EQ(mp4.Streams, 1); // no sound
    EXPECT_TRUE(mp4.IndexFirst);
    EXPECT_EQ(mp4.Size, QSize(320, 240));
    EXPECT_EQ(Indices(mp4.Frames), order);
    EXPECT_EQ(FromFirst(mp4.StartMs), times);
    EXPECT_EQ(mp4.DurationMs - mp4.StartMs.front(), 480);
    for (const size_t i : {size_t(0), size_t(5)})
        EXPECT_LT(MeanColourDifference(mp4.Frames[i], gif.Composed[i]), 6.0) << i;
    // Only the files asked for: no work files left behind.
    EXPECT_EQ(FilesIn(dir.path()), (QStringList{"o.gif", "o.mp4", "o.webp"}));
}

TEST(OutputFormats, SizesAFormatCannotHoldAreHandledBeforeAnyWork) {
    QTemporaryDir dir;
    // 4:2:0 pictures have even sides: an odd one loses its last column and row.
    TConversionRequest odd = IndexedEdit(dir.filePath("odd.mp4"), TOutputFormat::Mp4);
    odd.SizeScale = -1;
    odd.CustomWidth = 161;
    odd.CustomHeight = 121;
    const TConversionResult made = Convert(odd);
    ASSERT_TRUE(made.Ok) << made.Error.toStdString();
    EXPECT_EQ(QSize(made.Width, made.Height), QSize(160, 120));
    EXPECT_EQ(DecodeMp4File(odd.GifFile).Size, QSize(160, 120));
    // A WebP is at most 16383 pixels a side, where a GIF may be 16384: refused, the limit named,
    // nothing written.
    TConversionRequest wide = IndexedEdit(dir.filePath("wide.webp"), TOutputFormat::WebP);
    wide.SizeScale = -1;
    wide.CustomWidth = 16384;
    wide.CustomHeight = 12;
    const TConversionResult refused = Convert(wide);
    EXPECT_FALSE(refused.Ok);
    EXPECT_TRUE(refused.Error.contains("16383")) << refused.Error.toStdString();
    EXPECT_FALSE(QFileInfo::exists(wide.GifFile));
}

TEST(OutputFormats, ASizeLimitIsMetOnEachFormatsOwnQualityAndCancellingKeepsTheOldFile) {
    QTemporaryDir dir;
    for (const TOutputFormat format : {TOutputFormat::WebP, TOutputFormat::Mp4}) {
        SCOPED_TRACE(FormatName(format).toStdString());
        TConversionRequest r;
        r.VideoFile = bear;
        r.GifFile = dir.filePath("limit." + FormatExtension(format));
        r.Format = format;
        r.EndPTS = 2000000;
        r.SizeScale = 0.5;
        r.GifFPS = 10;
        const TConversionResult free = Convert(r);
        ASSERT_TRUE(free.Ok) << free.Error.toStdString();
        const qint64 unlimited = QFileInfo(r.GifFile).size();
        r.GifMaxSize = unlimited * 6 / 10;
        const TConversionResult fitted = Convert(r);
        ASSERT_TRUE(fitted.Ok) << fitted.Error.toStdString();
        const qint64 size = QFileInfo(r.GifFile).size();
        EXPECT_LE(size, r.GifMaxSize);
        EXPECT_GT(size, r.GifMaxSize / 2); // lowered as little as fits
        EXPECT_TRUE(fitted.SizeReport.contains("quality")) << fitted.SizeReport.toStdString();

        // Stopped while encoding: the file there before stays, no work file is left.
        const QByteArray before = ReadFileBytes(r.GifFile);
        r.GifMaxSize = 0;
        std::atomic<bool> cancel{false};
        const TConversionResult stopped = RunConversion(
            r, [&](int percent) { cancel = cancel || percent >= 75; }, cancel);
        EXPECT_TRUE(stopped.Cancelled);
        EXPECT_EQ(ReadFileBytes(r.GifFile), before);
    }
    EXPECT_EQ(FilesIn(dir.path()), (QStringList{"limit.mp4", "limit.webp"}));
}
