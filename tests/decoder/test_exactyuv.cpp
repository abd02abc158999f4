// Our exact YUV-to-RGB conversion: every level the nearest to the matrix's value of the
// interpolated chroma, whatever the subsampling, size, range and matrix; a level at most from the
// scaling library's accurate conversion inside real pictures, flat colours the library's to the
// level; other formats left to the library.

#include "DecoderTestUtils.h"
#include "decoder/ExactYuv.h"
#include "decoder/FFmpegPtr.h"
#include "decoder/PlanarRgb.h"
#include "decoder/ScalerCache.h"

#include <QFile>

#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <random>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/frame.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace {

ffmpeg::TFramePtr RandomPicture(AVPixelFormat format, int width, int height, unsigned seed) {
    ffmpeg::TFramePtr frame(av_frame_alloc());
    frame->format = format;
    frame->width = width;
    frame->height = height;
    if (av_frame_get_buffer(frame.get(), 0) < 0)
        return nullptr;
    std::mt19937 random(seed);
    const int chromaDown = av_pix_fmt_desc_get(format)->log2_chroma_h;
    for (int plane = 0; plane < 3; ++plane)
        for (int y = 0; y < (plane == 0 ? height : AV_CEIL_RSHIFT(height, chromaDown)); ++y)
            for (int x = 0; x < frame->linesize[plane]; ++x)
                frame->data[plane][y * frame->linesize[plane] + x] =
                    static_cast<uint8_t>(random() & 0xFF);
    return frame;
}

struct TWeights {
    int Colorspace;
    double Kr, Kb;
};

// The matrix's value of one colour, unrounded.
void IdealRgb(const TWeights& w, bool fullRange, double y, double u, double v, double rgb[3]) {
    const double luma = fullRange ? y : (y - 16) * 255.0 / 219.0;
    const double scale = fullRange ? 1.0 : 255.0 / 224.0;
    const double cu = (u - 128) * scale, cv = (v - 128) * scale;
    const double kg = 1 - w.Kr - w.Kb;
    rgb[0] = luma + 2 * (1 - w.Kr) * cv;
    rgb[1] = luma - 2 * (1 - w.Kb) * w.Kb / kg * cu - 2 * (1 - w.Kr) * w.Kr / kg * cv;
    rgb[2] = luma + 2 * (1 - w.Kb) * cu;
}

// Keys' cubic kernel with a = -0.6.
double Cubic(double x) {
    const double a = -0.6;
    x = std::abs(x);
    return x < 1   ? (a + 2) * x * x * x - (a + 3) * x * x + 1
           : x < 2 ? a * x * x * x - 5 * a * x * x + 8 * a * x - 4 * a
                   : 0.0;
}

// The chroma of pixel (x, y) of `plane`: samples centred between the pixels they cover, weighted
// by the kernel by their distance, edges repeated.
double InterpolatedChroma(const AVFrame* frame, int plane, int x, int y, int across, int down) {
    const int chromaWidth = (frame->width + across) >> across;
    const int chromaHeight = (frame->height + down) >> down;
    const double cx = across ? (x + 0.5) / 2 - 0.5 : x;
    const double cy = down ? (y + 0.5) / 2 - 0.5 : y;
    double sum = 0;
    for (int j = static_cast<int>(std::floor(cy)) - 1; j <= static_cast<int>(std::floor(cy)) + 2;
         ++j)
        for (int i = static_cast<int>(std::floor(cx)) - 1;
             i <= static_cast<int>(std::floor(cx)) + 2; ++i) {
            const double weight = (down ? Cubic(cy - j) : (j == cy ? 1.0 : 0.0)) *
                                  (across ? Cubic(cx - i) : (i == cx ? 1.0 : 0.0));
            const int ci = std::clamp(i, 0, chromaWidth - 1),
                      cj = std::clamp(j, 0, chromaHeight - 1);
            sum += weight * frame->data[plane][cj * frame->linesize[plane] + ci];
        }
    return sum;
}

} // namespace

TEST(ExactYuv, EveryLevelIsTheNearestToTheMatrixValueOfTheInterpolatedChroma) {
    const TWeights matrices[] = {{SWS_CS_ITU601, 0.299, 0.114},
                                 {SWS_CS_ITU709, 0.2126, 0.0722},
                                 {SWS_CS_BT2020, 0.2627, 0.0593},
                                 {SWS_CS_SMPTE240M, 0.212, 0.087},
                                 {SWS_CS_FCC, 0.30, 0.11}};
    struct TLayout {
        AVPixelFormat Format;
        int Across, Down; // chroma subsampling shifts
    };
    const TLayout layouts[] = {{AV_PIX_FMT_YUV420P, 1, 1},
                               {AV_PIX_FMT_YUV422P, 1, 0},
                               {AV_PIX_FMT_YUV444P, 0, 0},
                               {AV_PIX_FMT_YUVJ420P, 1, 1}};
    TRgbPlanes planes;
    for (const TLayout& layout : layouts) {
        for (const TWeights& w : matrices) {
            for (const bool full : {false, true}) {
                SCOPED_TRACE(testing::Message() << "format " << layout.Format << " matrix "
                                                << w.Colorspace << " full " << full);
                const ffmpeg::TFramePtr frame =
                    RandomPicture(layout.Format, 68, 36, static_cast<unsigned>(w.Colorspace));
                ASSERT_TRUE(frame && planes.Resize(QSize(68, 36)));
                ASSERT_TRUE(ExactYuvToPlanes(frame.get(), TYuvMatrix{w.Colorspace, full},
                                             planes.Planes(), planes.Strides()));
                int wrong = 0;
                for (int y = 0; y < 36; ++y) {
                    for (int x = 0; x < 68; ++x) {
                        const auto sample = [&](int plane, int cx, int cy) {
                            return frame->data[plane][cy * frame->linesize[plane] + cx];
                        };
                        double rgb[3];
                        IdealRgb(
                            w, full, sample(0, x, y),
                            InterpolatedChroma(frame.get(), 1, x, y, layout.Across, layout.Down),
                            InterpolatedChroma(frame.get(), 2, x, y, layout.Across, layout.Down),
                            rgb);
                        const int plane[3] = {TRgbPlanes::Red, TRgbPlanes::Green, TRgbPlanes::Blue};
                        for (int c = 0; c < 3; ++c) {
                            const double value = std::clamp(rgb[c], 0.0, 255.0);
                            const int got = planes.Plane(plane[c])[y * planes.Stride(plane[c]) + x];
                            const bool tie = std::abs(value - std::floor(value) - 0.5) < 1e-3;
                            if (got != static_cast<int>(std::lround(value)) && !tie)
                                ++wrong;
                        }
                    }
                }
                EXPECT_EQ(wrong, 0);
            }
        }
    }
}

namespace {

// The `index`th decoded picture of the file's video.
ffmpeg::TFramePtr DecodedPicture(const QString& path, int index) {
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, QFile::encodeName(path).constData(), nullptr, nullptr) < 0)
        return nullptr;
    avformat_find_stream_info(format, nullptr);
    const int stream = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    const AVCodecParameters* parameters = format->streams[stream]->codecpar;
    AVCodecContext* codec = avcodec_alloc_context3(avcodec_find_decoder(parameters->codec_id));
    avcodec_parameters_to_context(codec, parameters);
    avcodec_open2(codec, nullptr, nullptr);
    ffmpeg::TFramePtr frame(av_frame_alloc());
    AVPacket* packet = av_packet_alloc();
    int decoded = 0;
    bool found = false;
    while (!found && av_read_frame(format, packet) >= 0) {
        if (packet->stream_index == stream && avcodec_send_packet(codec, packet) >= 0)
            while (!found && avcodec_receive_frame(codec, frame.get()) >= 0)
                found = decoded++ == index;
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    avcodec_free_context(&codec);
    avformat_close_input(&format);
    return found ? std::move(frame) : nullptr;
}

// The library's accurate cubic conversion of `frame` (its matrix and range as given) into
// `planes` of its size.
bool LibraryPlanes(const AVFrame* frame, int colorspace, bool fullRange, TRgbPlanes& planes) {
    bool full = fullRange;
    TScalerKey key;
    key.SrcWidth = key.DstWidth = frame->width;
    key.SrcHeight = key.DstHeight = frame->height;
    key.SrcFormat = PlainFormat(AVPixelFormat(frame->format), full);
    key.DstFormat = AV_PIX_FMT_GBRP;
    key.Flags = SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT;
    key.Colorspace = colorspace;
    key.FullRange = full;
    TScalerCache scaler;
    SwsContext* context = scaler.Get(key);
    return context != nullptr && planes.Resize(QSize(frame->width, frame->height)) &&
           sws_scale(context, frame->data, frame->linesize, 0, frame->height, planes.Planes(),
                     planes.Strides()) > 0;
}

} // namespace

TEST(ExactYuv, ALevelAtMostFromTheLibrarysAccurateConversionOnRealPictures) {
    // H.264 in limited range, BT.601 and BT.709 (by size), and full-range JPEG pictures.
    const QString clips[] = {
        MediaFile(QStringLiteral("bbb-h264-854x480-30s.mp4")),
        MediaFile(QStringLiteral("screencast-jupyterlab-github-1616x1568.mp4")),
        MediaFile(QStringLiteral("apollo15-mjpeg-176x144-47s.mov"))};
    for (const QString& clip : clips) {
        SCOPED_TRACE(clip.toStdString());
        const ffmpeg::TFramePtr frame = DecodedPicture(clip, 40);
        ASSERT_TRUE(frame);
        ASSERT_TRUE(ExactYuvHandles(frame->format));
        const QSize size(frame->width, frame->height);
        bool fullRange = frame->color_range == AVCOL_RANGE_JPEG;
        PlainFormat(AVPixelFormat(frame->format), fullRange);
        const int colorspace = SwsColorspace(frame->colorspace, frame->height);
        TRgbPlanes ours, library;
        ASSERT_TRUE(ours.Resize(size));
        ASSERT_TRUE(ExactYuvToPlanes(frame.get(), TYuvMatrix{colorspace, fullRange}, ours.Planes(),
                                     ours.Strides()));
        ASSERT_TRUE(LibraryPlanes(frame.get(), colorspace, fullRange, library));
        qint64 differing = 0, values = 0;
        int largest = 0;
        // Inside: at the edges the library shifts its filters where we repeat the edge samples.
        constexpr int edge = 4;
        for (int plane = 0; plane < 3; ++plane)
            for (int y = edge; y < size.height() - edge; ++y)
                for (int x = edge; x < size.width() - edge; ++x, ++values) {
                    const int difference =
                        std::abs(ours.Plane(plane)[y * ours.Stride(plane) + x] -
                                 library.Plane(plane)[y * library.Stride(plane) + x]);
                    largest = std::max(largest, difference);
                    differing += difference > 0 ? 1 : 0;
                }
        EXPECT_LE(largest, 1);
        EXPECT_LT(differing, values / 50);
    }
}

TEST(ExactYuv, FlatColoursAreTheLibrarysToTheLevelEverywhere) {
    // A screen recording's flat areas: one colour, edges included, and the library's.
    for (const bool full : {false, true}) {
        ffmpeg::TFramePtr frame(av_frame_alloc());
        frame->format = AV_PIX_FMT_YUV420P;
        frame->width = 38;
        frame->height = 22;
        ASSERT_EQ(av_frame_get_buffer(frame.get(), 0), 0);
        const uint8_t values[3] = {41, 170, 99};
        for (int plane = 0; plane < 3; ++plane)
            std::memset(frame->data[plane], values[plane],
                        static_cast<size_t>(frame->linesize[plane]) * (plane ? 11 : 22));
        TRgbPlanes ours, library;
        ASSERT_TRUE(ours.Resize(QSize(38, 22)));
        ASSERT_TRUE(ExactYuvToPlanes(frame.get(), TYuvMatrix{SWS_CS_ITU709, full}, ours.Planes(),
                                     ours.Strides()));
        ASSERT_TRUE(LibraryPlanes(frame.get(), SWS_CS_ITU709, full, library));
        for (int plane = 0; plane < 3; ++plane)
            for (int y = 0; y < 22; ++y)
                for (int x = 0; x < 38; ++x) {
                    ASSERT_EQ(ours.Plane(plane)[y * ours.Stride(plane) + x], ours.Plane(plane)[0]);
                    ASSERT_EQ(ours.Plane(plane)[y * ours.Stride(plane) + x],
                              library.Plane(plane)[y * library.Stride(plane) + x])
                        << full << " " << plane << " " << x << "," << y;
                }
    }
}

TEST(ExactYuv, LeavesOtherFormatsAndOddSizesToTheLibrary) {
    // Odd sides of subsampled chroma: the library places chroma by the ratio of the sizes.
    for (const QSize size : {QSize(67, 36), QSize(68, 35)}) {
        const ffmpeg::TFramePtr frame =
            RandomPicture(AV_PIX_FMT_YUV420P, size.width(), size.height(), 1);
        TRgbPlanes planes;
        ASSERT_TRUE(frame && planes.Resize(size));
        EXPECT_FALSE(
            ExactYuvToPlanes(frame.get(), TYuvMatrix{}, planes.Planes(), planes.Strides()));
    }
    for (const AVPixelFormat format : {AV_PIX_FMT_YUV420P10LE, AV_PIX_FMT_NV12, AV_PIX_FMT_RGB24,
                                       AV_PIX_FMT_YUV410P, AV_PIX_FMT_GRAY8}) {
        EXPECT_FALSE(ExactYuvHandles(format)) << format;
        ffmpeg::TFramePtr frame(av_frame_alloc());
        frame->format = format;
        frame->width = 16;
        frame->height = 16;
        ASSERT_EQ(av_frame_get_buffer(frame.get(), 0), 0);
        TRgbPlanes planes;
        ASSERT_TRUE(planes.Resize(QSize(16, 16)));
        EXPECT_FALSE(
            ExactYuvToPlanes(frame.get(), TYuvMatrix{}, planes.Planes(), planes.Strides()));
    }
}
