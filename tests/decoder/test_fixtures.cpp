// Frame identity through the generated test videos: every frame shows its own index, so a test
// knows exactly which frame the decoder made current, whatever codec, container, size and rate.

#include "DecoderTestUtils.h"
#include "FixtureList.h"
#include "FramePattern.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <gtest/gtest.h>
#include <random>

namespace {

using fixture::TFixture;

// Containers keep time in their own units (milliseconds in Matroska): a frame may sit up to one
// such unit from the time it was stamped with.
constexpr int64_t ClockSlack = 1000;

class FixtureVideo : public testing::TestWithParam<TFixture> {
protected:
    void SetUp() override {
        const QString path = FixtureFile(QString::fromUtf8(GetParam().FileName));
        if (!QFileInfo::exists(path)) {
            if (QFileInfo::exists(path + QLatin1String(".skipped")))
                GTEST_SKIP() << "this FFmpeg cannot encode " << GetParam().Encoder;
            FAIL() << "missing test video " << path.toStdString()
                   << " (built by the target vg_fixtures)";
        }
        ASSERT_TRUE(Decoder.LoadFile(path));
    }

    // Decodes the whole video once and checks that it is the video the generator made.
    std::vector<TDecodedFrame> Truth() {
        std::vector<TDecodedFrame> frames = DecodeAll(Decoder, true, true, GetParam().Rotation);
        EXPECT_EQ(int(frames.size()), GetParam().Frames);
        for (size_t i = 0; i < frames.size(); ++i)
            EXPECT_EQ(frames[i].Index, int(i)) << "frame " << i;
        return frames;
    }

    // Index shown in the current picture.
    int CurrentIndex() {
        QImage picture;
        if (!Decoder.CopyToBitmap(picture))
            return -2;
        return ShownIndex(picture, GetParam().Rotation);
    }

    TFFDecoder Decoder;
};

TEST_P(FixtureVideo, StreamFactsMatchTheGenerator) {
    const TFixture& fix = GetParam();
    ASSERT_GE(Decoder.VideoStreamIndex(), 0);
    const TVideoStreamInfo info = Decoder.GetVideoStreamInfo();
    int width = 0, height = 0;
    fixture::ShownSize(fix, width, height);
    EXPECT_EQ(info.Width, width);
    EXPECT_EQ(info.Height, height);
    EXPECT_EQ(info.CodedWidth, fix.Width);
    EXPECT_EQ(info.CodedHeight, fix.Height);
    EXPECT_EQ(info.Rotation, fix.Rotation);
    if (!fix.Variable) {
        ASSERT_GT(info.FrameRateDen, 0);
        EXPECT_NEAR(double(info.FrameRateNum) / info.FrameRateDen,
                    double(fix.RateNum) / fix.RateDen, 0.01);
    }
    const TFileStreamInfo file = Decoder.GetFileStreamInfo();
    EXPECT_GE(file.Duration, fixture::NominalPts(fix, fix.Frames - 1));
    EXPECT_LE(file.Duration, fixture::NominalPts(fix, fix.Frames) + 200000);
    EXPECT_NEAR(double(file.StartTime), fix.StartSeconds * 1e6, 2e6);
}

TEST_P(FixtureVideo, DecodesEveryFrameInOrderAtItsTime) {
    const TFixture& fix = GetParam();
    EXPECT_EQ(Decoder.CurrentPTS(), AV_NOPTS_VALUE);
    const std::vector<TDecodedFrame> frames = Truth();
    ASSERT_FALSE(frames.empty());
    for (size_t i = 0; i < frames.size(); ++i)
        EXPECT_NEAR(double(frames[i].Pts), double(fixture::NominalPts(fix, int(i))), ClockSlack)
            << "frame " << i;
    // The end: no further frame, and the last one stays current.
    EXPECT_FALSE(Decoder.Decode(-1));
    EXPECT_EQ(Decoder.CurrentPTS(), frames.back().Pts);
    EXPECT_EQ(CurrentIndex(), fix.Frames - 1);
}

TEST_P(FixtureVideo, LocateMakesTheFrameShownAtThatTimeCurrent) {
    const std::vector<TDecodedFrame> frames = Truth();
    ASSERT_FALSE(HasFailure());

    // Every frame's own time, one tick before it, between frames, before the first frame and
    // after the last, in a scrambled order so that both seeking and decoding on are used.
    std::vector<int64_t> targets = {-5 * PtsTicksPerSecond, -1,
                                    frames.back().Pts + 10 * PtsTicksPerSecond};
    for (size_t i = 0; i < frames.size(); ++i) {
        targets.push_back(frames[i].Pts);
        targets.push_back(frames[i].Pts - 1);
        if (i + 1 < frames.size())
            targets.push_back((frames[i].Pts + frames[i + 1].Pts) / 2);
    }
    std::mt19937 random(4711);
    std::shuffle(targets.begin(), targets.end(), random);
    for (int64_t target : targets) {
        const size_t expected = ShownFrame(frames, target);
        ASSERT_TRUE(Decoder.LocateVideoPTS(target)) << "at " << target;
        ASSERT_EQ(CurrentIndex(), int(expected)) << "at " << target;
        EXPECT_EQ(Decoder.CurrentPTS(), frames[expected].Pts);
    }
}

TEST_P(FixtureVideo, LocateIsRepeatableAndDecodingGoesOnFromThere) {
    const std::vector<TDecodedFrame> frames = Truth();
    ASSERT_FALSE(HasFailure());
    for (size_t at : {frames.size() * 2 / 3, frames.size() / 3, size_t(1), frames.size() - 2}) {
        const int64_t target = frames[at].Pts + 1;
        ASSERT_TRUE(Decoder.LocateVideoPTS(target));
        ASSERT_EQ(CurrentIndex(), int(at));
        ASSERT_TRUE(Decoder.LocateVideoPTS(target));
        ASSERT_EQ(CurrentIndex(), int(at));
        ASSERT_TRUE(Decoder.Decode(-1));
        EXPECT_EQ(CurrentIndex(), int(at + 1));
        EXPECT_EQ(Decoder.CurrentPTS(), frames[at + 1].Pts);
    }
    // A step of several frames leaves the last one current.
    ASSERT_TRUE(Decoder.LocateVideoPTS(frames[0].Pts));
    ASSERT_TRUE(Decoder.Decode(5));
    EXPECT_EQ(CurrentIndex(), 5);
}

TEST_P(FixtureVideo, SeekLandsOnKeyFrames) {
    const TFixture& fix = GetParam();
    const std::vector<TDecodedFrame> frames = Truth();
    ASSERT_FALSE(HasFailure());
    for (size_t at : {frames.size() - 1, frames.size() / 2, size_t(fix.KeyInterval), size_t(0)}) {
        if (at >= frames.size())
            continue;
        const int64_t target = frames[at].Pts;
        ASSERT_TRUE(Decoder.Seek(target, TSeekFlag::Backward)) << "at frame " << at;
        ASSERT_TRUE(Decoder.Decode(-1));
        const int index = CurrentIndex();
        ASSERT_GE(index, 0);
        EXPECT_LE(index, int(at));
        EXPECT_TRUE(Decoder.CurrentIsKeyFrame()) << "seek to frame " << at << " gave " << index;
        // Encoders that place key frames exactly where asked.
        if (QString::fromUtf8(fix.Encoder) == QLatin1String("libx264")) {
            EXPECT_EQ(index % fix.KeyInterval, 0) << "seek to frame " << at << " gave " << index;
        }
        EXPECT_EQ(Decoder.CurrentPTS(), frames[size_t(index)].Pts);
    }
    // Without flags the seek goes forward to a key frame.
    ASSERT_TRUE(Decoder.Seek(frames[1].Pts, TSeekFlags()));
    ASSERT_TRUE(Decoder.Decode(-1));
    EXPECT_TRUE(Decoder.CurrentIsKeyFrame());
    EXPECT_GE(CurrentIndex(), 1);
    // A locate after a seek does not take the frames on either side of the jump for neighbours.
    ASSERT_TRUE(Decoder.LocateVideoPTS(frames[0].Pts));
    ASSERT_TRUE(Decoder.Seek(frames.back().Pts, TSeekFlag::Backward));
    const size_t middle = frames.size() / 2;
    ASSERT_TRUE(Decoder.LocateVideoPTS(frames[middle].Pts + 1));
    EXPECT_EQ(CurrentIndex(), int(middle));
}

TEST_P(FixtureVideo, CancelledLocateStopsAndTheNextOneStillWorks) {
    const std::vector<TDecodedFrame> frames = Truth();
    ASSERT_FALSE(HasFailure());
    const size_t last = frames.size() - 1;
    ASSERT_TRUE(Decoder.LocateVideoPTS(frames[0].Pts));
    int asked = 0;
    EXPECT_FALSE(
        Decoder.LocateVideoPTSCallback(frames[last].Pts, [&asked] { return ++asked < 2; }));
    EXPECT_EQ(asked, 2);
    ASSERT_TRUE(Decoder.LocateVideoPTSCallback(frames[last].Pts, [] { return true; }));
    EXPECT_EQ(CurrentIndex(), int(last));
    ASSERT_TRUE(Decoder.LocateVideoPTS(frames[1].Pts));
    EXPECT_EQ(CurrentIndex(), 1);
}

TEST_P(FixtureVideo, PicturesAtVideoSizeInTheChosenDepth) {
    const TFixture& fix = GetParam();
    int width = 0, height = 0;
    fixture::ShownSize(fix, width, height);
    ASSERT_TRUE(Decoder.Decode(-1));
    QImage picture;
    Decoder.SetBitmapBitsPixel(24);
    ASSERT_TRUE(Decoder.CopyToBitmap(picture));
    EXPECT_EQ(picture.format(), QImage::Format_RGB888);
    EXPECT_EQ(picture.size(), QSize(width, height));
    EXPECT_EQ(ShownIndex(picture, fix.Rotation), 0);

    Decoder.SetBitmapBitsPixel(32);
    ASSERT_TRUE(Decoder.Decode(-1));
    ASSERT_TRUE(Decoder.CopyToBitmap(picture));
    EXPECT_EQ(picture.format(), QImage::Format_RGB32);
    EXPECT_EQ(picture.size(), QSize(width, height));
    EXPECT_EQ(ShownIndex(picture, fix.Rotation), 1);
    // Opaque, grey as drawn: the pattern has no colour.
    const QRgb pixel = picture.pixel(picture.width() / 12, picture.height() / 8);
    EXPECT_EQ(qAlpha(pixel), 255);
    EXPECT_NEAR(qRed(pixel), qGreen(pixel), 6);
    EXPECT_NEAR(qBlue(pixel), qGreen(pixel), 6);

    // A picture of the right size and depth is written in place (turned pictures are made new).
    const uchar* before = picture.constBits();
    ASSERT_TRUE(Decoder.Decode(-1));
    ASSERT_TRUE(Decoder.CopyToBitmap(picture));
    if (fix.Rotation == 0) {
        EXPECT_EQ(picture.constBits(), before);
    }
    EXPECT_EQ(ShownIndex(picture, fix.Rotation), 2);
}

std::string FixtureName(const testing::TestParamInfo<TFixture>& info) {
    std::string name = info.param.FileName;
    for (char& ch : name)
        if (!std::isalnum(static_cast<unsigned char>(ch)))
            ch = '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(Generated, FixtureVideo, testing::ValuesIn(fixture::Fixtures()),
                         FixtureName);

} // namespace
