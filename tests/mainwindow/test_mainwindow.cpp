// The real main window, offscreen, on generated videos whose frames carry their index: opening,
// the strip and its groups, the still view, playing, pausing, the end of the video, scrubbing,
// deleting frames, dragging a caption, the clip edits and bad files.

#include "MainWindowTest.h"
#include "app/VGApp.h"
#include "app/VGUIApp.h"
#include "common/CommonFunctions.h"
#include "mainwindow/MainFrm.h"
#include "playback/DecodePlayer.h"
#include "project/FrameWriter.h"
#include "project/VGConfig.h"
#include "project/VGProj.h"
#include "tests/support/TestUtils.h"
#include "ui/MHintWindow.h"
#include "widgets/FlatControls.h"
#include "widgets/SkinButton.h"
#include "widgets/ThumbStrip.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

TEST_F(MainWindow, StartsEmptyWithTheDesignedLayout) {
    // The test screen is narrower than the design: the window fits into it when shown.
    EXPECT_LE(Form->frameGeometry().right(), Form->GetMaximizeArea().right());
    Form->resize(820, 570);
    EXPECT_EQ(Form->minimumSize(), QSize(705, 317));
    EXPECT_EQ(Form->pnlPlayer->geometry(), QRect(10, 64, 798, 265));
    EXPECT_EQ(Form->btnPause->geometry(), Form->btnPlay->geometry());
    EXPECT_EQ(Form->gbTool->x(), 5 + (820 - 5 - 6 - 686 - 1) / 2);
    EXPECT_EQ(Form->TrackBar->maximum(), Form->TrackBar->width() - 20);
    EXPECT_TRUE(Form->pnlPlayer->isVisible());
    EXPECT_FALSE(Form->pnlShot->isVisible());
    EXPECT_TRUE(Form->Button1->isEnabled());
    for (QWidget* control :
         {static_cast<QWidget*>(Form->btnPlay), static_cast<QWidget*>(Form->btnConvert),
          static_cast<QWidget*>(Form->edtStart), static_cast<QWidget*>(Form->btnInfo)})
        EXPECT_FALSE(control->isEnabled()) << control->objectName().toStdString();
    // The start screen shows its banner; the sample clip waits in the data folder.
    const QImage screen = Form->pnlPlayer->grab().toImage();
    EXPECT_NE(screen.pixel(400, 100), qRgb(255, 255, 255));
    EXPECT_TRUE(QFile::exists(TApp::GetDataPath() + QStringLiteral("Sample.mp4")));
    // Resizing keeps the track bar's share and its maximum at its width less 20.
    Form->SetTrackBarSilently(-1, 0.5);
    Form->resize(1000, 600);
    EXPECT_EQ(Form->TrackBar->maximum(), Form->TrackBar->width() - 20);
    EXPECT_NEAR(double(Form->TrackBar->value()) / Form->TrackBar->maximum(), 0.5, 0.01);
    EXPECT_EQ(Form->gbTool->x(), 5 + (1000 - 5 - 6 - 686 - 1) / 2);
    EXPECT_EQ(Form->pnlShot->geometry(), Form->pnlPlayer->geometry());
}

TEST_F(MainWindow, OpeningFillsTheStripAndGroupsGrowAtBothEnds) {
    Open(FixturePath(LongClip));
    ASSERT_NE(Form->Project(), nullptr) << Messages.join(';').toStdString();
    EXPECT_EQ(Form->edtStart->text(), "00:00:00.000");
    EXPECT_EQ(Form->edtEnd->text(), FormatPTS(Form->Project()->Duration, 3));
    EXPECT_EQ(Form->lblDuration->text(), FormatPTS(Form->Project()->Duration, 3));
    EXPECT_TRUE(Form->windowTitle().startsWith(QStringLiteral("h264-bframes")));
    EXPECT_TRUE(Form->pnlShot->isVisible());
    EXPECT_FALSE(Form->pnlPlayer->isVisible());
    EXPECT_FALSE(Form->lblProgress->isVisible());
    ASSERT_EQ(Form->ShotView->Count(), 10);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(ItemIndex(i), i);
    EXPECT_EQ(Form->ShotView->GetFocusedPhoto(), Form->ShotView->Item(0));
    EXPECT_EQ(Form->CurrentFrame(), TMainStripFrame(0));
    EXPECT_EQ(fixture::ReadIndexPattern(Form->FrameBitmap()), 0);
    EXPECT_EQ(Form->StripLastPTS(), FramePTS(9));
    // 320 x 240 is a multiple of 4: 24-bit frame pictures.
    EXPECT_EQ(Form->Decoder()->BitmapBitsPixel(), 24);

    // Next group: the frames after the last one, focus on the new last item.
    Form->acNextMoreExecute();
    ASSERT_EQ(Form->ShotView->Count(), 19);
    for (int i = 0; i < 19; ++i)
        EXPECT_EQ(ItemIndex(i), i);
    EXPECT_EQ(Form->ShotView->GetFocusedPhoto(), Form->ShotView->Item(18));
    EXPECT_EQ(Form->CurrentFrame()->PTS, FramePTS(18));
    EXPECT_NEAR(Form->TrackBar->value(),
                Form->TrackBar->maximum() * double(FramePTS(18)) / Form->Project()->Duration, 1);
    // Last group at the start of the video adds nothing and focuses the first item.
    Form->acPriorMoreExecute();
    EXPECT_EQ(Form->ShotView->Count(), 19);
    EXPECT_EQ(Form->ShotView->GetFocusedPhoto(), Form->ShotView->Item(0));
    EXPECT_EQ(Form->StripFirstPTS(), 0);

    // Stepping past the strip's end loads the next group and steps into it.
    Form->SetTrackBarSilently(-1, 0);
    Form->ShotView->SetFocusedPhoto(Form->ShotView->Item(18));
    Form->ShotViewSelectedChange();
    Form->acNextFrameExecute();
    EXPECT_GT(Form->ShotView->Count(), 19);
    EXPECT_EQ(Form->CurrentFrame()->PTS, FramePTS(19));
    Form->acPriorFrameExecute();
    EXPECT_EQ(Form->CurrentFrame()->PTS, FramePTS(18));

    // The progress label: "Decoding..." before the first frame, then the counts.
    SendReport(Form.get(), Report::ExtractProgress{0, 10});
    EXPECT_EQ(Form->lblProgress->text(), "Decoding...");
    EXPECT_TRUE(Form->lblProgress->isVisible());
    SendReport(Form.get(), Report::ExtractProgress{3, 10});
    EXPECT_EQ(Form->lblProgress->text(), "3 / 10");
    SendReport(Form.get(), Report::ExtractProgress{12, 10});
    EXPECT_EQ(Form->lblProgress->text(), "12 / 12");
}

TEST_F(MainWindow, BadFilesGiveTheMessageAndTheEmptyState) {
    QTemporaryDir dir;
    const QString text = dir.filePath(QStringLiteral("notes.mp4"));
    WriteFile(text, QByteArray("this is not a video\n").repeated(50));
    const QString empty = dir.filePath(QStringLiteral("empty.mkv"));
    WriteFile(empty, {});
    QByteArray half;
    {
        QFile whole(FixturePath(LongClip));
        ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
        half = whole.read(whole.size() / 3);
    }
    const QStringList bad = {text, empty, dir.path(), dir.filePath(QStringLiteral("missing.mp4"))};
    for (const QString& path : bad) {
        Open(FixturePath(LongClip)); // a good project first: it must be gone afterwards
        ASSERT_NE(Form->Project(), nullptr);
        Messages.clear();
        Open(path);
        ASSERT_EQ(Messages.size(), 1) << path.toStdString();
        EXPECT_EQ(
            Messages[0],
            QStringLiteral("\"%1\" is not a valid video file.").arg(QFileInfo(path).fileName()));
        EXPECT_EQ(Form->Project(), nullptr);
        EXPECT_EQ(Form->ShotView->Count(), 0);
        EXPECT_FALSE(Form->edtStart->text().contains(QRegularExpression(QStringLiteral("\\d"))));
        EXPECT_EQ(Form->lblDuration->text(), "00:00:00.000");
        EXPECT_TRUE(Form->pnlPlayer->isVisible());
        EXPECT_FALSE(Form->pnlShot->isVisible());
        EXPECT_FALSE(Form->btnPlay->isEnabled());
        EXPECT_FALSE(Form->btnCrop->isEnabled());
        EXPECT_TRUE(Form->Button1->isEnabled());
        EXPECT_TRUE(Form->btnOptions->isEnabled());
        EXPECT_TRUE(Form->btnHelp->isEnabled());
    }
    // A file cut short still opens and fills the strip with what is there.
    const QString cut = dir.filePath(QStringLiteral("cut.mp4"));
    WriteFile(cut, half);
    Messages.clear();
    Open(cut);
    if (Form->Project())
        EXPECT_GT(Form->ShotView->Count(), 0);
    else
        EXPECT_EQ(Messages.size(), 1);
}

TEST_F(MainWindow, PlayPauseAndTheEndOfTheVideo) {
    Open(FixturePath(LongClip));
    ASSERT_NE(Form->Project(), nullptr);
    QTest::mouseClick(Form->btnPlay, Qt::LeftButton);
    EXPECT_TRUE(Form->IsPlaying());
    EXPECT_TRUE(Form->btnPause->isVisible());
    EXPECT_FALSE(Form->btnPlay->isVisible());
    EXPECT_TRUE(Form->TrackBar->isEnabled());
    ASSERT_NE(Form->PlayThread(), nullptr);
    ASSERT_TRUE(WaitFor([&] { return Form->CurPTS() >= FramePTS(8); }, 10000));
    // One back buffer of the panel's size carries the frames.
    EXPECT_EQ(Form->BackBuffer().size(), Form->pnlPlayer->size());
    QTest::mouseClick(Form->btnPause, Qt::LeftButton);
    EXPECT_FALSE(Form->IsPlaying());
    EXPECT_EQ(Form->PlayThread(), nullptr);
    EXPECT_TRUE(Form->pnlShot->isVisible());
    EXPECT_TRUE(Form->TrackBar->isEnabled()) << "paused, the thumb can still be dragged";
    // The strip starts at the stop position.
    ASSERT_EQ(Form->ShotView->Count(), 10);
    EXPECT_EQ(Form->StripFirstPTS(), Form->CurPTS());
    EXPECT_EQ(Form->CurrentFrame()->PTS, Form->CurPTS());

    // A thumbnail clicked during playback makes playback jump there.
    QTest::mouseClick(Form->btnPlay, Qt::LeftButton);
    Form->ShotView->SetFocusedPhoto(Form->ShotView->Item(0));
    Form->ShotViewSelectedChange();
    EXPECT_TRUE(Form->IsPlaying());

    // To the end: the window pauses by itself, refills the strip and remembers the end.
    Form->StartPlayback(Form->Project()->Duration - 200000);
    ASSERT_TRUE(WaitFor([&] { return Form->EndReached(); }, 10000));
    EXPECT_FALSE(Form->IsPlaying());
    EXPECT_TRUE(Form->btnPlay->isVisible());
    ASSERT_GT(Form->ShotView->Count(), 0);
    // Play again with the last frame current restarts from the beginning.
    Form->ShotView->SetFocusedPhoto(Form->ShotView->Item(Form->ShotView->Count() - 1));
    Form->ShotViewSelectedChange();
    const TVGFrames& frames = Form->Project()->Frames;
    ASSERT_EQ(Form->CurrentFrame(), frames[frames.Count() - 1]);
    QTest::mouseClick(Form->btnPlay, Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return Form->CurPTS() < FramePTS(20); }, 5000));
    EXPECT_FALSE(Form->EndReached());
}

TEST_F(MainWindow, ScrubbingSwitchesWorkersAndNeverLeavesOneBehind) {
    Open(FixturePath(LongClip));
    ASSERT_NE(Form->Project(), nullptr);
    QTest::mouseClick(Form->btnPlay, Qt::LeftButton);
    ASSERT_NE(Form->PlayThread(), nullptr);
    // Dragging: the playback worker goes, the seek worker shows the frame under the thumb.
    Form->TrackBarMouseDown();
    EXPECT_EQ(Form->PlayThread(), nullptr);
    Form->TrackBar->setValue(Form->TrackBar->maximum() / 2);
    ASSERT_NE(Form->Seeker(), nullptr);
    EXPECT_TRUE(Form->Hint()->IsShowing());
    EXPECT_FALSE(Form->tmTrackBar->isActive());
    const int64_t target = Form->TrackBarPTS();
    ASSERT_TRUE(WaitFor([&] { return std::llabs(Form->CurPTS() - target) <= 40000; }, 10000));
    // The hint's right edge sits at the track bar's left edge plus the position.
    const QRect hint = Form->Hint()->Window()->geometry();
    EXPECT_EQ(hint.x() + hint.width(),
              Form->TrackBar->mapToGlobal(QPoint(0, 0)).x() + Form->TrackBar->value());
    Form->TrackBarMouseUp();
    EXPECT_EQ(Form->Seeker(), nullptr);
    EXPECT_NE(Form->PlayThread(), nullptr);
    EXPECT_FALSE(Form->Hint()->IsShowing());

    // A change without the mouse (the keyboard) waits for the timer; a command in that time stops
    // the scrub for good: no worker left, no timer to restart playback.
    Form->TrackBar->setValue(Form->TrackBar->maximum() / 4);
    EXPECT_TRUE(Form->tmTrackBar->isActive());
    EXPECT_NE(Form->Seeker(), nullptr);
    Form->acNextMoreExecute();
    EXPECT_EQ(Form->Seeker(), nullptr);
    EXPECT_EQ(Form->PlayThread(), nullptr);
    EXPECT_FALSE(Form->tmTrackBar->isActive());
    EXPECT_FALSE(Form->IsPlaying());
}

TEST_F(MainWindow, DeleteRestoreAndTheStripMenu) {
    Open(FixturePath(LongClip));
    ASSERT_EQ(Form->ShotView->Count(), 10);
    TMainStripFrame(2)->Deleted = true;
    for (int i = 1; i <= 3; ++i)
        Form->ShotView->Item(i)->SetSelected(true);
    Form->ShotView->Item(0)->SetSelected(false);
    Form->pmShotViewPopup();
    EXPECT_TRUE(Form->pmiDelete->isEnabled());
    EXPECT_TRUE(Form->pmiRestore->isEnabled());
    EXPECT_FALSE(Form->pmiStartTime->isEnabled()); // three selected
    QTest::keyClick(Form->ShotView, Qt::Key_Delete);
    for (int i = 1; i <= 3; ++i)
        EXPECT_TRUE(TMainStripFrame(i)->Deleted);
    EXPECT_FALSE(TMainStripFrame(0)->Deleted);
    Form->pmShotViewPopup();
    EXPECT_FALSE(Form->pmiDelete->isEnabled());
    Form->pmiRestore->trigger();
    for (int i = 1; i <= 3; ++i)
        EXPECT_FALSE(TMainStripFrame(i)->Deleted);

    // "Set as start frame" takes the one selected frame, wherever the position is.
    Form->ShotView->ClearSelected();
    Form->ShotView->Item(6)->SetSelected(true);
    Form->pmShotViewPopup();
    ASSERT_TRUE(Form->pmiStartTime->isEnabled());
    Form->pmiStartTime->trigger();
    EXPECT_EQ(Form->Project()->StartPTS, FramePTS(6));
    EXPECT_EQ(Form->edtStart->text(), FormatPTS(FramePTS(6), 3));
    // The Start button takes the current frame.
    QTest::mouseClick(Form->btnEnd, Qt::LeftButton);
    EXPECT_EQ(Form->Project()->EndPTS, Form->CurrentFrame()->PTS);
}

TEST_F(MainWindow, CaptionDragStartsAfterTwoPixelsAndTheStillViewShowsIt) {
    Open(FixturePath(LongClip));
    TVGProj* proj = Form->Project();
    ASSERT_NE(proj, nullptr);
    TTextObj* caption = proj->Texts.Add();
    caption->Text = QStringLiteral("HELLO");
    caption->FontName = QStringLiteral("Arial");
    caption->FontSize = 40;
    caption->FontColor = 255;
    caption->X = 40;
    caption->Y = 60;
    Form->RefreshShot(true);
    EXPECT_NE(Form->ShotGraphic(), Form->FrameBitmap().convertToFormat(QImage::Format_RGB32));

    // The still view shows 320 x 240 at its own size, centred in the panel.
    const QRect image((Form->pnlShot->width() - 320) / 2, (Form->pnlShot->height() - 240) / 2, 320,
                      240);
    const QRect box = proj->MeasureText(caption).toAlignedRect();
    const QPoint press = image.topLeft() + box.center();
    QTest::mousePress(Form->pnlShot, Qt::LeftButton, {}, press);
    QTest::mouseMove(Form->pnlShot, press + QPoint(2, 0));
    EXPECT_EQ(caption->X, 40);
    EXPECT_FALSE(Form->IsDragging());
    QTest::mouseMove(Form->pnlShot, press + QPoint(3, 0));
    EXPECT_TRUE(Form->IsDragging());
    EXPECT_EQ(caption->X, 43);
    QTest::mouseMove(Form->pnlShot, press + QPoint(10, -5));
    QTest::mouseRelease(Form->pnlShot, Qt::LeftButton, {}, press + QPoint(10, -5));
    EXPECT_EQ(caption->X, 50);
    EXPECT_EQ(caption->Y, 55);
    EXPECT_FALSE(Form->IsDragging());
    // The player draws the same captions over the frames it shows, where the project says.
    QImage frame = Form->FrameBitmap().convertToFormat(QImage::Format_RGB32);
    Form->ShowVideoFrame(Form->Decoder(), frame);
    const QImage withCaption = Form->BackBuffer().copy();
    caption->Text.clear();
    Form->ShowVideoFrame(Form->Decoder(), frame);
    const QImage without = Form->BackBuffer().copy();
    caption->Text = QStringLiteral("HELLO");
    const QRect shown =
        QRect(image.topLeft() + proj->MeasureText(caption).toAlignedRect().topLeft(),
              proj->MeasureText(caption).toAlignedRect().size());
    int changedInside = 0, changedOutside = 0;
    for (int y = 0; y < without.height(); ++y)
        for (int x = 0; x < without.width(); ++x)
            if (withCaption.pixel(x, y) != without.pixel(x, y))
                ++(shown.adjusted(-2, -2, 2, 2).contains(x, y) ? changedInside : changedOutside);
    EXPECT_GT(changedInside, 50);
    EXPECT_EQ(changedOutside, 0);

    // Pressing where nothing is drags nothing.
    QTest::mousePress(Form->pnlShot, Qt::LeftButton, {}, image.bottomRight() - QPoint(5, 5));
    QTest::mouseMove(Form->pnlShot, image.bottomRight() - QPoint(50, 50));
    EXPECT_EQ(caption->X, 50);
    QTest::mouseRelease(Form->pnlShot, Qt::LeftButton, {}, image.bottomRight());
}

TEST_F(MainWindow, TypedTimesAndTheConvertCheck) {
    Open(FixturePath(LongClip));
    ASSERT_NE(Form->Project(), nullptr);
    Form->edtStart->setFocus();
    Form->edtStart->selectAll();
    QTest::keyClicks(Form->edtStart, QStringLiteral("000002000"));
    EXPECT_TRUE(Form->tmClip->isActive());
    EXPECT_EQ(Form->Project()->StartPTS, 0); // not before the timer
    Form->tmClipTimer();
    EXPECT_EQ(Form->Project()->StartPTS, 2000000);
    // Beyond the end: cut to the duration.
    Form->edtEnd->selectAll();
    QTest::keyClicks(Form->edtEnd, QStringLiteral("995959999"));
    Form->tmClipTimer();
    EXPECT_EQ(Form->Project()->EndPTS, Form->Project()->Duration);
    // An emptied edit unsets the bound; Convert refuses and puts the focus into the start edit.
    Form->edtStart->selectAll();
    QTest::keyClick(Form->edtStart, Qt::Key_Delete);
    Form->btnEnd->setFocus();
    Messages.clear();
    QTest::mouseClick(Form->btnConvert, Qt::LeftButton);
    EXPECT_EQ(Form->Project()->StartPTS, AV_NOPTS_VALUE);
    ASSERT_EQ(Messages.size(), 1);
    EXPECT_EQ(Messages[0], "Please specify the video clipping time first.");
    EXPECT_TRUE(Form->edtStart->hasFocus() || QApplication::focusWidget() == Form->edtStart);
    // Locate end shows the frames up to the end with the last focused.
    Form->Project()->EndPTS = FramePTS(40);
    Form->acLocateEndExecute();
    ASSERT_GT(Form->ShotView->Count(), 0);
    EXPECT_EQ(Form->StripLastPTS(), FramePTS(40));
    EXPECT_EQ(Form->CurrentFrame()->PTS, FramePTS(40));
}

TEST_F(MainWindow, ClosingWhilePlayingStopsEverythingAndEmptiesTheWorkFolder) {
    Open(FixturePath(ShortClip));
    ASSERT_NE(Form->Project(), nullptr);
    Form->FrameWriter()->Flush();
    ASSERT_FALSE(QDir(App->TempPath).entryList(QDir::Files).isEmpty());
    QTest::mouseClick(Form->btnPlay, Qt::LeftButton);
    ASSERT_NE(Form->PlayThread(), nullptr);
    bool saved = false;
    TMainForm::SetDestroyHook([&] { saved = true; });
    Form.reset();
    TMainForm::SetDestroyHook({});
    EXPECT_TRUE(saved);
    EXPECT_TRUE(QDir(App->TempPath).entryList(QDir::Files).isEmpty());
}

} // namespace
