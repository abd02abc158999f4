// High-dynamic-range pictures: PQ and HLG video (BT.2020, 10 bits) comes out tone-mapped to
// standard range, close to the standard-range pictures it was graded from; standard-range video
// is untouched; missing or contradictory colour tags count as standard range.

#include "DecoderTestUtils.h"
#include "FixtureList.h"
#include "PictureCompare.h"

#include "decoder/FFmpegPtr.h"
#include "decoder/FilterChain.h"
#include "decoder/ToneMapper.h"

#include <QFileInfo>
#include <algorithm>
#include <gtest/gtest.h>
#include <random>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/mastering_display_metadata.h>
#include <libavutil/pixdesc.h>
}

namespace {

// The pictures of a video, tone-mapped or not.
std::vector<QImage> Pictures(const QString& file, bool toneMapping) {
    std::vector<QImage> pictures;
    TFFDecoder decoder;
    decoder.SetBitmapBitsPixel(32);
    decoder.SetToneMapping(toneMapping);
    if (!decoder.LoadFile(file))
        return pictures;
    QImage picture;
    while (decoder.Decode() && decoder.CopyToBitmap(picture))
        pictures.push_back(picture.copy());
    return pictures;
}

class HdrFixture : public ::testing::TestWithParam<const char*> {};

// Tone-mapped, the graded pictures come back close to the standard-range ones; shown as decoded
// (the grey, washed-out look) they are far off.
TEST_P(HdrFixture, ToneMappedBackToStandardRange) {
    const QString graded = FixtureFile(QString::fromUtf8(GetParam()));
    const QString standard = FixtureFile(QString::fromUtf8(fixture::SdrFileName));
    ASSERT_TRUE(QFileInfo::exists(graded) && QFileInfo::exists(standard));
    const std::vector<QImage> reference = Pictures(standard, true);
    const std::vector<QImage> mapped = Pictures(graded, true);
    const std::vector<QImage> unmapped = Pictures(graded, false);
    ASSERT_EQ(reference.size(), size_t(fixture::HdrFrames));
    ASSERT_EQ(mapped.size(), reference.size());
    ASSERT_EQ(unmapped.size(), reference.size());
    for (size_t i = 0; i < reference.size(); ++i) {
        const double mappedPsnr = LumaPsnr(mapped[i], reference[i]);
        const double unmappedPsnr = LumaPsnr(unmapped[i], reference[i]);
        const double mappedSsim = LumaSsim(mapped[i], reference[i]);
        const double unmappedSsim = LumaSsim(unmapped[i], reference[i]);
        if (i == 0)
            std::printf("    %s: tone-mapped %.1f dB SSIM %.3f, as decoded %.1f dB SSIM %.3f\n",
                        GetParam(), mappedPsnr, mappedSsim, unmappedPsnr, unmappedSsim);
        EXPECT_GT(mappedPsnr, 24.0) << "picture " << i;
        EXPECT_LT(unmappedPsnr, 16.0) << "picture " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Transfers, HdrFixture,
                         ::testing::Values(fixture::PqFileName, fixture::HlgFileName));

// Standard-range pictures are not touched, and neither are pictures whose tags contradict
// themselves (PQ transfer with BT.709 primaries): they are shown as standard range.
TEST(Hdr, StandardRangeAndContradictoryTagsUntouched) {
    const QString standard = FixtureFile(QString::fromUtf8(fixture::SdrFileName));
    const QString mistagged = FixtureFile(QString::fromUtf8(fixture::MistaggedFileName));
    const std::vector<QImage> on = Pictures(standard, true);
    const std::vector<QImage> off = Pictures(standard, false);
    const std::vector<QImage> contradictory = Pictures(mistagged, true);
    ASSERT_EQ(on.size(), size_t(fixture::HdrFrames));
    ASSERT_EQ(off.size(), on.size());
    ASSERT_EQ(contradictory.size(), on.size());
    for (size_t i = 0; i < on.size(); ++i) {
        EXPECT_EQ(PictureDigest(on[i]), PictureDigest(off[i])) << "picture " << i;
        EXPECT_EQ(PictureDigest(contradictory[i]), PictureDigest(on[i])) << "picture " << i;
    }
}

// The HDR10 clip of the shared media is tagged PQ with BT.2020 colours: it comes out tone-mapped,
// far from the washed-out picture its samples give as they are, with its colours back.
TEST(Hdr, Hdr10ClipFollowsItsTags) {
    const QString clip = MediaFile(QStringLiteral("bear-hevc-main10-hdr10-640x360.mp4"));
    if (!QFileInfo::exists(clip))
        GTEST_SKIP() << "no HDR10 clip here";
    TFFDecoder decoder;
    decoder.SetBitmapBitsPixel(32);
    ASSERT_TRUE(decoder.LoadFile(clip));
    ASSERT_TRUE(decoder.Decode(30));
    QImage mapped, unmapped;
    ASSERT_TRUE(decoder.CopyToBitmap(mapped));
    decoder.SetToneMapping(false);
    ASSERT_TRUE(decoder.CopyToBitmap(unmapped));
    // Colourfulness: the mean spread between the strongest and the weakest of red, green, blue.
    auto colourfulness = [](const QImage& picture) {
        double sum = 0;
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x) {
                const QRgb p = picture.pixel(x, y);
                sum += std::max({qRed(p), qGreen(p), qBlue(p)}) -
                       std::min({qRed(p), qGreen(p), qBlue(p)});
            }
        return sum / (double(picture.width()) * picture.height());
    };
    const double psnr = LumaPsnr(mapped, unmapped);
    std::printf("    tone-mapped against as decoded: %.1f dB; colourfulness %.1f against %.1f\n",
                psnr, colourfulness(mapped), colourfulness(unmapped));
    EXPECT_LT(psnr, 24.0);
    EXPECT_GT(colourfulness(mapped), 1.3 * colourfulness(unmapped));
}

ffmpeg::TFramePtr TaggedFrame(AVPixelFormat format, AVColorTransferCharacteristic transfer,
                              AVColorPrimaries primaries, AVColorSpace matrix, int width = 64,
                              int height = 36, int align = 0) {
    ffmpeg::TFramePtr frame(av_frame_alloc());
    frame->format = format;
    frame->width = width;
    frame->height = height;
    frame->color_trc = transfer;
    frame->color_primaries = primaries;
    frame->colorspace = matrix;
    frame->color_range = AVCOL_RANGE_MPEG;
    if (av_frame_get_buffer(frame.get(), align) < 0)
        return nullptr;
    // Mid grey in every plane, at the format's depth.
    const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(format);
    const bool wide = desc->comp[0].depth > 8;
    for (int plane = 0; plane < 4 && frame->data[plane] != nullptr; ++plane) {
        const bool chroma = plane > 0 && (desc->flags & AV_PIX_FMT_FLAG_RGB) == 0;
        const int rows = chroma ? AV_CEIL_RSHIFT(height, desc->log2_chroma_h) : height;
        const int columns = chroma ? AV_CEIL_RSHIFT(width, desc->log2_chroma_w) : width;
        for (int y = 0; y < rows; ++y) {
            uint8_t* line = frame->data[plane] + ptrdiff_t(y) * frame->linesize[plane];
            for (int x = 0; x < columns; ++x) {
                if (wide)
                    reinterpret_cast<uint16_t*>(line)[x] = uint16_t(1 << (desc->comp[0].depth - 1));
                else
                    line[x] = 128;
            }
        }
    }
    return frame;
}

// Which tags count as HDR: PQ or HLG with BT.2020 colours or none stated, on YUV pictures. Unset,
// unknown or contradictory tags are standard range.
TEST(Hdr, TagsDecideTheTransfer) {
    const AVPixelFormat yuv10 = AV_PIX_FMT_YUV420P10LE;
    const struct {
        AVPixelFormat Format;
        int Transfer, Primaries, Matrix;
        THdrTransfer Expected;
    } cases[] = {
        {yuv10, AVCOL_TRC_SMPTE2084, AVCOL_PRI_BT2020, AVCOL_SPC_BT2020_NCL, THdrTransfer::PQ},
        {yuv10, AVCOL_TRC_ARIB_STD_B67, AVCOL_PRI_BT2020, AVCOL_SPC_BT2020_NCL, THdrTransfer::HLG},
        {AV_PIX_FMT_YUV420P, AVCOL_TRC_SMPTE2084, AVCOL_PRI_UNSPECIFIED, AVCOL_SPC_UNSPECIFIED,
         THdrTransfer::PQ},
        {yuv10, AVCOL_TRC_UNSPECIFIED, AVCOL_PRI_BT2020, AVCOL_SPC_BT2020_NCL, THdrTransfer::None},
        {yuv10, AVCOL_TRC_BT2020_10, AVCOL_PRI_BT2020, AVCOL_SPC_BT2020_NCL, THdrTransfer::None},
        {yuv10, AVCOL_TRC_SMPTE2084, AVCOL_PRI_BT709, AVCOL_SPC_BT2020_NCL, THdrTransfer::None},
        {yuv10, AVCOL_TRC_ARIB_STD_B67, AVCOL_PRI_BT2020, AVCOL_SPC_BT709, THdrTransfer::None},
        {AV_PIX_FMT_GBRP10LE, AVCOL_TRC_SMPTE2084, AVCOL_PRI_BT2020, AVCOL_SPC_RGB,
         THdrTransfer::None},
        // Values no tag names (within what the enumerations hold) and reserved ones.
        {yuv10, 25, AVCOL_PRI_BT2020, AVCOL_SPC_BT2020_NCL, THdrTransfer::None},
        {yuv10, AVCOL_TRC_SMPTE2084, 25, AVCOL_SPC_RESERVED, THdrTransfer::None},
    };
    for (const auto& c : cases) {
        const ffmpeg::TFramePtr frame =
            TaggedFrame(c.Format, AVColorTransferCharacteristic(c.Transfer),
                        AVColorPrimaries(c.Primaries), AVColorSpace(c.Matrix));
        ASSERT_NE(frame, nullptr);
        EXPECT_EQ(HdrTransfer(frame.get()), c.Expected)
            << "transfer " << c.Transfer << " primaries " << c.Primaries << " matrix " << c.Matrix;
    }
    EXPECT_EQ(HdrTransfer(nullptr), THdrTransfer::None);
}

// Odd sizes, the smallest pictures and absurd light levels are mapped or refused, never a crash;
// what comes out is a picture of the size that went in.
TEST(Hdr, ToneMapperTakesOddPicturesSafely) {
    TToneMapper mapper;
    ffmpeg::TFramePtr target(av_frame_alloc());
    const QSize sizes[] = {{1, 1}, {3, 5}, {17, 9}, {64, 36}};
    for (const QSize& size : sizes) {
        ffmpeg::TFramePtr frame =
            TaggedFrame(AV_PIX_FMT_YUV420P10LE, AVCOL_TRC_SMPTE2084, AVCOL_PRI_BT2020,
                        AVCOL_SPC_BT2020_NCL, size.width(), size.height());
        ASSERT_NE(frame, nullptr);
        AVContentLightMetadata* light = av_content_light_metadata_create_side_data(frame.get());
        ASSERT_NE(light, nullptr);
        light->MaxCLL = 4000000000u; // damaged: far beyond any display
        if (mapper.Map(frame.get(), target.get())) {
            EXPECT_EQ(target->width, size.width());
            EXPECT_EQ(target->height, size.height());
        }
    }
    // The standard-range picture is not the mapper's to take.
    ffmpeg::TFramePtr standard =
        TaggedFrame(AV_PIX_FMT_YUV420P, AVCOL_TRC_BT709, AVCOL_PRI_BT709, AVCOL_SPC_BT709);
    EXPECT_FALSE(mapper.Map(standard.get(), target.get()));
    // A usual picture is mapped.
    ffmpeg::TFramePtr usual = TaggedFrame(AV_PIX_FMT_YUV420P10LE, AVCOL_TRC_ARIB_STD_B67,
                                          AVCOL_PRI_BT2020, AVCOL_SPC_BT2020_NCL);
    ASSERT_TRUE(mapper.Map(usual.get(), target.get()));
    EXPECT_EQ(target->format, AV_PIX_FMT_GBRP);
}

// A picture of random samples across the whole legal range (noise, so that every value of the
// curve and of both conversions is met), `align` 1 giving rows the converter must copy first.
ffmpeg::TFramePtr NoiseFrame(AVPixelFormat format, AVColorTransferCharacteristic transfer,
                             int width, int height, int align, unsigned seed) {
    ffmpeg::TFramePtr frame =
        TaggedFrame(format, transfer, AVCOL_PRI_BT2020, AVCOL_SPC_BT2020_NCL, width, height, align);
    if (!frame)
        return nullptr;
    const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(format);
    const int shift = desc->comp[0].depth - 8;
    std::mt19937 random(seed);
    for (int plane = 0; plane < 3; ++plane) {
        const int rows = plane > 0 ? AV_CEIL_RSHIFT(height, desc->log2_chroma_h) : height;
        const int columns = plane > 0 ? AV_CEIL_RSHIFT(width, desc->log2_chroma_w) : width;
        // Limited range: luma 16..235, chroma 16..240 (scaled to the depth).
        std::uniform_int_distribution<int> value(16 << shift, (plane > 0 ? 240 : 235) << shift);
        for (int y = 0; y < rows; ++y) {
            auto* line = reinterpret_cast<uint16_t*>(frame->data[plane] +
                                                     ptrdiff_t(y) * frame->linesize[plane]);
            for (int x = 0; x < columns; ++x)
                line[x] = uint16_t(value(random));
        }
    }
    return frame;
}

// The same picture through FFmpeg's own filters, as players and the ffmpeg command map it.
bool FilterMapped(const AVFrame* frame, double peak, AVFrame* out) {
    TFilterChain chain;
    const QByteArray source =
        "video_size=" + QByteArray::number(frame->width) + "x" + QByteArray::number(frame->height) +
        ":pix_fmt=" + QByteArray::number(frame->format) + ":time_base=1/1000000:pixel_aspect=1/1";
    const QByteArray filters = "zscale=t=linear:p=bt709:npl=100,format=gbrpf32le,"
                               "tonemap=tonemap=hable:desat=0:peak=" +
                               QByteArray::number(peak, 'g', 6) +
                               ",zscale=t=bt709:m=bt709:r=full,format=gbrp";
    ffmpeg::TFramePtr copy(av_frame_clone(frame));
    return copy && chain.Build(source, filters, 1) && chain.Put(copy.get(), 0) && chain.Take(out);
}

// The largest difference of two 8-bit planar RGB pictures, and how many samples differ at all.
std::pair<int, int> Differences(const AVFrame* a, const AVFrame* b) {
    int largest = 0, differing = 0;
    for (int plane = 0; plane < 3; ++plane)
        for (int y = 0; y < a->height; ++y)
            for (int x = 0; x < a->width; ++x) {
                const int d = std::abs(a->data[plane][y * a->linesize[plane] + x] -
                                       b->data[plane][y * b->linesize[plane] + x]);
                largest = std::max(largest, d);
                differing += d > 0 ? 1 : 0;
            }
    return {largest, differing};
}

// Our mapper makes the pictures FFmpeg's zscale and tonemap filters make: PQ and HLG, 4:2:0 as
// decoded and 4:4:4 16-bit as the one-step scaler gives them, rows as the decoder aligns them or
// not aligned at all, the curve's peak from the picture, the stream or (stated nowhere) 1000 cd/m².
TEST(Hdr, ToneMapperMakesWhatFFmpegsFiltersMake) {
    struct TCase {
        AVPixelFormat Format;
        AVColorTransferCharacteristic Transfer;
        int Width, Height, Align;
        unsigned FrameLight, StreamPeak; // MaxCLL of the picture (cd/m²), the stream's peak (×100)
        double Peak;                     // what the curve should reach
    };
    const TCase cases[] = {
        {AV_PIX_FMT_YUV420P10LE, AVCOL_TRC_SMPTE2084, 320, 180, 0, 1000, 0, 10},
        {AV_PIX_FMT_YUV420P10LE, AVCOL_TRC_SMPTE2084, 98, 54, 1, 4000, 0, 40},
        {AV_PIX_FMT_YUV420P10LE, AVCOL_TRC_SMPTE2084, 128, 72, 0, 0, 0, 10},
        {AV_PIX_FMT_YUV420P10LE, AVCOL_TRC_SMPTE2084, 128, 72, 0, 0, 6, 6},
        {AV_PIX_FMT_YUV420P10LE, AVCOL_TRC_ARIB_STD_B67, 160, 90, 1, 0, 0, 10},
        {AV_PIX_FMT_YUV444P16LE, AVCOL_TRC_SMPTE2084, 160, 90, 0, 600, 0, 6},
        {AV_PIX_FMT_YUV444P16LE, AVCOL_TRC_ARIB_STD_B67, 70, 40, 1, 0, 0, 10},
    };
    unsigned seed = 1;
    for (const TCase& c : cases) {
        ffmpeg::TFramePtr frame =
            NoiseFrame(c.Format, c.Transfer, c.Width, c.Height, c.Align, seed++);
        ASSERT_NE(frame, nullptr);
        if (c.FrameLight > 0)
            av_content_light_metadata_create_side_data(frame.get())->MaxCLL = c.FrameLight;
        TToneMapper mapper;
        mapper.SetStreamPeak(c.StreamPeak);
        ffmpeg::TFramePtr ours(av_frame_alloc()), theirs(av_frame_alloc());
        ASSERT_TRUE(mapper.Map(frame.get(), ours.get())) << c.Width << "x" << c.Height;
        ASSERT_TRUE(FilterMapped(frame.get(), c.Peak, theirs.get()));
        ASSERT_EQ(ours->format, AV_PIX_FMT_GBRP);
        ASSERT_EQ(theirs->format, AV_PIX_FMT_GBRP);
        ASSERT_EQ(ours->width, c.Width);
        ASSERT_EQ(ours->height, c.Height);
        const auto [largest, differing] = Differences(ours.get(), theirs.get());
        EXPECT_EQ(largest, 0) << c.Width << "x" << c.Height << " format " << c.Format
                              << " transfer " << c.Transfer << ": " << differing << " differ";
        // Mapping the same picture again gives the same (the graphs are kept).
        ffmpeg::TFramePtr again(av_frame_alloc());
        ASSERT_TRUE(mapper.Map(frame.get(), again.get()));
        EXPECT_EQ(Differences(ours.get(), again.get()).first, 0);
    }
}

} // namespace
