// Our Lanczos scaler against the filter worked out in double precision from its definition, on
// flat, random and filmed pictures of many sizes, and against the scaling library's Lanczos
// filter, which the bench's reference pictures and the other sizes use.

#include "decoder/FFDecoder.h"
#include "engine/FrameScaler.h"
#include "engine/LanczosScaler.h"

#include <QImage>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <random>

extern "C" {
#include <libswscale/swscale.h>
}

namespace {

struct TPlane {
    int Width = 0, Height = 0;
    std::vector<uint8_t> Bytes;
    uint8_t At(int x, int y) const {
        return Bytes[static_cast<size_t>(std::clamp(y, 0, Height - 1)) * Width +
                     static_cast<size_t>(std::clamp(x, 0, Width - 1))];
    }
};

// The weights of output pixel `i` of `size` from `sourceSize` as the definition gives them:
// Lanczos with three lobes, stretched when shrinking, centred on the output pixel's centre,
// normalised; pixels beyond the edges are the edge pixels.
std::vector<std::pair<int, double>> ExactWeights(int sourceSize, int size, int i) {
    const double scale = static_cast<double>(sourceSize) / size;
    const double stretch = std::max(scale, 1.0);
    const double centre = (i + 0.5) * scale - 0.5;
    std::vector<std::pair<int, double>> weights;
    double sum = 0;
    for (int j = static_cast<int>(std::floor(centre - 3 * stretch)) - 1;
         j <= static_cast<int>(std::ceil(centre + 3 * stretch)) + 1; ++j) {
        const double x = std::fabs(j - centre) / stretch;
        const double w =
            x < 1e-12 ? 1.0
            : x >= 3  ? 0.0
                      : 3 * std::sin(M_PI * x) * std::sin(M_PI * x / 3) / (M_PI * M_PI * x * x);
        weights.emplace_back(j, w);
        sum += w;
    }
    for (auto& weight : weights)
        weight.second /= sum;
    return weights;
}

TPlane ExactScale(const TPlane& in, int width, int height) {
    std::vector<double> rows(static_cast<size_t>(in.Height) * width);
    for (int y = 0; y < in.Height; ++y)
        for (int x = 0; x < width; ++x) {
            double v = 0;
            for (const auto& [j, w] : ExactWeights(in.Width, width, x))
                v += w * in.At(j, y);
            rows[static_cast<size_t>(y) * width + x] = v;
        }
    TPlane out{width, height, std::vector<uint8_t>(static_cast<size_t>(width) * height)};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            double v = 0;
            for (const auto& [j, w] : ExactWeights(in.Height, height, y))
                v += w * rows[static_cast<size_t>(std::clamp(j, 0, in.Height - 1)) * width + x];
            out.Bytes[static_cast<size_t>(y) * width + x] =
                static_cast<uint8_t>(std::clamp(std::lround(v), 0L, 255L));
        }
    return out;
}

TPlane OurScale(const TPlane& in, int width, int height) {
    TLanczosScaler scaler;
    TPlane out{width, height, std::vector<uint8_t>(static_cast<size_t>(width) * height)};
    EXPECT_TRUE(scaler.Scale(in.Bytes.data(), in.Width, in.Width, in.Height, out.Bytes.data(),
                             width, width, height));
    return out;
}

TPlane LibraryScale(const TPlane& in, int width, int height) {
    TPlane out{width, height, std::vector<uint8_t>(static_cast<size_t>(width) * height)};
    SwsContext* context =
        sws_getContext(in.Width, in.Height, AV_PIX_FMT_GRAY8, width, height, AV_PIX_FMT_GRAY8,
                       SWS_LANCZOS | SWS_ACCURATE_RND, nullptr, nullptr, nullptr);
    const uint8_t* const src[] = {in.Bytes.data(), nullptr, nullptr, nullptr};
    const int srcStride[] = {in.Width, 0, 0, 0};
    uint8_t* const dst[] = {out.Bytes.data(), nullptr, nullptr, nullptr};
    const int dstStride[] = {width, 0, 0, 0};
    EXPECT_GT(sws_scale(context, src, srcStride, 0, in.Height, dst, dstStride), 0);
    sws_freeContext(context);
    return out;
}

TPlane Random(int width, int height, unsigned seed) {
    std::mt19937 random(seed);
    TPlane plane{width, height, std::vector<uint8_t>(static_cast<size_t>(width) * height)};
    for (uint8_t& b : plane.Bytes)
        b = static_cast<uint8_t>(random() & 0xFF);
    return plane;
}

// The green of a frame of the film at its own size.
TPlane FilmGreen() {
    TFFDecoder decoder;
    decoder.SetBitmapBitsPixel(24);
    QImage picture;
    if (!decoder.LoadFile(QStringLiteral(VG_MEDIA_DIR "/bbb-h264-854x480-30s.mp4")) ||
        !decoder.LocateVideoPTS(7000000) || !decoder.CopyToBitmap(picture))
        return {};
    picture = picture.convertToFormat(QImage::Format_RGB888);
    TPlane plane{picture.width(), picture.height(), {}};
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            plane.Bytes.push_back(picture.constScanLine(y)[x * 3 + 1]);
    return plane;
}

// How many levels apart two planes are: the largest difference and the share that differ.
std::pair<int, double> Apart(const TPlane& a, const TPlane& b) {
    int largest = 0, differ = 0;
    for (size_t i = 0; i < a.Bytes.size(); ++i) {
        const int d = std::abs(a.Bytes[i] - b.Bytes[i]);
        largest = std::max(largest, d);
        differ += d > 0 ? 1 : 0;
    }
    return {largest, static_cast<double>(differ) / static_cast<double>(a.Bytes.size())};
}

} // namespace

TEST(LanczosScaler, HandlesRowsShrunkByAtMostFour) {
    if (!__builtin_cpu_supports("avx2"))
        GTEST_SKIP() << "no AVX2: every size goes to the library";
    EXPECT_TRUE(TLanczosScaler::Handles(1616, 808));
    EXPECT_TRUE(TLanczosScaler::Handles(853, 427));
    EXPECT_TRUE(TLanczosScaler::Handles(3840, 960));
    EXPECT_TRUE(TLanczosScaler::Handles(100, 100));
    EXPECT_TRUE(TLanczosScaler::Handles(50, 100));
    EXPECT_FALSE(TLanczosScaler::Handles(1280, 256)); // 5
    EXPECT_FALSE(TLanczosScaler::Handles(961, 240));
    TLanczosScaler scaler;
    uint8_t byte = 0;
    EXPECT_FALSE(scaler.Scale(&byte, 5, 5, 1, &byte, 1, 1, 1));
}

// Every level within one of the filter's exact value, and nearly all equal to it (ties and the
// 14-bit weights aside), on random pictures (no smoothness to hide behind) of widths that end
// inside a vector block and that are too narrow for any, shrunk by two (the shared weights), by
// other whole and by uneven factors, kept and grown, with heights shrunk, kept and grown.
TEST(LanczosScaler, EveryLevelIsWithinOneOfTheExactFilter) {
    if (!__builtin_cpu_supports("avx2"))
        GTEST_SKIP() << "no AVX2";
    const struct {
        int Width, Height, ToWidth, ToHeight;
    } sizes[] = {{256, 64, 128, 32}, {166, 30, 83, 37}, {99, 17, 33, 5},    {120, 9, 30, 9},
                 {344, 12, 86, 12},  {16, 20, 8, 50},   {8, 8, 4, 4},       {2, 3, 1, 1},
                 {6, 1, 3, 1},       {1616, 6, 808, 3}, {390, 40, 130, 13}, {853, 20, 427, 11},
                 {176, 30, 98, 17},  {1280, 8, 480, 5}, {100, 10, 100, 10}, {50, 9, 123, 9},
                 {333, 7, 84, 3},    {35, 4, 9, 4}};
    unsigned seed = 1;
    for (const auto& s : sizes) {
        SCOPED_TRACE(testing::Message()
                     << s.Width << "x" << s.Height << " -> " << s.ToWidth << "x" << s.ToHeight);
        const TPlane in = Random(s.Width, s.Height, seed++);
        const auto [largest, share] =
            Apart(OurScale(in, s.ToWidth, s.ToHeight), ExactScale(in, s.ToWidth, s.ToHeight));
        EXPECT_LE(largest, 1);
        EXPECT_LT(share, 0.03);
    }
}

// A flat picture stays exactly flat, edges and all: the weights sum to one exactly in both
// passes. And a filmed picture: within one level of the exact filter, and close to the
// library's Lanczos, through the frame scaler as the conversion uses it.
TEST(LanczosScaler, FlatPicturesStayExactAndFilmIsCloseToTheLibrary) {
    if (!__builtin_cpu_supports("avx2"))
        GTEST_SKIP() << "no AVX2";
    for (const uint8_t level : {0, 1, 128, 254, 255}) {
        const TPlane flat{300, 21, std::vector<uint8_t>(300 * 21, level)};
        const TPlane out = OurScale(flat, 100, 40);
        EXPECT_TRUE(std::all_of(out.Bytes.begin(), out.Bytes.end(), [&](uint8_t b) {
            return b == level;
        })) << int(level);
    }
    const TPlane film = FilmGreen();
    ASSERT_EQ(film.Width, 854);
    // By two, and by an uneven factor.
    for (const auto& [width, height] : {std::pair{427, 240}, std::pair{500, 281}}) {
        const TPlane scaled = OurScale(film, width, height);
        const auto [exactLargest, exactShare] = Apart(scaled, ExactScale(film, width, height));
        EXPECT_LE(exactLargest, 1) << width;
        EXPECT_LT(exactShare, 0.01) << width;
        // The library places its filters the same way but works with other roundings.
        const auto [libraryLargest, libraryShare] =
            Apart(scaled, LibraryScale(film, width, height));
        EXPECT_LE(libraryLargest, 2) << width;
        EXPECT_LT(libraryShare, 0.02) << width;
    }
    const TPlane ours = OurScale(film, 427, 240);

    // The frame scaler gives the same picture, colour by colour.
    QImage picture(854, 480, QImage::Format_RGB888);
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 854; ++x) {
            const uint8_t g = film.Bytes[static_cast<size_t>(y) * 854 + x];
            picture.setPixel(x, y, qRgb(255 - g, g, g / 2));
        }
    TFrameScaler scaler;
    const QImage scaled = scaler.Scale(picture, QSize(427, 240));
    ASSERT_EQ(scaled.size(), QSize(427, 240));
    int wrong = 0;
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 427; ++x)
            wrong +=
                qGreen(scaled.pixel(x, y)) == ours.Bytes[static_cast<size_t>(y) * 427 + x] ? 0 : 1;
    EXPECT_EQ(wrong, 0);
}
