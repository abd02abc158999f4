// The frame strip as a screen reader hears it: each thumbnail is named by its frame's time and
// mark (deleted, or in the clip), read through the strip's accessible table, and the names follow
// the marks when frames are deleted and the clip moves.

#include "MainWindowTest.h"

#include <QAccessible>
#include <QApplication>

namespace {

class AccessibleStrip : public MainWindowWithClip {
protected:
    void SetUp() override {
        MainWindowWithClip::SetUp();
        ASSERT_GE(Form->ShotView->Count(), 5);
    }
    QAccessibleInterface* Cell(int row) const {
        QAccessibleInterface* strip = QAccessible::queryAccessibleInterface(Form->ShotView);
        return strip && strip->tableInterface() ? strip->tableInterface()->cellAt(row, 0) : nullptr;
    }
    std::string Name(int row) const {
        QAccessibleInterface* cell = Cell(row);
        return cell ? cell->text(QAccessible::Name).toStdString() : "<no cell>";
    }
};

TEST_F(AccessibleStrip, ThumbnailsAreNamedByTheirTimeAndTheirMark) {
    // Just opened, the whole video is the clip.
    EXPECT_EQ(Name(0), "00:00:00.000, in the clip");
    EXPECT_EQ(Name(3), "00:00:00.120, in the clip");
    ASSERT_NE(Cell(3), nullptr);
    EXPECT_EQ(Cell(3)->text(QAccessible::Description).toStdString(),
              QStringLiteral("Frame 4 of %1").arg(Form->ShotView->Count()).toStdString());

    // Deleted with the Delete key: said to be deleted, no longer in the clip.
    TThumbStrip* strip = Form->ShotView;
    QTest::mouseClick(strip->viewport(), Qt::LeftButton, {},
                      strip->ItemRect(strip->Item(3)).center());
    QTest::keyClick(strip, Qt::Key_Delete);
    ASSERT_TRUE(TMainStripFrame(3)->Deleted);
    EXPECT_EQ(Name(3), "00:00:00.120, deleted");

    // The clip moved away: the kept frames are said without a mark, the deleted one stays so.
    Form->Project()->StartPTS = FramePTS(100);
    strip->Repaint();
    EXPECT_EQ(Name(4), "00:00:00.160");
    EXPECT_EQ(Name(3), "00:00:00.120, deleted");
}

} // namespace
