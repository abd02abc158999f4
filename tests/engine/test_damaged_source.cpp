// Conversions of damaged videos: a file cut short gives the GIF of what is there and says so; a
// stretch of garbage leaves its damaged frames out and says so; an intact file says nothing.

#include "engine/Video2Gif.h"
#include "tests/fixtures/generator/FramePattern.h"
#include "tests/support/GifDecode.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QString Fixture(const char* name) {
    return QStringLiteral(VG_FIXTURE_DIR "/") + QString::fromUtf8(name);
}

// A copy of `source` cut off at `offset`, or with `length` bytes from there overwritten.
QString DamagedCopy(const QString& source, const QString& target, qint64 offset, qint64 length) {
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return {};
    QByteArray bytes = in.readAll();
    if (length == 0)
        bytes.truncate(offset);
    uint32_t state = 777;
    for (qint64 i = offset; i < offset + length && i < bytes.size(); ++i) {
        state = state * 1103515245u + 12345u;
        bytes[i] = char(state >> 24);
    }
    QFile out(target);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size())
        return {};
    return target;
}

TConversionResult Convert(const QString& video, const QString& gif, int64_t end) {
    TConversionRequest request;
    request.VideoFile = video;
    request.GifFile = gif;
    request.StartPTS = 0;
    request.EndPTS = end;
    request.SizeScale = 0.5;
    request.GifFPS = 10;
    std::atomic<bool> cancel{false};
    return RunConversion(request, {}, cancel);
}

class DamagedSource : public testing::Test {
protected:
    QTemporaryDir Dir;
    QString Gif() const { return Dir.filePath(QStringLiteral("out.gif")); }
};

TEST_F(DamagedSource, AFileCutShortGivesTheGifOfWhatIsThereWithAWarning) {
    ASSERT_TRUE(Dir.isValid());
    const QString source = Fixture("h264-bframes-320x240-25fps.mp4"); // 6 s
    const TConversionResult whole = Convert(source, Gif(), 6000000);
    ASSERT_TRUE(whole.Ok) << qPrintable(whole.Error);
    EXPECT_TRUE(whole.Warning.isEmpty()) << qPrintable(whole.Warning);
    EXPECT_EQ(whole.FramesWritten, 61); // 0 s to 6 s, both ends included

    const QString cut = DamagedCopy(source, Dir.filePath(QStringLiteral("cut.mp4")),
                                    QFileInfo(source).size() / 2, 0);
    ASSERT_FALSE(cut.isEmpty());
    const TConversionResult result = Convert(cut, Gif(), 6000000);
    ASSERT_TRUE(result.Ok) << qPrintable(result.Error);
    EXPECT_TRUE(result.Warning.contains(QStringLiteral("cut short"))) << qPrintable(result.Warning);
    EXPECT_GT(result.FramesWritten, 5);
    EXPECT_LT(result.FramesWritten, 55);
    // The GIF holds exactly the frames that were there, each a whole picture of the video.
    const TDecodedGif gif = DecodeGifFile(Gif());
    ASSERT_TRUE(gif.Ok) << qPrintable(gif.Error);
    ASSERT_EQ(gif.Composed.size(), size_t(result.ImagesWritten));
    for (const QImage& picture : gif.Composed)
        EXPECT_GE(fixture::ReadIndexPattern(picture), 0);
}

TEST_F(DamagedSource, DamagedFramesAreLeftOutAndReported) {
    ASSERT_TRUE(Dir.isValid());
    const QString source = Fixture("h264-start10s-256x144-29.97fps.ts"); // 60 frames, 2 s
    const QString damaged = DamagedCopy(source, Dir.filePath(QStringLiteral("damaged.ts")),
                                        QFileInfo(source).size() / 2, 188 * 6);
    ASSERT_FALSE(damaged.isEmpty());
    const TConversionResult result = Convert(damaged, Gif(), 2000000);
    ASSERT_TRUE(result.Ok) << qPrintable(result.Error);
    EXPECT_TRUE(result.Warning.contains(QStringLiteral("damaged frame")))
        << qPrintable(result.Warning);
    // No GIF frame shows a garbled picture: every one carries a readable index.
    const TDecodedGif gif = DecodeGifFile(Gif());
    ASSERT_TRUE(gif.Ok) << qPrintable(gif.Error);
    ASSERT_FALSE(gif.Composed.empty());
    for (const QImage& picture : gif.Composed)
        EXPECT_GE(fixture::ReadIndexPattern(picture), 0);
}

} // namespace
