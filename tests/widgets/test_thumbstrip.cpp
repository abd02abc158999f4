// The thumbnail strip: layout rules, item order, selection by program and by the user, the
// decoration event, on-demand decoding and scrolling.

#include "WidgetTestUtils.h"
#include "tests/support/TestUtils.h"
#include "widgets/ThumbStrip.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <climits>
#include <gtest/gtest.h>

TEST(ThumbLayout, CellsBoxesAndTextAreasFollowTheSettings) {
    TThumbLayout layout; // 128 x 72, SpaceH 0, SpaceV 20, padding 4
    EXPECT_EQ(layout.CellSize(), QSize(136, 100));
    const QRect cell(272, 0, 136, 100);
    EXPECT_EQ(layout.ImageBox(cell), QRect(276, 4, 128, 72));
    EXPECT_EQ(layout.TextRect(cell), QRect(276, 78, 128, 22));
    layout.SpaceH = 10;
    EXPECT_EQ(layout.CellSize(), QSize(146, 100));
    EXPECT_EQ(layout.ImageBox(QRect(0, 0, 146, 100)).x(), 9);
}

TEST(ThumbLayout, PicturesFitTheBoxWithTheirProportions) {
    const QRect box(0, 0, 128, 72);
    EXPECT_EQ(TThumbLayout::FitImage(box, QSize(1920, 1080)), QRectF(0, 0, 128, 72));
    // 4:3 is pillar-boxed, a tall picture more so; both stay centred.
    EXPECT_EQ(TThumbLayout::FitImage(box, QSize(640, 480)), QRectF(16, 0, 96, 72));
    EXPECT_EQ(TThumbLayout::FitImage(box, QSize(100, 400)), QRectF(55, 0, 18, 72));
    // A very wide one is letter-boxed; a small one is scaled up to the box.
    EXPECT_EQ(TThumbLayout::FitImage(box, QSize(1918, 540)).width(), 128);
    EXPECT_EQ(TThumbLayout::FitImage(box, QSize(32, 18)), QRectF(0, 0, 128, 72));
    EXPECT_EQ(TThumbLayout::FitImage(box, QSize()), QRectF(box));
}

namespace {

class ThumbStripTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(FDir.isValid());
        const QColor colors[] = {Qt::red, Qt::green, Qt::blue, Qt::yellow, Qt::cyan};
        for (int i = 0; i < 5; ++i) {
            QImage image(320, 180, QImage::Format_RGB32);
            image.fill(colors[i]);
            const QString name = FDir.filePath(QStringLiteral("frame%1.bmp").arg(i));
            ASSERT_TRUE(image.save(name));
            Files.append(name);
        }
        Strip.resize(742, 121);
        Strip.SetMultiSelect(true);
        Strip.SetShowCaption(false);
        Strip.SetColor(15987699);
        Strip.OnSelectedChange = [this] { ++SelectedChanges; };
    }

    void Fill(int count) {
        for (int i = 0; i < count; ++i) {
            TPhotoData* item = Strip.AddPhoto(Files[i % Files.size()]);
            item->Data = reinterpret_cast<void*>(quintptr(1000 + i));
        }
        Strip.UpdatePhotos();
    }

    QPoint CentreOf(int index) { return Strip.ItemRect(Strip.Item(index)).center(); }

    QTemporaryDir FDir;
    QStringList Files;
    TThumbStrip Strip;
    int SelectedChanges = 0;
};

} // namespace

TEST_F(ThumbStripTest, ItemsKeepDisplayOrderUserDataAndNeighbours) {
    TPhotoData* b = Strip.AddPhoto(Files[1]);
    TPhotoData* c = Strip.AddPhoto(Files[2]);
    TPhotoData* a = Strip.InsertPhoto(Files[0], 0);
    a->Data = &Files;
    ASSERT_EQ(Strip.Items().Count(), 3);
    EXPECT_EQ(Strip.Items().GetItem(0), a);
    EXPECT_EQ(Strip.Items().GetItem(1), b);
    EXPECT_EQ(Strip.Items().GetItem(2), c);
    EXPECT_EQ(Strip.Items().GetItem(3), nullptr);
    EXPECT_EQ(a->Index(), 0);
    EXPECT_EQ(c->Index(), 2);
    EXPECT_EQ(a->Data, &Files);
    EXPECT_EQ(a->PrevPhoto(), nullptr);
    EXPECT_EQ(a->NextPhoto(), b);
    EXPECT_EQ(c->PrevPhoto(), b);
    EXPECT_EQ(c->NextPhoto(), nullptr);
    EXPECT_EQ(b->FileName(), Files[1]);

    Strip.Items().Clear();
    EXPECT_EQ(Strip.Count(), 0);
    EXPECT_EQ(Strip.GetFocusedPhoto(), nullptr);
    EXPECT_EQ(Strip.GetSelCount(), 0);
}

TEST_F(ThumbStripTest, ProgrammaticSelectionAndFocusRaiseNoEvent) {
    Fill(5);
    Strip.Item(3)->SetSelected(true);
    Strip.Item(1)->SetSelected(true);
    Strip.SetFocusedPhoto(Strip.Item(3));
    EXPECT_EQ(Strip.GetFocusedPhoto(), Strip.Item(3));
    ASSERT_EQ(Strip.GetSelCount(), 2);
    // Selected items come in display order whatever the order of selecting.
    EXPECT_EQ(Strip.GetSelPhoto(0), Strip.Item(1));
    EXPECT_EQ(Strip.GetSelPhoto(1), Strip.Item(3));
    EXPECT_EQ(Strip.GetSelPhoto(2), nullptr);
    EXPECT_TRUE(Strip.Item(3)->Selected());
    EXPECT_FALSE(Strip.Item(2)->Selected());
    Strip.ClearSelected();
    EXPECT_EQ(Strip.GetSelCount(), 0);
    EXPECT_EQ(Strip.GetFocusedPhoto(), Strip.Item(3)) << "clearing the selection keeps the focus";
    Strip.SetFocusedPhoto(nullptr);
    EXPECT_EQ(Strip.GetFocusedPhoto(), nullptr);
    EXPECT_EQ(SelectedChanges, 0);
}

TEST_F(ThumbStripTest, ClickCtrlClickAndShiftClickSelectAsUsersExpect) {
    Fill(5);
    Strip.show();
    QWidget* view = Strip.viewport();

    Click(view, CentreOf(1));
    EXPECT_EQ(SelectedChanges, 1) << "one gesture, one event";
    EXPECT_EQ(Strip.GetFocusedPhoto(), Strip.Item(1));
    EXPECT_EQ(Strip.GetSelCount(), 1);

    Click(view, CentreOf(3), Qt::ControlModifier);
    EXPECT_EQ(SelectedChanges, 2);
    EXPECT_EQ(Strip.GetSelCount(), 2);
    EXPECT_EQ(Strip.GetFocusedPhoto(), Strip.Item(3));

    Click(view, CentreOf(3), Qt::ControlModifier);
    EXPECT_EQ(Strip.GetSelCount(), 1);
    EXPECT_FALSE(Strip.Item(3)->Selected());

    Click(view, CentreOf(0));
    Click(view, CentreOf(2), Qt::ShiftModifier);
    ASSERT_EQ(Strip.GetSelCount(), 3);
    EXPECT_EQ(Strip.GetSelPhoto(0), Strip.Item(0));
    EXPECT_EQ(Strip.GetSelPhoto(2), Strip.Item(2));

    // Clicking the item that already is the only selected and focused one changes nothing.
    Click(view, CentreOf(4));
    const int before = SelectedChanges;
    Click(view, CentreOf(4));
    EXPECT_EQ(SelectedChanges, before);
}

TEST_F(ThumbStripTest, KeyboardMovesTheFocusAndReportsKeysFirst) {
    Fill(5);
    Strip.show();
    Strip.setFocus();
    QList<int> keys;
    Strip.OnKeyDown = [&](int key, Qt::KeyboardModifiers) {
        if (key == Qt::Key_Shift || key == Qt::Key_Control)
            return;
        keys.append(key);
        // The handler sees the strip as it was before the key acts.
        if (keys.size() == 1) {
            EXPECT_EQ(Strip.GetFocusedPhoto(), Strip.Item(0));
        }
    };
    Strip.SetFocusedPhoto(Strip.Item(0));
    Strip.Item(0)->SetSelected(true);

    QTest::keyClick(&Strip, Qt::Key_Right);
    EXPECT_EQ(Strip.GetFocusedPhoto(), Strip.Item(1));
    EXPECT_TRUE(Strip.Item(1)->Selected());
    EXPECT_EQ(SelectedChanges, 1);

    QTest::keyClick(&Strip, Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(Strip.GetSelCount(), 2);
    QTest::keyClick(&Strip, Qt::Key_End);
    EXPECT_EQ(Strip.GetFocusedPhoto(), Strip.Item(4));
    QTest::keyClick(&Strip, Qt::Key_Home);
    EXPECT_EQ(Strip.GetFocusedPhoto(), Strip.Item(0));
    QTest::keyClick(&Strip, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(Strip.GetSelCount(), 5);

    const int before = SelectedChanges;
    QTest::keyClick(&Strip, Qt::Key_Delete);
    EXPECT_EQ(keys.last(), int(Qt::Key_Delete));
    EXPECT_EQ(SelectedChanges, before) << "Delete changes no selection";
    EXPECT_EQ(keys.size(), 6);
}

TEST_F(ThumbStripTest, SingleSelectionModeKeepsOneItem) {
    Fill(3);
    Strip.SetMultiSelect(false);
    Strip.show();
    Click(Strip.viewport(), CentreOf(0));
    Click(Strip.viewport(), CentreOf(2), Qt::ControlModifier);
    EXPECT_EQ(Strip.GetSelCount(), 1);
    EXPECT_EQ(Strip.GetSelPhoto(0), Strip.Item(2));
}

TEST_F(ThumbStripTest, ThumbnailsAreDecodedAndDecoratedAfterDrawing) {
    Fill(3);
    TPhotoData* broken = Strip.AddPhoto(FDir.filePath(QStringLiteral("missing.bmp")));
    struct TDraw {
        TPhotoData* Item;
        QRectF Image;
        QRect Text;
    };
    QList<TDraw> draws;
    Strip.OnDrawPhoto = [&](TPhotoData* item, const QRectF& image, const QRect& text,
                            QPainter& painter) {
        draws.append({item, image, text});
        painter.fillRect(QRect(text.topLeft(), QSize(6, 6)), Qt::magenta);
    };
    Strip.show();
    ASSERT_TRUE(WaitFor([&] {
        return Strip.Item(2)->ThumbState() == TPhotoData::tsLoaded &&
               broken->ThumbState() == TPhotoData::tsFailed;
    }));
    EXPECT_EQ(Strip.Item(0)->Thumbnail().size(), QSize(128, 72));

    draws.clear();
    const QImage shown = Grab(&Strip);
    ASSERT_GE(draws.size(), 4);
    for (const TDraw& draw : draws) {
        const QRect cell = Strip.ItemRect(draw.Item);
        EXPECT_EQ(draw.Image, QRectF(Strip.Layout().ImageBox(cell)));
        EXPECT_EQ(draw.Text, Strip.Layout().TextRect(cell));
    }
    // The picture's colour in the thumbnail, the decoration drawn over the strip.
    const QRect blueCell = Strip.ItemRect(Strip.Item(2));
    EXPECT_TRUE(Near(shown.pixelColor(Strip.Layout().ImageBox(blueCell).center()), Qt::blue));
    const QRect redText = Strip.Layout().TextRect(Strip.ItemRect(Strip.Item(0)));
    EXPECT_EQ(shown.pixelColor(redText.topLeft() + QPoint(2, 2)), QColor(Qt::magenta));
}

TEST_F(ThumbStripTest, HundredsOfItemsDecodeOnlyWhatShowsAndScrollToEitherEnd) {
    Fill(600);
    Strip.show();
    Strip.viewport()->repaint();
    ASSERT_TRUE(WaitFor([&] {
        return Strip.PendingThumbnails() == 0 &&
               Strip.Item(0)->ThumbState() == TPhotoData::tsLoaded;
    }));
    int asked = 0;
    for (int i = 0; i < Strip.Count(); ++i)
        asked += Strip.Item(i)->ThumbState() != TPhotoData::tsNotLoaded ? 1 : 0;
    EXPECT_GE(asked, 5);
    EXPECT_LE(asked, 12) << "only the items in view are decoded";
    EXPECT_EQ(Strip.Item(599)->ThumbState(), TPhotoData::tsNotLoaded);

    Strip.SetHorzScrollPos(INT_MAX);
    EXPECT_GT(Strip.HorzScrollMax(), 0);
    EXPECT_EQ(Strip.HorzScrollPos(), Strip.HorzScrollMax());
    EXPECT_TRUE(Strip.viewport()->rect().contains(Strip.ItemRect(Strip.Item(599))));
    ASSERT_TRUE(WaitFor([&] { return Strip.Item(599)->ThumbState() == TPhotoData::tsLoaded; }));

    Strip.SetHorzScrollPos(0);
    EXPECT_EQ(Strip.HorzScrollPos(), 0);
    EXPECT_TRUE(Strip.viewport()->rect().contains(Strip.ItemRect(Strip.Item(0))));

    Strip.Item(300)->MakeVisible();
    EXPECT_TRUE(Strip.viewport()->rect().intersects(Strip.ItemRect(Strip.Item(300))));
}

TEST_F(ThumbStripTest, ClearingWhileThumbnailsAreBeingDecodedIsSafe) {
    Fill(40);
    Strip.show();
    Strip.repaint();
    Strip.Clear();
    Fill(2);
    ASSERT_TRUE(WaitFor([&] {
        return Strip.PendingThumbnails() == 0 &&
               Strip.Item(1)->ThumbState() == TPhotoData::tsLoaded;
    }));
    EXPECT_EQ(Strip.Count(), 2);
}
