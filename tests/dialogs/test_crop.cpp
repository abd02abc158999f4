// The crop dialog: the picture fitted with its margin, the frame placed from the edits and the
// edits from the frame, cutting to the video (in the edits too once one is left), resizing and
// maximizing, and what OK stores.

#include "dialogs/CropFrm.h"
#include "dialogs/CropGeometry.h"
#include "project/VGProject.h"
#include "tests/dialogs/DialogTestUtils.h"
#include "tests/widgets/WidgetTestUtils.h"
#include "widgets/CropFrameControl.h"
#include "widgets/FlatControls.h"
#include "widgets/NumberEdit.h"
#include "widgets/SkinButton.h"

#include <QCheckBox>
#include <QTest>

namespace {

class CropFormTest : public DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        TBaseForm::SetTaskbarFactsProvider([] { return TTaskbarFacts{false, 3}; });
        Project.VideoWidth = 640;
        Project.VideoHeight = 360;
        Project.CropRect = {0, 0, 640, 360};
        Frame = QImage(640, 360, QImage::Format_RGB32);
        Frame.fill(qRgb(0, 200, 0));
    }
    void TearDown() override {
        TBaseForm::SetTaskbarFactsProvider({});
        DialogTest::TearDown();
    }
    std::unique_ptr<TCropForm> Open() {
        auto form = std::make_unique<TCropForm>();
        form->SetProject(&Project);
        form->SetFramePicture(Frame);
        form->LoadFromProject();
        return form;
    }
    // The frame's rectangle read back in video pixels.
    static QRect FrameInVideo(const TCropForm& form) {
        return PanelToVideo(form.dcCrop->CropRect(), form.DisplayRect(), QSize(640, 360));
    }
    static QString Edits(const TCropForm& form) {
        return QStringLiteral("%1 %2 %3 %4")
            .arg(form.edtCropX->text(), form.edtCropY->text(), form.edtCropW->text(),
                 form.edtCropH->text());
    }
    TVGProj Project;
    QImage Frame;
};

} // namespace

TEST(CropGeometry, FittingScalingAndCutting) {
    EXPECT_EQ(CropDisplayRect({631, 366}, {640, 360}), QRect(22, 18, 586, 330));
    EXPECT_EQ(CropDisplayRect({30, 30}, {640, 360}), QRect(15, 15, 0, 0));
    EXPECT_EQ(CropDisplayRect({336, 336}, {100, 50}), QRect(18, 93, 300, 150)); // small ones grow
    EXPECT_EQ(CutToVideo(100, 0, 10000, 360, {640, 360}), QRect(100, 0, 540, 360));
    EXPECT_EQ(CutToVideo(-20, -10, 50, 30, {640, 360}), QRect(0, 0, 30, 20));
    EXPECT_EQ(CutToVideo(700, 10, 50, 30, {640, 360}), QRect(0, 0, 0, 0));
    EXPECT_EQ(CutToVideo(2147483000, 0, 2147483000, 10, {640, 360}), QRect(0, 0, 0, 0));
    const QRect display(22, 18, 586, 330);
    const QRect video(64, 36, 320, 180);
    EXPECT_EQ(PanelToVideo(VideoToPanel(video, display, 640), display, {640, 360}), video);
}

TEST_F(CropFormTest, DialogShape) {
    const auto form = Open();
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Crop Video"));
    EXPECT_EQ(form->size(), QSize(655, 484));
    EXPECT_EQ(form->minimumSize(), QSize(570, 430));
    EXPECT_TRUE(form->btnMax->isVisibleTo(form.get()));
    EXPECT_TRUE(form->btnMin->isVisibleTo(form.get()));
    TBorderInfo info;
    EXPECT_TRUE(form->GetBorderInfo(info));
    EXPECT_EQ(info.LeftWidth, 8);
    EXPECT_EQ(info.TopHeight, 4);
    EXPECT_EQ(info.TopLeftWidth, 12);
    // The picture keeps at least 18 pixels from each side of its panel.
    const QRect display = form->DisplayRect();
    EXPECT_GE(display.left(), 18);
    EXPECT_GE(display.top(), 18);
    EXPECT_LE(display.right() + 1, form->pnlShot->width() - 18);
    EXPECT_LE(display.bottom() + 1, form->pnlShot->height() - 18);
    EXPECT_TRUE(display.left() == 18 || display.top() == 18);
}

TEST_F(CropFormTest, FrameColoursComeFromTheSettings) {
    Config->CropRcColor = 0x00FF00;
    const auto form = Open();
    EXPECT_EQ(form->dcCrop->LineColor(), 0x00FF00u);
    EXPECT_EQ(form->dcCrop->DragPointColor(), 0x00FF00u);
    EXPECT_EQ(form->dcCrop->DragPointFrame(), 0x00FF00u);
}

TEST_F(CropFormTest, TickingUseCropFramesTheWholePicture) {
    const auto form = Open();
    EXPECT_FALSE(form->rbGroup->isEnabled());
    EXPECT_EQ(form->dcCrop->Control(), nullptr);
    form->cbxCrop->click();
    EXPECT_TRUE(form->rbGroup->isEnabled());
    EXPECT_EQ(form->dcCrop->Control(), form->pnlShot);
    EXPECT_EQ(form->dcCrop->CropRect(), form->DisplayRect());
    EXPECT_EQ(form->dcCrop->Restricts(), form->DisplayRect());
    form->cbxCrop->click();
    EXPECT_EQ(form->dcCrop->Control(), nullptr);
    EXPECT_FALSE(form->rbGroup->isEnabled());
}

TEST_F(CropFormTest, TypedRectangleIsCutToTheVideo) {
    Project.CropEnabled = true;
    WhenShown<TCropForm>([](TCropForm* form) {
        form->edtCropX->selectAll();
        QTest::keyClicks(form->edtCropX, QStringLiteral("100"));
        // The frame follows every keystroke.
        EXPECT_EQ(FrameInVideo(*form).left(), 100);
        form->edtCropW->selectAll();
        QTest::keyClicks(form->edtCropW, QStringLiteral("10000"));
        const QRect display = form->DisplayRect();
        EXPECT_EQ(form->dcCrop->CropRect().right(), display.right());
        EXPECT_EQ(FrameInVideo(*form), QRect(100, 0, 540, 360));
        // Reading does not change the edits.
        EXPECT_EQ(form->edtCropW->text(), QStringLiteral("10000"));
        form->btnOkMeClick();
    });
    EXPECT_TRUE(ExecuteCropForm(&Project, Frame));
    EXPECT_TRUE(Project.CropEnabled);
    EXPECT_EQ(Project.CropRect, (TRectL{100, 0, 640, 360}));
}

// Edits reaching outside the frame are corrected as soon as one is left, with Return or by
// moving on with Tab, to the rectangle the frame already shows and OK stores.
TEST_F(CropFormTest, EditsOutsideTheVideoAreCorrectedWhenLeft) {
    Project.CropEnabled = true;
    WhenShown<TCropForm>([](TCropForm* form) {
        if (!ActivateDialog(form))
            return;
        QTest::mouseClick(form->edtCropX, Qt::LeftButton);
        TypeInto(form->edtCropX, QStringLiteral("100"));
        EXPECT_EQ(Edits(*form), QStringLiteral("100 0 640 360")); // still being typed
        const QRect frame = form->dcCrop->CropRect();
        QTest::keyClick(form->edtCropX, Qt::Key_Return);
        EXPECT_EQ(Edits(*form), QStringLiteral("100 0 540 360"));
        EXPECT_EQ(form->dcCrop->CropRect(), frame);

        QTest::mouseClick(form->edtCropY, Qt::LeftButton);
        TypeInto(form->edtCropY, QStringLiteral("-40"));
        QTest::keyClick(form->edtCropY, Qt::Key_Tab);
        EXPECT_FALSE(form->edtCropY->hasFocus());
        EXPECT_EQ(Edits(*form), QStringLiteral("100 0 540 320"));

        QTest::mouseClick(form->edtCropW, Qt::LeftButton);
        TypeInto(form->edtCropW, QStringLiteral("10000"));
        QTest::mouseClick(form->edtCropH, Qt::LeftButton);
        EXPECT_EQ(Edits(*form), QStringLiteral("100 0 540 320"));
        EXPECT_EQ(FrameInVideo(*form), QRect(100, 0, 540, 320));
        QTest::mouseClick(form->btnOkMe, Qt::LeftButton);
    });
    EXPECT_TRUE(ExecuteCropForm(&Project, Frame));
    EXPECT_EQ(Project.CropRect, (TRectL{100, 0, 640, 320}));
}

TEST_F(CropFormTest, DraggingUpdatesTheEditsWithoutMovingTheFrameAgain) {
    Project.CropEnabled = true;
    Project.CropRect = {64, 36, 384, 216};
    const auto form = Open();
    const QRect before = form->dcCrop->CropRect();
    const QPoint inside = before.center();
    Press(form->dcCrop, inside);
    MoveHeld(form->dcCrop, inside + QPoint(7, 5));
    Release(form->dcCrop, inside + QPoint(7, 5));
    const QRect dragged = form->dcCrop->CropRect();
    EXPECT_EQ(dragged, before.translated(7, 5));
    const QRect video = FrameInVideo(*form);
    EXPECT_EQ(Edits(*form), QStringLiteral("%1 %2 %3 %4")
                                .arg(video.x())
                                .arg(video.y())
                                .arg(video.width())
                                .arg(video.height()));
    EXPECT_NE(video.x(), 64);
    // Writing the edits did not place the frame from their rounded values.
    EXPECT_EQ(form->dcCrop->CropRect(), dragged);
}

TEST_F(CropFormTest, OkWithCropOffKeepsTheRectangleOfTheEdits) {
    Project.CropEnabled = true;
    Project.CropRect = {10, 10, 110, 60};
    WhenShown<TCropForm>([](TCropForm* form) {
        form->edtCropH->setText(QStringLiteral("80"));
        form->cbxCrop->click();
        QTest::mouseClick(form->btnOkMe, Qt::LeftButton);
    });
    EXPECT_TRUE(ExecuteCropForm(&Project, Frame));
    EXPECT_FALSE(Project.CropEnabled);
    EXPECT_EQ(Project.CropRect, (TRectL{10, 10, 110, 90}));
}

TEST_F(CropFormTest, CancelLeavesTheProjectAlone) {
    WhenShown<TCropForm>([](TCropForm* form) {
        form->cbxCrop->click();
        form->edtCropX->setText(QStringLiteral("5"));
        form->btnCancelMeClick();
    });
    EXPECT_FALSE(ExecuteCropForm(&Project, Frame));
    EXPECT_FALSE(Project.CropEnabled);
    EXPECT_EQ(Project.CropRect, (TRectL{0, 0, 640, 360}));
    Project.VideoWidth = 0; // nothing to crop: the dialog does not open
    EXPECT_FALSE(ExecuteCropForm(&Project, Frame));
}

TEST_F(CropFormTest, ResizingAndMaximizingRefitKeepingTheVideoRectangle) {
    Project.CropEnabled = true;
    Project.CropRect = {64, 36, 384, 216};
    const auto form = Open();
    form->show();
    const QRect small = form->DisplayRect();
    form->resize(900, 700);
    EXPECT_GT(form->DisplayRect().width(), small.width());
    EXPECT_EQ(form->dcCrop->Restricts(), form->DisplayRect());
    EXPECT_EQ(FrameInVideo(*form), QRect(64, 36, 320, 180));
    form->resize(655, 484);
    form->btnMaxClick();
    EXPECT_TRUE(form->IsWindowMaximized());
    EXPECT_EQ(form->dcCrop->Restricts(), form->DisplayRect());
    EXPECT_EQ(FrameInVideo(*form), QRect(64, 36, 320, 180));
    form->btnRestoreClick();
    EXPECT_EQ(form->DisplayRect(), small);
    EXPECT_EQ(form->dcCrop->CropRect(), VideoToPanel(QRect(64, 36, 320, 180), small, 640));
}

TEST_F(CropFormTest, PictureIsDrawnInTheDisplayRectangle) {
    const auto form = Open();
    const QImage shot = Grab(form->pnlShot);
    const QRect display = form->DisplayRect();
    EXPECT_TRUE(Near(shot.pixelColor(display.center()), QColor(0, 200, 0)));
    EXPECT_FALSE(
        Near(shot.pixelColor(display.left() - 5, display.center().y()), QColor(0, 200, 0)));
}
