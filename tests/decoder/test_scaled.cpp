// The part of a picture at output size in one step (CopyToBitmapScaled) against the two-step way
// (the whole picture, cropped, then scaled with Lanczos): the same picture within a small error,
// on crops at odd offsets, turned video, pixels that are not square, 10-bit and HDR sources.

#include "DecoderTestUtils.h"
#include "FixtureList.h"
#include "PictureCompare.h"

#include "decoder/KeptFrame.h"
#include "decoder/PictureConverter.h"
#include "decoder/PlanarRgb.h"

#include <QFileInfo>
#include <cstring>
#include <gtest/gtest.h>
#include <thread>

extern "C" {
#include <libavutil/frame.h>
}

namespace {

struct TScaledCase {
    const char* File;
    bool Fixture; // a generated test video, else a clip of the shared media
    int Frame;    // decoded this many frames in
    QRect Part;   // in the upright picture
    QSize Out;
};

void PrintTo(const TScaledCase& c, std::ostream* out) {
    *out << c.File << " part " << c.Part.x() << ',' << c.Part.y() << ' ' << c.Part.width() << 'x'
         << c.Part.height() << " to " << c.Out.width() << 'x' << c.Out.height();
}

QString CaseFile(const TScaledCase& c) {
    return c.Fixture ? FixtureFile(QString::fromUtf8(c.File))
                     : MediaFile(QString::fromUtf8(c.File));
}

class ScaledPart : public ::testing::TestWithParam<TScaledCase> {};

// One-step and two-step pictures agree closely; a part a few pixels off does not, so the measure
// sees a misplaced crop or a wrong turn. (Pixels that are not square are cut at whole pixels of
// the frame: up to half a frame pixel from the two-step cut.)
TEST_P(ScaledPart, MatchesCropThenScale) {
    const TScaledCase& c = GetParam();
    const QString path = CaseFile(c);
    if (!QFileInfo::exists(path))
        GTEST_SKIP() << "no " << c.File << " here";
    TFFDecoder decoder;
    decoder.SetBitmapBitsPixel(32);
    ASSERT_TRUE(decoder.LoadFile(path));
    ASSERT_TRUE(decoder.Decode(c.Frame));
    QImage whole, small;
    ASSERT_TRUE(decoder.CopyToBitmap(whole));
    ASSERT_TRUE(decoder.CopyToBitmapScaled(small, c.Part, c.Out));
    ASSERT_EQ(small.size(), c.Out);
    EXPECT_EQ(small.format(), QImage::Format_RGB32);
    const QImage reference = LanczosPart(whole, c.Part, c.Out);
    const double psnr = PicturePsnr(small, reference);
    const QImage shifted = LanczosPart(whole, c.Part.translated(6, 4), c.Out);
    const double shiftedPsnr = PicturePsnr(small, shifted);
    std::printf("    %s: one step vs two steps %.1f dB, vs a part 6,4 px off %.1f dB\n", c.File,
                psnr, shiftedPsnr);
    EXPECT_GT(psnr, 32.0);
    EXPECT_GT(psnr, shiftedPsnr + 3.0);
}

INSTANTIATE_TEST_SUITE_P(Sources, ScaledPart,
                         ::testing::Values(TScaledCase{"h264-bframes-320x240-25fps.mp4", true, 7,
                                                       QRect(33, 17, 151, 101), QSize(75, 50)},
                                           TScaledCase{"h264-bframes-320x240-25fps.mp4", true, 7,
                                                       QRect(0, 0, 320, 240), QSize(160, 120)},
                                           TScaledCase{"h264-turned90-320x176-25fps.mp4", true, 5,
                                                       QRect(21, 37, 111, 203), QSize(57, 100)},
                                           TScaledCase{"h264-widepixels-160x240-25fps.mkv", true, 5,
                                                       QRect(41, 13, 201, 151), QSize(100, 75)},
                                           TScaledCase{"bear-hevc-main10-hdr10-640x360.mp4", false,
                                                       20, QRect(101, 51, 333, 187),
                                                       QSize(166, 93)},
                                           TScaledCase{"landscape-sdr-bt709-320x180.mkv", true, 2,
                                                       QRect(31, 21, 181, 121), QSize(181, 121)},
                                           TScaledCase{"landscape-sdr-bt709-320x180.mkv", true, 2,
                                                       QRect(31, 21, 181, 121), QSize(90, 60)},
                                           TScaledCase{"bbb-h264-854x480-30s.mp4", false, 40,
                                                       QRect(1, 1, 851, 477), QSize(427, 240)},
                                           TScaledCase{"landscape-pq-bt2020-320x180.mkv", true, 2,
                                                       QRect(31, 21, 181, 121), QSize(91, 61)},
                                           TScaledCase{"landscape-hlg-bt2020-320x180.mkv", true, 2,
                                                       QRect(3, 5, 301, 171), QSize(640, 360)}));

// Nothing to give: no file, no current frame, a part outside the picture, an empty size. The
// picture passed in stays as it was.
TEST(ScaledPartRefusals, NothingGivenLeavesThePictureAlone) {
    QImage kept(4, 4, QImage::Format_RGB32);
    kept.fill(Qt::red);
    const uint64_t digest = PictureDigest(kept);
    TFFDecoder decoder;
    EXPECT_FALSE(decoder.CopyToBitmapScaled(kept, QRect(0, 0, 10, 10), QSize(5, 5)));
    ASSERT_TRUE(decoder.LoadFile(FixtureFile(QStringLiteral("h264-bframes-320x240-25fps.mp4"))));
    EXPECT_FALSE(decoder.CopyToBitmapScaled(kept, QRect(0, 0, 10, 10), QSize(5, 5)));
    ASSERT_TRUE(decoder.Decode());
    EXPECT_FALSE(decoder.CopyToBitmapScaled(kept, QRect(400, 10, 10, 10), QSize(5, 5)));
    EXPECT_FALSE(decoder.CopyToBitmapScaled(kept, QRect(0, 0, 10, 10), QSize(0, 5)));
    EXPECT_FALSE(decoder.CopyToBitmapScaled(kept, QRect(), QSize(5, 5)));
    EXPECT_EQ(PictureDigest(kept), digest);
    // A part reaching out of the picture is cut to it.
    QImage inside, clipped;
    ASSERT_TRUE(decoder.CopyToBitmapScaled(inside, QRect(300, 200, 20, 40), QSize(10, 20)));
    ASSERT_TRUE(decoder.CopyToBitmapScaled(clipped, QRect(300, 200, 60, 90), QSize(10, 20)));
    EXPECT_EQ(PictureDigest(inside), PictureDigest(clipped));
}

// A 4:2:0 picture whose colour changes from every chroma sample to the next, cut at odd offsets:
// the part shows the colours the whole picture shows there (cut at an odd pixel, the first
// chroma sample lies half a sample before the part; placed as if it began there, every colour
// would be half a pixel off).
TEST(ScaledPartChroma, OddOffsetsKeepColoursInPlace) {
    ffmpeg::TFramePtr frame(av_frame_alloc());
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = 64;
    frame->height = 32;
    ASSERT_GE(av_frame_get_buffer(frame.get(), 0), 0);
    for (int y = 0; y < 32; ++y)
        std::memset(frame->data[0] + ptrdiff_t(y) * frame->linesize[0], 128, 64);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 32; ++x) {
            frame->data[1][ptrdiff_t(y) * frame->linesize[1] + x] = uint8_t(40 + 6 * x);
            frame->data[2][ptrdiff_t(y) * frame->linesize[2] + x] = uint8_t(40 + 12 * y);
        }
    TPictureConverter converter;
    converter.SetGeometry(QSize(64, 32), 0);
    QImage whole;
    ASSERT_TRUE(converter.Scaled(frame.get(), QRect(0, 0, 64, 32), QSize(64, 32), whole));
    for (const QRect& part : {QRect(1, 1, 40, 20), QRect(3, 5, 40, 20), QRect(2, 2, 40, 20)}) {
        QImage same, half;
        ASSERT_TRUE(converter.Scaled(frame.get(), part, part.size(), same));
        ASSERT_TRUE(converter.Scaled(frame.get(), part, part.size() / 2, half));
        EXPECT_GT(PicturePsnr(same, whole.copy(part)), 38.0) << part.x() << ',' << part.y();
        EXPECT_GT(PicturePsnr(half, LanczosPart(whole, part, part.size() / 2)), 38.0)
            << part.x() << ',' << part.y();
    }
}

} // namespace

namespace {

struct TPictureSource {
    const char* File;
    bool Fixture; // a generated test video, else a clip of the shared media
};

QString SourcePath(const TPictureSource& source) {
    return source.Fixture ? FixtureFile(QString::fromUtf8(source.File))
                          : MediaFile(QString::fromUtf8(source.File));
}

// A picture of every kind: plain, turned, wide pixels, PQ, 10-bit HDR10, interlaced.
const TPictureSource pictureSources[] = {
    {"h264-bframes-320x240-25fps.mp4", true},      {"h264-turned90-320x176-25fps.mp4", true},
    {"h264-widepixels-160x240-25fps.mkv", true},   {"landscape-pq-bt2020-320x180.mkv", true},
    {"bear-hevc-main10-hdr10-640x360.mp4", false}, {"bear-mpeg2video-320x192.ts", false}};

} // namespace

// The picture as planes (what the conversion takes) is the picture CopyToBitmap gives, to the
// byte, with exact colours on and off: plain, turned, wide-pixel, PQ, 10-bit HDR and interlaced
// sources.
TEST(PicturePlanes, AreThePictureToTheByte) {
    for (const TPictureSource& source : pictureSources) {
        const QString path = SourcePath(source);
        if (!QFileInfo::exists(path))
            continue;
        for (const bool exact : {true, false}) {
            TFFDecoder decoder;
            decoder.SetBitmapBitsPixel(24);
            decoder.SetExactColours(exact);
            ASSERT_TRUE(decoder.LoadFile(path)) << source.File;
            ASSERT_TRUE(decoder.Decode(3)) << source.File;
            QImage picture;
            TRgbPlanes planes;
            ASSERT_TRUE(decoder.CopyToBitmap(picture)) << source.File;
            ASSERT_TRUE(decoder.CopyToPlanes(planes)) << source.File;
            ASSERT_EQ(planes.Size(), picture.size()) << source.File;
            const QImage packed = PackedPart(planes, QRect(QPoint(0, 0), planes.Size()));
            EXPECT_EQ(PictureDigest(packed), PictureDigest(picture))
                << source.File << (exact ? " exact" : " fast");
        }
    }
    // No current frame: nothing.
    TFFDecoder idle;
    TRgbPlanes planes;
    EXPECT_FALSE(idle.CopyToPlanes(planes));
}

// A kept frame gives the very pictures the decoder gave of it when it was current, made on
// another thread after the decoder has gone on several frames (its buffers are the decoder's
// own): whole as planes and cut and scaled, on the same sources.
TEST(KeptFrames, GiveTheCurrentFramesPicturesAfterTheDecoderMovesOn) {
    const QRect part(13, 7, 121, 91);
    const QSize out(60, 45);
    for (const TPictureSource& source : pictureSources) {
        const QString path = SourcePath(source);
        if (!QFileInfo::exists(path))
            continue;
        TFFDecoder decoder;
        decoder.SetExactColours(true);
        ASSERT_TRUE(decoder.LoadFile(path)) << source.File;
        ASSERT_TRUE(decoder.Decode(3)) << source.File;
        TRgbPlanes planes;
        QImage scaled;
        ASSERT_TRUE(decoder.CopyToPlanes(planes)) << source.File;
        ASSERT_TRUE(decoder.CopyToBitmapScaled(scaled, part, out)) << source.File;
        const QRect whole(QPoint(0, 0), planes.Size());
        const uint64_t expected = PictureDigest(PackedPart(planes, whole));
        const std::shared_ptr<const TKeptFrame> kept = decoder.KeepCurrent();
        ASSERT_TRUE(kept) << source.File;
        const std::unique_ptr<TFramePictures> pictures = decoder.NewFramePictures();
        // On, as far as the clip goes (the generated clips are a few frames long).
        ASSERT_TRUE(decoder.Decode()) << source.File;
        for (int i = 0; i < 5 && decoder.Decode(); ++i) {
        }

        TRgbPlanes keptPlanes;
        QImage keptScaled;
        bool madePlanes = false, madeScaled = false;
        std::thread([&] {
            madePlanes = pictures->Planes(*kept, keptPlanes);
            madeScaled = pictures->Scaled(*kept, part, out, keptScaled);
        }).join();
        ASSERT_TRUE(madePlanes && madeScaled) << source.File;
        EXPECT_EQ(PictureDigest(PackedPart(keptPlanes, whole)), expected) << source.File;
        EXPECT_EQ(PictureDigest(keptScaled), PictureDigest(scaled)) << source.File;
    }
    TFFDecoder idle;
    EXPECT_FALSE(idle.KeepCurrent());
}
