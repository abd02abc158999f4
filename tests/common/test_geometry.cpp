#include "common/Geometry.h"

#include <gtest/gtest.h>

TEST(Geometry, FillSizeKeepsProportionsAndOnlyGrowsWhenAsked) {
    struct Case {
        int aw, ah, iw, ih;
        bool enlarge;
        QSize expected;
    };
    const Case cases[] = {
        {798, 265, 1280, 720, false, {471, 265}}, // height limits: 1280 * 265 / 720 = 471.1
        {798, 265, 1918, 1080, false, {470, 265}},
        {400, 400, 1280, 720, false, {400, 225}}, // width limits
        {798, 265, 320, 180, false, {320, 180}},  // fits: own size
        {798, 265, 320, 180, true, {471, 265}},   // fits, but enlarged
        {100, 100, 100, 100, false, {100, 100}},
        {100, 100, 10000, 1, false, {100, 1}}, // never thinner than a pixel
        {0, 100, 100, 100, false, {}},
        {100, 100, 0, 100, true, {}},
        {100, 100, -5, 100, true, {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GetFillSize(c.aw, c.ah, c.iw, c.ih, c.enlarge), c.expected)
            << c.aw << "x" << c.ah << " " << c.iw << "x" << c.ih;
    // Large sides do not overflow.
    EXPECT_EQ(GetFillSize(40000, 40000, 60000, 30000, false), QSize(40000, 20000));
}

TEST(Geometry, CentringTruncatesAndScalingRoundsEdges) {
    EXPECT_EQ(CenteredRect(QSize(798, 265), QSize(471, 265)), QRect(163, 0, 471, 265));
    EXPECT_EQ(CenteredRect(QSize(10, 10), QSize(13, 13)), QRect(-1, -1, 13, 13));
    EXPECT_EQ(ScaleRect(QRect(0, 0, 1280, 720), 0.5), QRect(0, 0, 640, 360));
    EXPECT_EQ(ScaleRect(QRect(3, 3, 3, 3), 0.5), QRect(2, 2, 1, 1)); // 1.5 -> 2, 3 -> 3
    EXPECT_EQ(Intersection(QRect(0, 0, 10, 10), QRect(5, 5, 10, 10)), QRect(5, 5, 5, 5));
    EXPECT_TRUE(Intersection(QRect(0, 0, 10, 10), QRect(20, 20, 5, 5)).isEmpty());
}
