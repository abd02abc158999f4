// The real clips of the shared media folder: each opens (or, for the audio file, is refused) with
// the facts known about it, decodes to its end, and locates exactly.

#include "DecoderTestUtils.h"

#include <QFileInfo>
#include <cmath>
#include <gtest/gtest.h>
#include <random>

namespace {

struct TClip {
    const char* FileName;
    int Width, Height; // as shown
    int Frames;
    double Seconds; // length of the file
    double Start;   // where the file's clock starts
    double Rate;    // nominal frames per second
    int Rotation;
    const char* Codec;
};

const TClip Clips[] = {
    {"bear-h264-1280x720.mp4", 1280, 720, 82, 2.764, 0, 29.97, 0, "h264"},
    {"bbb-h264-854x480-30s.mp4", 854, 480, 720, 30.02, 0, 24, 0, "h264"},
    {"tractor-vp9-512x288.webm", 512, 288, 248, 9.92, 0, 25, 0, "vp9"},
    // 176 x 144 with pixels 135:121 as wide as high: 196 x 144 square pixels.
    {"apollo15-mjpeg-176x144-47s.mov", 196, 144, 1422, 47.45, 0, 29.97, 0, "mjpeg"},
    {"iphone4s-rotated-h264-568x320.mov", 320, 568, 66, 2.20, 0, 29.98, 90, "h264"},
    {"bear-hevc-main10-hdr10-640x360.mp4", 640, 360, 84, 2.84, 0, 29.97, 0, "hevc"},
    {"bear-mpeg2video-320x192.ts", 320, 192, 30, 1.00, 1.4, 29.97, 0, "mpeg2video"},
    {"bear-theora-320x180.ogv", 320, 180, 30, 1.01, 0, 29.97, 0, "theora"},
    {"screencast-jupyterlab-github-1616x1568.mp4", 1616, 1568, 2190, 73.0, 0, 30, 0, "h264"},
};

class MediaClip : public testing::TestWithParam<TClip> {
protected:
    void SetUp() override {
        const QString path = MediaFile(QString::fromUtf8(GetParam().FileName));
        ASSERT_TRUE(QFileInfo::exists(path)) << path.toStdString();
        ASSERT_TRUE(Decoder.LoadFile(path, QString()));
    }
    // The screen recording is large; its pictures are not digested frame by frame.
    bool Small() const { return GetParam().Width * GetParam().Height < 1000000; }

    TFFDecoder Decoder;
};

TEST_P(MediaClip, OpensWithTheKnownFacts) {
    const TClip& clip = GetParam();
    ASSERT_GE(Decoder.VideoStreamIndex(), 0);
    const TVideoStreamInfo info = Decoder.GetVideoStreamInfos(Decoder.VideoStreamIndex());
    EXPECT_EQ(info.Width, clip.Width);
    EXPECT_EQ(info.Height, clip.Height);
    EXPECT_EQ(info.Rotation, clip.Rotation);
    EXPECT_EQ(info.CodecName.toStdString(), clip.Codec);
    ASSERT_GT(info.FrameRateDen, 0);
    EXPECT_NEAR(double(info.FrameRateNum) / info.FrameRateDen, clip.Rate, 0.05);
    const TFileStreamInfo file = Decoder.GetFileStreamInfo();
    EXPECT_NEAR(file.Duration / 1e6, clip.Seconds, 0.1);
    EXPECT_NEAR(file.StartTime / 1e6, clip.Start, 0.05);

    QImage picture;
    ASSERT_TRUE(Decoder.Decode(-1));
    EXPECT_LE(std::llabs(Decoder.CurrentPTS()), 50000) << "the first frame starts the clip";
    ASSERT_TRUE(Decoder.CopyToBitmap(picture));
    EXPECT_EQ(picture.size(), QSize(clip.Width, clip.Height));
}

TEST_P(MediaClip, DecodesEveryFrameWithRisingTimesInsideTheDuration) {
    const TClip& clip = GetParam();
    const std::vector<TDecodedFrame> frames = DecodeAll(Decoder, false, false);
    EXPECT_EQ(int(frames.size()), clip.Frames);
    ASSERT_FALSE(frames.empty());
    for (size_t i = 1; i < frames.size(); ++i)
        ASSERT_GT(frames[i].Pts, frames[i - 1].Pts) << "frame " << i;
    EXPECT_GE(frames.front().Pts, 0);
    EXPECT_LT(frames.back().Pts, Decoder.GetFileStreamInfo().Duration);
}

TEST_P(MediaClip, LocateGivesTheSameFrameAsDecodingFromTheStart) {
    const std::vector<TDecodedFrame> frames = DecodeAll(Decoder, false, Small());
    ASSERT_GT(frames.size(), 2u);
    std::mt19937 random(99);
    std::uniform_int_distribution<int64_t> anyTime(-100000, frames.back().Pts + 100000);
    std::vector<int64_t> targets = {frames.back().Pts, frames[frames.size() / 2].Pts - 1,
                                    frames[1].Pts, 0};
    for (int i = 0; i < 12; ++i)
        targets.push_back(anyTime(random));
    QImage picture;
    for (int64_t target : targets) {
        const size_t expected = ShownFrame(frames, target);
        ASSERT_TRUE(Decoder.LocateVideoPTS(target)) << "at " << target;
        ASSERT_EQ(Decoder.CurrentPTS(), frames[expected].Pts) << "at " << target;
        if (Small()) {
            ASSERT_TRUE(Decoder.CopyToBitmap(picture));
            EXPECT_EQ(PictureDigest(picture), frames[expected].Digest) << "at " << target;
        }
    }
}

std::string ClipName(const testing::TestParamInfo<TClip>& info) {
    std::string name = info.param.FileName;
    name = name.substr(0, name.find('.'));
    for (char& ch : name)
        if (!std::isalnum(static_cast<unsigned char>(ch)))
            ch = '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(Shared, MediaClip, testing::ValuesIn(Clips), ClipName);

// Mean of each colour channel over a picture.
void ChannelMeans(const QImage& image, double means[3]) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    double sums[3] = {0, 0, 0};
    for (int y = 0; y < rgb.height(); ++y) {
        const uchar* line = rgb.constScanLine(y);
        for (int x = 0; x < rgb.width(); ++x)
            for (int c = 0; c < 3; ++c)
                sums[c] += line[3 * x + c];
    }
    for (int c = 0; c < 3; ++c)
        means[c] = sums[c] / (double(rgb.width()) * rgb.height());
}

// Correlation of the brightness of two pictures scaled to the same small size.
double Likeness(const QImage& a, const QImage& b) {
    const QImage x = a.scaled(64, 36).convertToFormat(QImage::Format_Grayscale8);
    const QImage y = b.scaled(64, 36).convertToFormat(QImage::Format_Grayscale8);
    double sx = 0, sy = 0, sxx = 0, syy = 0, sxy = 0;
    const int n = 64 * 36;
    for (int row = 0; row < 36; ++row)
        for (int col = 0; col < 64; ++col) {
            const double u = x.constScanLine(row)[col];
            const double v = y.constScanLine(row)[col];
            sx += u;
            sy += v;
            sxx += u * u;
            syy += v * v;
            sxy += u * v;
        }
    const double cov = sxy - sx * sy / n;
    return cov / std::sqrt((sxx - sx * sx / n) * (syy - sy * sy / n));
}

TEST(MediaPictures, TenBitVideoLooksLikeTheSameSceneInEightBits) {
    TFFDecoder ten, eight;
    ASSERT_TRUE(ten.LoadFile(MediaFile("bear-hevc-main10-hdr10-640x360.mp4")));
    ASSERT_TRUE(eight.LoadFile(MediaFile("bear-h264-1280x720.mp4")));
    QImage a, b;
    ASSERT_TRUE(ten.LocateVideoPTS(1000000));
    ASSERT_TRUE(eight.LocateVideoPTS(1000000));
    ASSERT_TRUE(ten.CopyToBitmap(a));
    ASSERT_TRUE(eight.CopyToBitmap(b));
    EXPECT_GT(Likeness(a, b), 0.8);
    double meansTen[3], meansEight[3];
    ChannelMeans(a, meansTen);
    ChannelMeans(b, meansEight);
    // Same brightness and no colour cast: this HDR encoding of the clip keeps the levels of its
    // 8-bit master, so the 10-bit pictures, brought to 8 bits, match the 8-bit ones closely.
    for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(meansTen[c], meansEight[c], 15) << "channel " << c;
}

TEST(MediaPictures, RotatedPhoneVideoStandsUpright) {
    TFFDecoder decoder;
    ASSERT_TRUE(decoder.LoadFile(MediaFile("iphone4s-rotated-h264-568x320.mov")));
    ASSERT_TRUE(decoder.Decode(-1));
    QImage picture;
    for (int bits : {24, 32}) {
        decoder.SetBitmapBitsPixel(bits);
        ASSERT_TRUE(decoder.CopyToBitmap(picture));
        EXPECT_EQ(picture.size(), QSize(320, 568));
        EXPECT_EQ(picture.format(), bits == 24 ? QImage::Format_RGB888 : QImage::Format_RGB32);
    }
    EXPECT_EQ(decoder.GetVideoStreamInfo().CodedWidth, 568);
    // Audio comes first in this file.
    EXPECT_EQ(decoder.VideoStreamIndex(), 1);
}

TEST(MediaPictures, CoverArtIsNoVideo) {
    TFFDecoder decoder;
    EXPECT_FALSE(decoder.LoadFile(MediaFile("audio-only-mp3-with-cover-art-30s.mp3")));
    EXPECT_LT(decoder.VideoStreamIndex(), 0);
    EXPECT_EQ(decoder.GetVideoStreamInfo().Width, 0);
    EXPECT_EQ(decoder.GetVideoStreamInfo().Height, 0);
    EXPECT_FALSE(decoder.Decode(-1));
}

} // namespace
