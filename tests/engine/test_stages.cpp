// The stages of a conversion on their own: the plan made from a request and the stream's facts,
// the scaling of sampled pictures, and the scene tracking that gives scenes their palettes.

#include "engine/ConversionPlan.h"
#include "engine/FrameScaler.h"
#include "engine/FrameSpill.h"
#include "engine/SceneTracker.h"
#include "engine/Video2Gif.h"

#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <vector>

namespace {

TConversionRequest Request() {
    TConversionRequest r;
    r.VideoFile = QStringLiteral("in.mp4");
    r.GifFile = QStringLiteral("out.gif");
    r.StartPTS = 1000000;
    r.EndPTS = 3000000;
    r.GifFPS = 10;
    return r;
}

TStreamFacts Facts() {
    TStreamFacts facts;
    facts.VideoSize = QSize(1280, 720);
    facts.Duration = 10000000;
    facts.FrameDuration = 40000;
    return facts;
}

std::vector<uchar> Filled(int pixels, uchar r, uchar g, uchar b) {
    std::vector<uchar> rgb;
    for (int i = 0; i < pixels; ++i)
        rgb.insert(rgb.end(), {r, g, b});
    return rgb;
}

} // namespace

TEST(ConversionPlan, SizesFollowCropScaleAndTurn) {
    TConversionRequest r = Request();
    r.CropEnabled = true;
    r.CropRect = {1001, 0, 1401, 300}; // runs past the right edge: cut to the video
    r.SizeScale = 0.5;
    r.Rotate = 1;
    const TConversionPlan plan = PlanConversion(r, Facts());
    ASSERT_TRUE(plan.Ok()) << plan.Error.toStdString();
    EXPECT_EQ(plan.SourceRect, QRect(1001, 0, 279, 300));
    EXPECT_TRUE(plan.Crop);
    EXPECT_EQ(plan.OutSize, QSize(140, 150)); // 139.5 rounds to the even 140
    EXPECT_EQ(plan.FinalSize, QSize(150, 140));
    EXPECT_EQ(plan.FrameBytes, 150 * 140 * 3);

    r.CropEnabled = false;
    r.SizeScale = -1;
    r.CustomWidth = 321;
    r.CustomHeight = 99;
    r.Rotate = 0;
    const TConversionPlan custom = PlanConversion(r, Facts());
    EXPECT_FALSE(custom.Crop);
    EXPECT_EQ(custom.SourceRect, QRect(0, 0, 1280, 720));
    EXPECT_EQ(custom.FinalSize, QSize(321, 99));
}

TEST(ConversionPlan, TheGridRunsFromStartToTheEndOfClipOrVideo) {
    TConversionRequest r = Request();
    r.EndPTS = 99000000; // past the 10 s video: ends with it
    TConversionPlan plan = PlanConversion(r, Facts());
    EXPECT_EQ(plan.ClipEnd, 10000000);
    std::vector<int64_t> times = plan.SampleTimes();
    ASSERT_EQ(times.size(), 91u); // 1 s, 1.1 s, ... 10 s
    EXPECT_EQ(times.front(), 1000000);
    EXPECT_EQ(times.back(), 10000000);

    // Unknown duration: the request's end stands. Speed 3 at 30 fps would need frames 1/90 s
    // apart: the rate drops to 50/3 samples per second of clip, each shown 2 hundredths.
    TStreamFacts unknown = Facts();
    unknown.Duration = 0;
    r.GifFPS = 30;
    r.GifSpeed = 3;
    plan = PlanConversion(r, unknown);
    EXPECT_EQ(plan.ClipEnd, 99000000);
    EXPECT_NEAR(plan.Rate, 50.0 / 3, 1e-9);
    EXPECT_NEAR(plan.PeriodCs, 2.0, 1e-9);
    times = plan.SampleTimes();
    for (size_t i = 1; i < times.size(); ++i)
        ASSERT_NEAR(static_cast<double>(times[i] - times[i - 1]), 60000, 1) << i;
    EXPECT_LE(times.back(), plan.ClipEnd);

    r.StartPTS = 12000000;
    r.GifSpeed = 1;
    plan = PlanConversion(r, Facts());
    EXPECT_FALSE(plan.Ok());
    EXPECT_TRUE(plan.Error.contains(QLatin1String("after the end of the video")));
}

TEST(ConversionPlan, OrderDecidesWhatIsKeptAndLoopsBecomeTheLoopCount) {
    TConversionRequest r = Request();
    r.GifMaxFrame = 10;
    struct TCase {
        TFrameOrder Order;
        int Needed, Slots;
    };
    for (const TCase c :
         {TCase{foOriginal, 10, 0}, TCase{foReverse, 10, 10}, TCase{foPingPong, 6, 0}}) {
        r.Sequence = c.Order;
        const TConversionPlan plan = PlanConversion(r, Facts());
        EXPECT_EQ(plan.FramesNeeded, c.Needed) << int(c.Order);
        EXPECT_EQ(plan.SpillSlots, c.Slots) << int(c.Order);
    }
    const std::pair<int, std::optional<int>> loops[] = {{-1, 0}, {0, std::nullopt}, {3, 3}};
    for (const auto& [loop, count] : loops) {
        r.GifLoop = loop;
        EXPECT_EQ(PlanConversion(r, Facts()).LoopCount, count) << loop;
    }
}

TEST(ConversionPlan, ValuesOutOfRangeAreRefusedWithTheirText) {
    const std::pair<std::function<void(TConversionRequest&)>, const char*> cases[] = {
        {[](TConversionRequest& r) { r.GifFile.clear(); }, "No GIF file name"},
        {[](TConversionRequest& r) { r.GifSpeed = std::nan(""); }, "speed"},
        {[](TConversionRequest& r) { r.SizeScale = 1.5; }, "size factor"},
        {[](TConversionRequest& r) { r.SizeScale = 0.0001; }, "at least 1 × 1"},
        {[](TConversionRequest& r) {
             r.SizeScale = -1;
             r.CustomWidth = 16385;
             r.CustomHeight = 10;
         },
         "too large"},
        {[](TConversionRequest& r) { r.GifQuality = 0; }, "quality must be from 1 to 100"},
        {[](TConversionRequest& r) { r.GifQuality = 101; }, "quality must be from 1 to 100"},
        {[](TConversionRequest& r) { r.GifMaxSize = -1; }, "size limit must be at least"},
        {[](TConversionRequest& r) { r.GifMaxSize = MinGifBytes - 1; },
         "size limit must be at least"},
    };
    for (const auto& [change, text] : cases) {
        TConversionRequest r = Request();
        change(r);
        const TConversionPlan plan = PlanConversion(r, Facts());
        EXPECT_FALSE(plan.Ok()) << text;
        EXPECT_TRUE(plan.Error.contains(QString::fromUtf8(text))) << plan.Error.toStdString();
    }
}

TEST(SceneTracker, ANewSceneStartsAtALargeChangeAfterAFewFrames) {
    const int pixels = 64;
    const std::vector<uchar> red = Filled(pixels, 250, 10, 10), blue = Filled(pixels, 10, 10, 250);
    TSceneTracker tracker;
    // Two red frames, then blue: too early for a cut; the scene keeps going.
    EXPECT_EQ(tracker.Add(red.data(), pixels, false), 0);
    EXPECT_EQ(tracker.Add(red.data(), pixels, true), 0);
    EXPECT_EQ(tracker.Add(blue.data(), pixels, false), 0);
    // Three frames in: red after blue is a cut, a repeat of it is not.
    EXPECT_EQ(tracker.Add(red.data(), pixels, false), 1);
    EXPECT_EQ(tracker.Add(red.data(), pixels, true), 1);
    EXPECT_EQ(tracker.Add(red.data(), pixels, false), 1);
    EXPECT_EQ(tracker.Add(red.data(), pixels, false), 1);
    EXPECT_EQ(tracker.Add(blue.data(), pixels, false), 2);
    EXPECT_NEAR(
        SignatureDistance(ColorSignature(red.data(), pixels), ColorSignature(blue.data(), pixels)),
        2.0f, 1e-6);
}

// Shrinking keeps each colour to itself: a sharp edge in red leaves a flat green and blue exactly
// as they were, flat areas keep their exact colour, and an edge lands where it was.
TEST(FrameScaler, ColoursStayApartAndFlatAreasExact) {
    QImage picture(64, 16, QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            picture.setPixel(x, y, qRgb(x < 32 ? 20 : 230, 100, (x / 8) % 2 ? 250 : 5));
    TFrameScaler scaler;
    const QImage small = scaler.Scale(picture, QSize(32, 8));
    ASSERT_EQ(small.size(), QSize(32, 8));
    for (int y = 0; y < small.height(); ++y)
        for (int x = 0; x < small.width(); ++x) {
            const QRgb pixel = small.pixel(x, y);
            ASSERT_EQ(qGreen(pixel), 100) << x << "," << y;
            if (x < 12) {
                EXPECT_EQ(qRed(pixel), 20) << x << "," << y;
            } else if (x >= 20) {
                EXPECT_EQ(qRed(pixel), 230) << x << "," << y;
            }
        }
    // The blue stripes, 4 pixels wide after shrinking, keep their levels in their middles.
    EXPECT_LT(qBlue(small.pixel(1, 4)), 20);
    EXPECT_GT(qBlue(small.pixel(5, 4)), 235);
    // Growing works too, and a picture of another format is taken as it is.
    const QImage big = scaler.Scale(picture.convertToFormat(QImage::Format_RGB888), QSize(96, 24));
    ASSERT_EQ(big.size(), QSize(96, 24));
    EXPECT_EQ(big.pixel(4, 10), qRgb(20, 100, 5));
}

// A write the system cuts short (here at the process's file size limit, as a full disk does) is
// reported with how much the disk took, never as an "Unknown error".
TEST(FrameSpill, AWriteTheSystemCutsShortSaysHowMuchTheDiskTook) {
    QTemporaryDir dir;
    TFrameSpill spill(dir.path(), 64 * 1024, 0);
    ASSERT_TRUE(spill.Open());
    const std::vector<uchar> frame(64 * 1024, 7);
    ASSERT_TRUE(spill.Write(0, frame.data()));
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = old;
    limited.rlim_cur = 100 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const bool second = spill.Write(1, frame.data());
    const QString reason = spill.ErrorString();
    const bool third = spill.Write(2, frame.data());
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldSignal);
    EXPECT_FALSE(second);
    EXPECT_EQ(reason, QStringLiteral("the disk took only 36864 of 65536 bytes"));
    EXPECT_FALSE(third);
    EXPECT_FALSE(spill.ErrorString().isEmpty());
    EXPECT_NE(spill.ErrorString(), QStringLiteral("Unknown error"));
}
