// Window geometry rules without windows: the edge hit test, the maximize area, centring and
// resizing by hand.

#include "ui/BaseFrm.h"

#include <gtest/gtest.h>

TEST(BorderHitTest, CornersWinOverBordersAndRightBottomEdgesAreExcluded) {
    const TBorderInfo info = TBorderInfo::Standard();
    const QSize client(655, 484);
    struct Case {
        QPoint Point;
        int Expected;
    } cases[] = {
        {{3, 3}, htTopLeft}, // not left or top
        {{0, 0}, htTopLeft},      {{11, 11}, htTopLeft},       {{12, 3}, htTop},
        {{3, 12}, htLeft},        {{654, 483}, htBottomRight}, {{643, 472}, htBottomRight},
        {{3, 480}, htBottomLeft}, {{650, 2}, htTopRight},      {{650, 200}, htRight},
        {{647, 200}, htRight},    {{646, 200}, htClient},      {{7, 200}, htLeft},
        {{8, 200}, htClient},     {{300, 3}, htTop},           {{300, 4}, htClient},
        {{300, 476}, htBottom},   {{300, 475}, htClient},      {{300, 200}, htClient},
        {{655, 200}, htClient}, // right edge excluded: outside the client area
        {{300, 484}, htClient},
    };
    for (const Case& c : cases)
        EXPECT_EQ(BorderHitTest(info, client, c.Point), c.Expected)
            << c.Point.x() << "," << c.Point.y();
    // With no margins nothing resizes, whatever the point.
    EXPECT_EQ(BorderHitTest(TBorderInfo(), client, QPoint(0, 0), 99), 99);
}

TEST(BorderHitTest, ResultsMapToEdgesAndCursors) {
    EXPECT_EQ(HitTestEdges(htTopLeft), Qt::TopEdge | Qt::LeftEdge);
    EXPECT_EQ(HitTestEdges(htBottomRight), Qt::BottomEdge | Qt::RightEdge);
    EXPECT_EQ(HitTestEdges(htRight), Qt::Edges(Qt::RightEdge));
    EXPECT_EQ(HitTestEdges(htClient), Qt::Edges());
    EXPECT_EQ(HitTestEdges(htCaption), Qt::Edges());
    EXPECT_EQ(HitTestCursor(htTopLeft), Qt::SizeFDiagCursor);
    EXPECT_EQ(HitTestCursor(htBottomLeft), Qt::SizeBDiagCursor);
    EXPECT_EQ(HitTestCursor(htTop), Qt::SizeVerCursor);
    EXPECT_EQ(HitTestCursor(htLeft), Qt::SizeHorCursor);
    EXPECT_EQ(HitTestCursor(htClient), Qt::ArrowCursor);
}

TEST(MaximizeArea, IsTheWorkAreaAndGivesWayToAHiddenTaskBar) {
    // A 1920 x 1080 screen with a 40-pixel task bar at the bottom: a maximized window covers the
    // work area exactly, not a pixel past it.
    const QRect work(0, 0, 1920, 1040);
    EXPECT_EQ(ComputeMaximizeArea(work, {false, 3}), work);

    // A self-hiding task bar leaves the whole screen as work area; its edge keeps one pixel free.
    const QRect screen(0, 0, 1920, 1080);
    const QRect bottom = ComputeMaximizeArea(screen, {true, 3});
    EXPECT_EQ(bottom.y() + bottom.height(), 1079) << "ends one pixel above the screen's bottom";
    EXPECT_EQ(bottom.width(), 1920);
    EXPECT_EQ(ComputeMaximizeArea(screen, {true, 0}), QRect(1, 0, 1919, 1080));
    EXPECT_EQ(ComputeMaximizeArea(screen, {true, 1}), QRect(0, 1, 1920, 1079));
    EXPECT_EQ(ComputeMaximizeArea(screen, {true, 2}), QRect(0, 0, 1919, 1080));
    // A work area that does not start at the origin (task bar on the left, second screen).
    EXPECT_EQ(ComputeMaximizeArea(QRect(1920, 0, 1280, 1024), {false, 0}),
              QRect(1920, 0, 1280, 1024));
}

TEST(MaximizeArea, CentringDropsRemaindersAndNeverLeavesTheArea) {
    const QRect area(0, 0, 1921, 1041);
    EXPECT_EQ(CenteredPosition(area, QSize(820, 600)), QPoint(550, 220));
    EXPECT_EQ(CenteredPosition(QRect(100, 50, 801, 601), QSize(200, 100)), QPoint(400, 300));
    // Larger than the area: at its left and top.
    EXPECT_EQ(CenteredPosition(QRect(10, 20, 300, 200), QSize(400, 300)), QPoint(10, 20));
}

TEST(ResizedGeometry, EdgesMoveAndTheMinimumSizeHolds) {
    const QRect start(100, 100, 400, 300);
    const QSize minimum(164, 333);
    EXPECT_EQ(ResizedGeometry(start, Qt::RightEdge | Qt::BottomEdge, QPoint(50, 60), {1, 1}),
              QRect(100, 100, 450, 360));
    EXPECT_EQ(ResizedGeometry(start, Qt::TopEdge | Qt::LeftEdge, QPoint(-10, -20), {1, 1}),
              QRect(90, 80, 410, 320));
    // Shrinking stops at the minimum and keeps the opposite edge where it was.
    EXPECT_EQ(ResizedGeometry(start, Qt::LeftEdge, QPoint(1000, 0), minimum),
              QRect(336, 100, 164, 300));
    EXPECT_EQ(ResizedGeometry(QRect(0, 0, 400, 400), Qt::TopEdge, QPoint(0, 300), minimum),
              QRect(0, 67, 400, 333));
}
