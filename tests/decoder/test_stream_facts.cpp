// The decoder's pure rules: square-pixel display sizes, the nominal frame duration, and the
// scaler context that is kept while the conversion stays the same.

#include "decoder/FFDecoder.h"
#include "decoder/ScalerCache.h"

#include <gtest/gtest.h>

TEST(StreamFacts, SquarePixelSizeWidensWideAndHeightensTallPixels) {
    EXPECT_EQ(SquarePixelSize({720, 576}, 16.0 / 15), QSize(768, 576)); // PAL 4:3
    EXPECT_EQ(SquarePixelSize({720, 480}, 8.0 / 9), QSize(720, 540));   // NTSC 4:3
    EXPECT_EQ(SquarePixelSize({640, 360}, 1.0), QSize(640, 360));
    // Within a pixel of square: an odd size keeping its picture's aspect is shown as coded.
    EXPECT_EQ(SquarePixelSize({853, 479}, 852.0 / 853), QSize(853, 479));
    EXPECT_EQ(SquarePixelSize({853, 480}, 1280.0 / 1279), QSize(853, 480));
    EXPECT_EQ(SquarePixelSize({100, 100}, 1.02), QSize(102, 100));
    // Damaged headers (no aspect, absurd ones) leave the coded size.
    for (double absurd : {0.0, -1.0, 1.0 / 17, 17.0, std::numeric_limits<double>::quiet_NaN()})
        EXPECT_EQ(SquarePixelSize({320, 240}, absurd), QSize(320, 240)) << absurd;
    // A tiny picture never shrinks to nothing.
    EXPECT_EQ(SquarePixelSize({1, 1}, 16.0), QSize(16, 1));
}

TEST(StreamFacts, NominalFrameDurationFromTheFrameRate) {
    const auto duration = [](int num, int den) {
        TVideoStreamInfo info;
        info.FrameRateNum = num;
        info.FrameRateDen = den;
        return NominalFrameDuration(info);
    };
    EXPECT_EQ(duration(25, 1), 40000);
    EXPECT_EQ(duration(30000, 1001), 33367); // 33366.67 rounded
    EXPECT_EQ(duration(24000, 1001), 41708); // 41708.33 rounded
    EXPECT_EQ(duration(0, 0), 0);
    EXPECT_EQ(duration(25, 0), 0);
    EXPECT_EQ(duration(-25, 1), 0);
}

TEST(StreamFacts, TheScalerContextIsKeptUntilTheConversionChanges) {
    TScalerCache cache;
    TScalerKey key;
    key.SrcWidth = 64;
    key.SrcHeight = 48;
    key.SrcFormat = key.DstFormat = AV_PIX_FMT_RGB24;
    key.DstWidth = 32;
    key.DstHeight = 24;
    key.Flags = SWS_BICUBIC;
    SwsContext* first = cache.Get(key);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(cache.Get(key), first);
    // A different size makes a new context that really scales to it.
    key.DstWidth = 16;
    key.DstHeight = 12;
    SwsContext* second = cache.Get(key);
    ASSERT_NE(second, nullptr);
    std::vector<uint8_t> in(64 * 48 * 3, 200), out(16 * 12 * 3, 0);
    const uint8_t* inPlanes[] = {in.data()};
    const int inStrides[] = {64 * 3};
    uint8_t* outPlanes[] = {out.data()};
    const int outStrides[] = {16 * 3};
    EXPECT_EQ(sws_scale(second, inPlanes, inStrides, 0, 48, outPlanes, outStrides), 12);
    EXPECT_NEAR(out[out.size() / 2], 200, 2);
    // A conversion the library cannot do gives no context, and the next good key one again.
    key.DstWidth = 0;
    EXPECT_EQ(cache.Get(key), nullptr);
    key.DstWidth = 16;
    EXPECT_NE(cache.Get(key), nullptr);
}
