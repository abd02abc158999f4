// The clip commands of the main window: playing the selection to its end, press-and-hold frame
// stepping, Locate start, a dropped file, and the open dialog's filter.

#include "MainWindowTest.h"
#include "decoder/CustomDecoder.h"
#include "ui/UIUtils.h"

#include <QAction>
#include <QFileInfo>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>

namespace {

TEST_F(MainWindow, PlaySelectionStopsAtTheEndAndShowsTheEndFrame) {
    Open(FixturePath(LongClip));
    TVGProj* proj = Form->Project();
    ASSERT_NE(proj, nullptr);
    SetValueNoChange(Form->edtStart, FormatPTS(FramePTS(20), 3));
    SetValueNoChange(Form->edtEnd, FormatPTS(FramePTS(30), 3));
    Form->pmToolbarPopup(); // applies the edits at once
    EXPECT_EQ(proj->StartPTS, FramePTS(20));
    ASSERT_TRUE(Form->pmiPlaySelect->isEnabled());
    Form->pmiPlaySelect->trigger();
    EXPECT_TRUE(Form->PlayingSelection());
    EXPECT_FALSE(Form->edtStart->isEnabled()); // the clip cannot change while it plays
    EXPECT_FALSE(Form->btnStart->isEnabled());
    ASSERT_TRUE(WaitFor([&] { return !Form->PlayingSelection(); }, 10000));
    EXPECT_FALSE(Form->IsPlaying());
    EXPECT_TRUE(Form->edtStart->isEnabled());
    ASSERT_GT(Form->ShotView->Count(), 0);
    EXPECT_EQ(Form->StripLastPTS(), FramePTS(30));
    EXPECT_EQ(Form->CurrentFrame()->PTS, FramePTS(30));
    // With the start unset the menu offers neither Play selection nor Locate start.
    proj->StartPTS = AV_NOPTS_VALUE;
    SetValueNoChange(Form->edtStart, QString());
    Form->pmToolbarPopup();
    EXPECT_FALSE(Form->pmiPlaySelect->isEnabled());
    EXPECT_FALSE(Form->pmiLocateStart->isEnabled());
    EXPECT_TRUE(Form->pmiLocateEnd->isEnabled());
    // Locate start refills the strip from the start time.
    proj->StartPTS = FramePTS(50);
    Form->acLocateStartExecute();
    EXPECT_EQ(Form->StripFirstPTS(), FramePTS(50));
    EXPECT_EQ(Form->CurrentFrame()->PTS, FramePTS(50));
}

TEST_F(MainWindow, HoldingNextFrameStepsAfterHalfASecondThenEvery50Ms) {
    Open(FixturePath(LongClip));
    ASSERT_NE(Form->Project(), nullptr);
    // The timer's ticks are driven by the test: press, three ticks, release.
    QTest::mousePress(Form->btnNextFrame, Qt::LeftButton);
    EXPECT_TRUE(Form->tmAutoNext->isActive());
    EXPECT_EQ(Form->tmAutoNext->interval(), 500);
    EXPECT_EQ(Form->CurrentFrame()->PTS, 0); // nothing before the first tick
    for (int tick = 0; tick < 3; ++tick)
        Form->tmAutoNextTimer();
    EXPECT_EQ(Form->tmAutoNext->interval(), 50);
    EXPECT_EQ(Form->CurrentFrame()->PTS, FramePTS(3));
    // The release stops the repetition; the click it completes steps once more.
    QTest::mouseRelease(Form->btnNextFrame, Qt::LeftButton);
    EXPECT_FALSE(Form->tmAutoNext->isActive());
    EXPECT_EQ(Form->CurrentFrame()->PTS, FramePTS(4));
    // The prior button steps back the same way; at the first frame there is nothing before.
    for (int i = 0; i < 6; ++i)
        QTest::mouseClick(Form->btnPriorFrame, Qt::LeftButton);
    EXPECT_EQ(Form->CurrentFrame()->PTS, 0);
}

TEST_F(MainWindow, ADroppedVideoOpensAndTheDialogListsBothLetterCases) {
    EXPECT_FALSE(Form->OpenDroppedFiles({QUrl(QStringLiteral("https://example.com/a.mp4"))}));
    ASSERT_TRUE(Form->OpenDroppedFiles(
        {QUrl::fromLocalFile(FixturePath(ShortClip)), QUrl::fromLocalFile("/x.mp4")}));
    ASSERT_TRUE(WaitFor([&] { return Form->Project() != nullptr; }, 5000));
    EXPECT_EQ(Form->Project()->VideoFile, FixturePath(ShortClip));
    EXPECT_TRUE(Messages.isEmpty());
    const QString filter = TMainForm::OpenDialogFilter();
    for (const char* pattern : {"*.mp4", "*.MP4", "*.mkv", "*.webm", "*.WEBM", "*.ogv", "*.m2ts",
                                "*.mts", "*.m4v", "*.ts", "*.wmv"})
        EXPECT_TRUE(filter.contains(QLatin1String(pattern) + QLatin1Char(' ')) ||
                    filter.contains(QLatin1String(pattern) + QLatin1Char(')')))
            << pattern;
    EXPECT_TRUE(filter.endsWith(QLatin1String(";;All Files (*)")));
}

} // namespace

namespace {

TEST_F(MainWindow, AVideoCutShortWhileOpenEndsLikeTheEndOfTheVideo) {
    QTemporaryDir dir;
    const QString copy = dir.filePath(QStringLiteral("clip.mp4"));
    ASSERT_TRUE(QFile::copy(FixturePath(LongClip), copy));
    Open(copy);
    ASSERT_NE(Form->Project(), nullptr);
    // The file loses most of its data while it is open (a card pulled, a file cut short).
    ASSERT_TRUE(QFile::resize(copy, QFileInfo(copy).size() / 5));
    for (int i = 0; i < 6; ++i)
        Form->acNextMoreExecute();
    EXPECT_GT(Form->ShotView->Count(), 0);
    QTest::mouseClick(Form->btnPlay, Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return !Form->IsPlaying(); }, 15000));
    EXPECT_TRUE(Form->EndReached());
    // Shrunk to nothing, then stepped through: still no crash, the strip keeps what it had.
    ASSERT_TRUE(QFile::resize(copy, 0));
    const int before = Form->ShotView->Count();
    Form->acNextMoreExecute();
    Form->acPriorMoreExecute();
    EXPECT_GE(Form->ShotView->Count(), before);
    Form->acLocateEndExecute();
}

} // namespace
