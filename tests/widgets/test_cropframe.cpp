// The crop frame: hit testing and dragging as data, then the control over a panel with mouse
// input.

#include "WidgetTestUtils.h"
#include "widgets/CropFrameControl.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

TEST(CropGeometry, HitTestFindsDragPointsEdgesAndInside) {
    const QRect frame(100, 50, 200, 100); // right 300, bottom 150
    const int grip = 6;
    struct Case {
        QPoint Point;
        TCropHandle Expected;
    } cases[] = {
        {{100, 50}, chTopLeft},     {{104, 54}, chTopLeft},      {{300, 50}, chTopRight},
        {{100, 150}, chBottomLeft}, {{300, 150}, chBottomRight}, {{200, 50}, chTop},
        {{200, 150}, chBottom},     {{100, 100}, chLeft},        {{300, 100}, chRight},
        {{200, 100}, chMove},       {{50, 100}, chNone},         {{307, 100}, chNone},
        {{95, 45}, chTopLeft},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TCropGeometry::HitTest(frame, c.Point, grip), c.Expected)
            << c.Point.x() << "," << c.Point.y();
    // A frame narrower than two grips: the nearer edge wins.
    const QRect narrow(100, 50, 6, 100);
    EXPECT_EQ(TCropGeometry::HitTest(narrow, QPoint(101, 100), grip), chLeft);
    EXPECT_EQ(TCropGeometry::HitTest(narrow, QPoint(105, 100), grip), chRight);
    EXPECT_EQ(TCropGeometry::HitTest(QRect(), QPoint(0, 0), grip), chNone);
}

TEST(CropGeometry, DraggingStaysInsideTheRestrictionAndKeepsAMinimumSize) {
    const QRect restrict(18, 18, 400, 300); // right 418, bottom 318
    const QRect frame(100, 100, 100, 50);
    // Moving keeps the size and stops at the restriction.
    EXPECT_EQ(TCropGeometry::Drag(chMove, frame, QPoint(30, -20), restrict, 8),
              QRect(130, 80, 100, 50));
    EXPECT_EQ(TCropGeometry::Drag(chMove, frame, QPoint(-500, -500), restrict, 8),
              QRect(18, 18, 100, 50));
    EXPECT_EQ(TCropGeometry::Drag(chMove, frame, QPoint(500, 500), restrict, 8),
              QRect(318, 268, 100, 50));
    // A frame larger than the restriction sticks to its left and top.
    EXPECT_EQ(TCropGeometry::Drag(chMove, QRect(0, 0, 500, 40), QPoint(5, 5), restrict, 8),
              QRect(18, 18, 500, 40));
    // Sizing moves only the dragged edges, never past the restriction.
    EXPECT_EQ(TCropGeometry::Drag(chRight, frame, QPoint(1000, 7), restrict, 8),
              QRect(100, 100, 318, 50));
    EXPECT_EQ(TCropGeometry::Drag(chTopLeft, frame, QPoint(-200, -200), restrict, 8),
              QRect(18, 18, 182, 132));
    EXPECT_EQ(TCropGeometry::Drag(chBottom, frame, QPoint(0, 20), restrict, 8),
              QRect(100, 100, 100, 70));
    // Never smaller than the minimum, and the edges do not cross.
    EXPECT_EQ(TCropGeometry::Drag(chLeft, frame, QPoint(300, 0), restrict, 8),
              QRect(192, 100, 8, 50));
    EXPECT_EQ(TCropGeometry::Drag(chTop, frame, QPoint(0, 300), restrict, 8),
              QRect(100, 142, 100, 8));
    // Without a restriction only the minimum size holds.
    EXPECT_EQ(TCropGeometry::Drag(chMove, frame, QPoint(-500, 0), QRect(), 8),
              QRect(-400, 100, 100, 50));
}

TEST(CropGeometry, CursorsMatchTheHandles) {
    EXPECT_EQ(TCropGeometry::CursorFor(chTopLeft), Qt::SizeFDiagCursor);
    EXPECT_EQ(TCropGeometry::CursorFor(chBottomLeft), Qt::SizeBDiagCursor);
    EXPECT_EQ(TCropGeometry::CursorFor(chTop), Qt::SizeVerCursor);
    EXPECT_EQ(TCropGeometry::CursorFor(chRight), Qt::SizeHorCursor);
    EXPECT_EQ(TCropGeometry::CursorFor(chMove), Qt::SizeAllCursor);
    EXPECT_EQ(TCropGeometry::CursorFor(chNone), Qt::ArrowCursor);
}

namespace {

// A panel painted in one light colour with the crop frame over it.
class CropFrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        Panel.resize(436, 336);
        Panel.setAutoFillBackground(true);
        QPalette p = Panel.palette();
        p.setColor(QPalette::Window, QColor(200, 200, 200));
        Panel.setPalette(p);
        Panel.show();
        Frame.SetLineColor(0x0000FF);
        Frame.SetDragPointColor(0x0000FF);
        Frame.SetDragPointFrame(0x0000FF);
        Frame.LoadRc(QRect(18, 18, 400, 300));
        Frame.SetCropRect(QRect(100, 100, 100, 50));
        Frame.OnRectChanged = [this] { ++Changes; };
    }

    QWidget Panel;
    TCropFrameControl Frame;
    int Changes = 0;
};

} // namespace

TEST_F(CropFrameTest, AttachedToAControlItCoversItAndFollowsItsSize) {
    EXPECT_FALSE(Frame.isVisible());
    Frame.SetControl(&Panel);
    EXPECT_EQ(Frame.Control(), &Panel);
    EXPECT_TRUE(Frame.isVisible());
    EXPECT_EQ(Frame.geometry(), Panel.rect());
    Panel.resize(500, 400);
    EXPECT_EQ(Frame.geometry(), QRect(0, 0, 500, 400));
    Frame.SetControl(nullptr);
    EXPECT_FALSE(Frame.isVisible());
    EXPECT_EQ(Frame.Control(), nullptr);
}

TEST_F(CropFrameTest, DraggingMovesAndSizesTheFrameAndReportsEachChange) {
    Frame.SetControl(&Panel);
    QSignalSpy spy(&Frame, &TCropFrameControl::RectChanged);
    Frame.SetCropRect(QRect(100, 100, 100, 50));
    EXPECT_EQ(Changes, 0) << "placing by the program is no user change";

    Press(&Frame, QPoint(150, 125));
    MoveHeld(&Frame, QPoint(160, 135));
    EXPECT_EQ(Frame.CropRect(), QRect(110, 110, 100, 50));
    MoveHeld(&Frame, QPoint(1000, 1000));
    EXPECT_EQ(Frame.CropRect(), QRect(318, 268, 100, 50));
    Release(&Frame, QPoint(1000, 1000));
    EXPECT_EQ(Changes, 2);
    EXPECT_EQ(spy.count(), 2);

    // The bottom-right drag point sizes the frame, stopping at the restriction.
    Frame.SetCropRect(QRect(100, 100, 100, 50));
    Press(&Frame, QPoint(200, 150));
    MoveHeld(&Frame, QPoint(250, 170));
    EXPECT_EQ(Frame.CropRect(), QRect(100, 100, 150, 70));
    MoveHeld(&Frame, QPoint(900, 900));
    EXPECT_EQ(Frame.CropRect(), QRect(100, 100, 318, 218));
    Release(&Frame, QPoint(900, 900));

    // A press outside the frame moves nothing; moves without a button only change the cursor.
    const int before = Changes;
    Press(&Frame, QPoint(30, 30));
    MoveHeld(&Frame, QPoint(60, 60));
    Release(&Frame, QPoint(60, 60));
    SendMouse(&Frame, QEvent::MouseMove, QPoint(100, 100), Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(Frame.cursor().shape(), Qt::SizeFDiagCursor);
    EXPECT_EQ(Changes, before);
}

TEST_F(CropFrameTest, DrawsLineAndDragPointsAndShadesOnlyOutside) {
    Frame.SetControl(&Panel);
    const QImage shown = Grab(&Panel);
    const QColor face(200, 200, 200);
    EXPECT_EQ(shown.pixelColor(150, 125), face) << "inside shows the picture unchanged";
    const QColor outside = shown.pixelColor(40, 40);
    EXPECT_LT(outside.lightness(), face.lightness()) << "outside is shaded";
    EXPECT_EQ(shown.pixelColor(5, 5), face) << "beyond the restriction nothing is drawn";
    EXPECT_TRUE(Near(shown.pixelColor(150, 100), QColor(255, 0, 0), 40)) << "the top line";
    EXPECT_TRUE(Near(shown.pixelColor(100, 100), QColor(255, 0, 0), 60)) << "a drag point";
}
