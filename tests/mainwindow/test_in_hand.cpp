// The main window driven as a user drives it, with mouse and key events on the real controls:
// scrubbing with the track bar in every state (just opened, paused, playing, at the end), a click
// on the track, the clip edits left half typed, an inverted clip, the marked clip on the track
// bar and the marks of a deleted frame in the strip. What the player shows is read from the
// window's own pixels: the test videos carry each frame's index in their picture.

#include "MainWindowTest.h"
#include "common/Geometry.h"
#include "decoder/CustomDecoder.h"
#include "ui/MHintWindow.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTimer>

namespace {

class MainWindowInHand : public MainWindowWithClip {
protected:
    // The index of the frame on screen in the player's area (-1 when none can be read).
    int ShownIndex() const {
        const QRect panel = Form->pnlPlayer->geometry();
        const QImage screen = Form->grab(panel).toImage();
        const QRect image =
            CenteredRect(panel.size(), GetFillSize(panel.width(), panel.height(), 320, 240, false));
        return fixture::ReadIndexPattern(screen.copy(image));
    }
    // The frame shown at a time of the 25 fps clip.
    static int IndexAt(int64_t pts) { return int(pts / 40000); }
    bool Shows(int index) const {
        return WaitFor([&] { return std::abs(ShownIndex() - index) <= 1; }, 10000);
    }
    // Where the thumb's centre is at a share of the track.
    int ThumbX(double fraction) const {
        TTrackBar* bar = Form->TrackBar;
        const int w = bar->ThumbRect().width();
        return w / 2 + int(fraction * (bar->width() - w));
    }

    // Clicks into a time edit, types a whole time over it and confirms it with Return.
    static void TypeTime(QLineEdit* edit, const char* digits) {
        QTest::mouseClick(edit, Qt::LeftButton);
        edit->selectAll();
        QTest::keyClicks(edit, QString::fromLatin1(digits));
        QTest::keyClick(edit, Qt::Key_Return);
    }

    // Opens the clip menu with the "..." button and clicks `item`, as a user does.
    void ChooseFromClipMenu(QAction* item) {
        QTest::mouseClick(Form->btnMore, Qt::LeftButton);
        ASSERT_TRUE(WaitFor([&] { return Form->pmToolbar->isVisible(); }));
        ASSERT_TRUE(item->isEnabled());
        QTest::mouseClick(Form->pmToolbar, Qt::LeftButton, {},
                          Form->pmToolbar->actionGeometry(item).center());
        ASSERT_TRUE(WaitFor([&] { return !Form->pmToolbar->isVisible(); }));
    }

    // Takes the thumb, drags it to a share of the track and lets it go: while it moves the player
    // shows the frame under it with the time hint; let go, it plays on from there.
    void Scrub(double fraction, const char* state) {
        SCOPED_TRACE(state);
        TTrackBar* bar = Form->TrackBar;
        ASSERT_TRUE(bar->isEnabled());
        const QPoint thumb = bar->ThumbRect().center();
        QTest::mousePress(bar, Qt::LeftButton, {}, thumb);
        EXPECT_TRUE(Form->pnlPlayer->isVisible());
        EXPECT_FALSE(Form->pnlShot->isVisible());
        EXPECT_EQ(Form->PlayThread(), nullptr);
        const QPoint to(ThumbX(fraction), thumb.y());
        QTest::mouseMove(bar, QPoint((thumb.x() + to.x()) / 2, to.y()));
        QTest::mouseMove(bar, to);
        EXPECT_LE(std::abs(bar->ThumbRect().center().x() - to.x()), 1) << "the thumb follows";
        EXPECT_TRUE(Form->Hint()->IsShowing());
        EXPECT_EQ(Form->Hint()->Window()->text(), FormatPTS(Form->TrackBarPTS(), 3));
        const int64_t target = Form->TrackBarPTS();
        EXPECT_TRUE(Shows(IndexAt(target)))
            << "shows " << ShownIndex() << ", wanted " << IndexAt(target);
        QTest::mouseRelease(bar, Qt::LeftButton, {}, to);
        EXPECT_FALSE(Form->Hint()->IsShowing());
        EXPECT_EQ(Form->Seeker(), nullptr);
        EXPECT_NE(Form->PlayThread(), nullptr);
        EXPECT_TRUE(Form->btnPause->isVisible());
        EXPECT_FALSE(Form->EndReached());
        // It plays on from the thumb, and the thumb goes with the picture.
        if (target + 200000 < Form->Project()->Duration) {
            EXPECT_TRUE(WaitFor([&] { return Form->CurPTS() >= target + 120000; }));
            EXPECT_LE(std::llabs(Form->TrackBarPTS() - Form->CurPTS()), 40000);
        }
    }
};

TEST_F(MainWindowInHand, ScrubbingShowsTheFrameUnderTheThumbInEveryState) {
    // Just opened: the still view shows frame 0, the thumb sits at the start.
    EXPECT_TRUE(Form->pnlShot->isVisible());
    Scrub(0.5, "just opened");

    QTest::mouseClick(Form->btnPause, Qt::LeftButton);
    ASSERT_TRUE(Form->pnlShot->isVisible());
    const int pausedAt = Form->TrackBar->value();
    Scrub(0.25, "paused");
    EXPECT_LT(Form->TrackBar->value(), pausedAt);

    Scrub(0.7, "playing");

    // To the end: it pauses by itself.
    Scrub(0.97, "near the end");
    ASSERT_TRUE(WaitFor([&] { return Form->EndReached(); }));
    ASSERT_TRUE(Form->pnlShot->isVisible());
    // The thumb at the very end lies under the duration label's box: the mouse still finds it.
    const QPoint thumbAtEnd = Form->TrackBar->ThumbRect().center();
    EXPECT_EQ(Form->childAt(Form->TrackBar->mapTo(Form.get(), thumbAtEnd)), Form->TrackBar);
    Scrub(0.1, "at the end");
}

TEST_F(MainWindowInHand, AClickOnTheTrackJumpsThereAndPlaysFromThereOnRelease) {
    TTrackBar* bar = Form->TrackBar;
    const QPoint at(ThumbX(0.6), bar->height() / 2);
    QTest::mousePress(bar, Qt::LeftButton, {}, at);
    EXPECT_EQ(bar->value(), bar->PositionAt(at.x()));
    const int64_t target = Form->TrackBarPTS();
    EXPECT_TRUE(Shows(IndexAt(target)));
    // Held still, the thumb stays where it was put: no page steps creeping on (a slider repeats
    // them after 500 ms, then every 50 ms).
    const int held = bar->value();
    QSignalSpy moved(bar, &QSlider::valueChanged);
    EXPECT_FALSE(moved.wait(700));
    EXPECT_EQ(bar->value(), held);
    QTest::mouseRelease(bar, Qt::LeftButton, {}, at);
    ASSERT_NE(Form->PlayThread(), nullptr);
    ASSERT_TRUE(WaitFor([&] { return Form->CurPTS() > target; }));
    EXPECT_GE(ShownIndex(), IndexAt(target));

    // Paused, the thumb stays with the still picture; Start takes the time of what is seen.
    QTest::mouseClick(Form->btnPause, Qt::LeftButton);
    const int pausedAt = bar->value();
    QTest::mouseClick(Form->btnStart, Qt::LeftButton);
    EXPECT_EQ(Form->Project()->StartPTS, Form->CurrentFrame()->PTS);
    EXPECT_LE(std::llabs(Form->TrackBarPTS() - Form->CurrentFrame()->PTS), 40000);
    EXPECT_EQ(bar->value(), pausedAt);
}

TEST_F(MainWindowInHand, ClipEditsShowTheTimeTheyStandForAndTheTrackMarksTheClip) {
    TVGProj* proj = Form->Project();
    // Half typed, then Tab: the time is taken at once and the edit shows what it stands for.
    QTest::mouseClick(Form->edtStart, Qt::LeftButton);
    QTest::keyClick(Form->edtStart, Qt::Key_Home);
    QTest::keyClicks(Form->edtStart, QStringLiteral("7"));
    QTest::keyClick(Form->edtStart, Qt::Key_End);
    QTest::keyClick(Form->edtStart, Qt::Key_Left);
    QTest::keyClick(Form->edtStart, Qt::Key_Left);
    QTest::keyClick(Form->edtStart, Qt::Key_Left);
    QTest::keyClick(Form->edtStart, Qt::Key_Backspace);
    ASSERT_FALSE(Form->edtStart->hasAcceptableInput()) << Form->edtStart->text().toStdString();
    QTest::keyClick(Form->edtStart, Qt::Key_Tab);
    EXPECT_FALSE(Form->edtStart->hasFocus());
    EXPECT_FALSE(Form->tmClip->isActive());
    ASSERT_NE(proj->StartPTS, AV_NOPTS_VALUE);
    EXPECT_EQ(Form->edtStart->text(), FormatPTS(proj->StartPTS, 3));

    // A whole time confirmed with Return is taken at once too.
    TypeTime(Form->edtStart, "000005000");
    EXPECT_EQ(proj->StartPTS, 5000000);
    TypeTime(Form->edtEnd, "000002000");
    EXPECT_EQ(proj->EndPTS, 2000000);
    EXPECT_EQ(Form->edtEnd->text(), "00:00:02.000");

    // An inverted clip says so, with the start edit focused.
    QTest::mouseClick(Form->btnConvert, Qt::LeftButton);
    ASSERT_EQ(Messages.size(), 1);
    EXPECT_EQ(Messages[0], "The start time is after the end time.");
    EXPECT_EQ(QApplication::focusWidget(), Form->edtStart);
    EXPECT_FALSE(Form->TrackBar->HasMarkedRange());

    // A clip from 1 s to 3 s of the 6 s video: a tinted third of the track.
    TypeTime(Form->edtStart, "000001000");
    TypeTime(Form->edtEnd, "000003000");
    ASSERT_TRUE(Form->TrackBar->HasMarkedRange());
    const QRect mark = Form->TrackBar->MarkedRect();
    EXPECT_LE(std::abs(mark.left() - ThumbX(1.0 / 6)), 1);
    EXPECT_LE(std::abs(mark.right() + 1 - ThumbX(0.5)), 1);
    const QImage track = Form->TrackBar->grab().toImage();
    const int y = mark.top();
    EXPECT_NE(track.pixel(mark.center().x(), y), track.pixel(mark.left() - 20, y));
    EXPECT_EQ(track.pixel(mark.left() - 20, y), track.pixel(mark.right() + 20, y));
    // The Start button moves the mark with it.
    QTest::mouseClick(Form->btnStart, Qt::LeftButton);
    EXPECT_LE(std::abs(Form->TrackBar->MarkedRect().left() - ThumbX(0)), 1);
}

TEST_F(MainWindowInHand, TheClipMenuLocatesEitherEndAndPlaysTheClipToItsEnd) {
    TypeTime(Form->edtStart, "000001000");
    TypeTime(Form->edtEnd, "000002000");
    const int64_t start = Form->Project()->StartPTS, end = Form->Project()->EndPTS;
    ASSERT_EQ(start, 1000000);
    ASSERT_EQ(end, 2000000);

    // Locate end: the strip ends at the clip's end, whose frame the still view shows.
    ChooseFromClipMenu(Form->pmiLocateEnd);
    EXPECT_EQ(Form->StripLastPTS(), end);
    ASSERT_NE(Form->CurrentFrame(), nullptr);
    EXPECT_EQ(Form->CurrentFrame()->PTS, end);
    EXPECT_TRUE(Shows(IndexAt(end)));
    EXPECT_LE(std::abs(Form->TrackBar->value() - Form->TrackBar->maximum() / 3), 1);

    // Locate start: the strip begins at the clip's start.
    ChooseFromClipMenu(Form->pmiLocateStart);
    EXPECT_EQ(Form->StripFirstPTS(), start);
    EXPECT_EQ(Form->CurrentFrame()->PTS, start);
    EXPECT_TRUE(Shows(IndexAt(start)));

    // Play selection: plays from the start with the clip locked, stops on the end frame.
    ChooseFromClipMenu(Form->pmiPlaySelect);
    EXPECT_TRUE(Form->PlayingSelection());
    EXPECT_TRUE(Form->btnPause->isVisible());
    EXPECT_FALSE(Form->edtEnd->isEnabled());
    ASSERT_TRUE(WaitFor([&] { return !Form->PlayingSelection(); }, 10000));
    EXPECT_FALSE(Form->IsPlaying());
    EXPECT_TRUE(Form->edtEnd->isEnabled());
    EXPECT_EQ(Form->CurrentFrame()->PTS, end);
    EXPECT_TRUE(Shows(IndexAt(end)));
}

TEST_F(MainWindowInHand, TheGifsSizeIsEstimatedAgainAfterEveryEditThatChangesIt) {
    // The frame count the estimate names ("about 1.2 MB · 48 frames · 6.0 s").
    auto frames = [&] {
        const QRegularExpressionMatch match =
            QRegularExpression(QStringLiteral("· (\\d+) frames ·"))
                .match(Form->lblEstimate->text());
        return match.hasMatch() ? match.captured(1).toInt() : -1;
    };
    auto settled = [&] { return WaitFor([&] { return frames() > 0; }, 20000); };
    ASSERT_TRUE(settled()) << Form->lblEstimate->text().toStdString();
    EXPECT_TRUE(Form->lblEstimate->isVisible());
    const int whole = frames();
    EXPECT_EQ(whole, 49); // 6 s at 8 frames per second, both ends taken
    EXPECT_TRUE(Form->lblEstimate->text().startsWith(QStringLiteral("about ")));

    // A shorter clip typed in: estimating at once, then the shorter GIF, small enough to be made
    // whole (no "about").
    TypeTime(Form->edtEnd, "000002000");
    EXPECT_EQ(Form->lblEstimate->text(), QStringLiteral("estimating..."));
    ASSERT_TRUE(settled());
    EXPECT_EQ(frames(), 17);
    EXPECT_FALSE(Form->lblEstimate->text().startsWith(QStringLiteral("about ")));

    // The first frame deleted in the strip: one frame less.
    Form->ShotView->setFocus();
    QTest::keyClick(Form->ShotView, Qt::Key_Home);
    QTest::keyClick(Form->ShotView, Qt::Key_Delete);
    ASSERT_TRUE(Form->CurrentFrame()->Deleted);
    EXPECT_EQ(Form->lblEstimate->text(), QStringLiteral("estimating..."));
    ASSERT_TRUE(settled());
    EXPECT_EQ(frames(), 16);
}

TEST_F(MainWindowInHand, TheClipMenuFindsALoopEndAndTrimsStillEndsAndSaysWhatItFound) {
    TypeTime(Form->edtStart, "000001000");
    TypeTime(Form->edtEnd, "000004000");
    // Every frame of the test video shows another number: the closest end is found all the same,
    // within 3 s of the end asked, and the hint says how alike it is.
    ChooseFromClipMenu(Form->pmiLoopEnd);
    const int64_t end = Form->Project()->EndPTS;
    EXPECT_GE(end, 2000000);
    EXPECT_LE(end, 6000000);
    EXPECT_EQ(Form->edtEnd->text(), FormatPTS(end, 3));
    ASSERT_TRUE(Form->Hint()->IsShowing());
    EXPECT_TRUE(Form->Hint()->Window()->text().startsWith(QStringLiteral("loop seam: ")))
        << Form->Hint()->Window()->text().toStdString();
    EXPECT_EQ(Form->btnMore->accessibleDescription(), Form->Hint()->Window()->text());
    // Nothing holds still in it: the trim says so and keeps the clip.
    ChooseFromClipMenu(Form->pmiTrimStill);
    EXPECT_EQ(Form->Project()->StartPTS, 1000000);
    EXPECT_EQ(Form->Project()->EndPTS, end);
    EXPECT_EQ(Form->Hint()->Window()->text(),
              QStringLiteral("no still frames at the start or the end"));

    // Chosen while the video plays: it pauses as the Pause button does, the still view and the
    // strip showing where playback stood.
    QTest::mouseClick(Form->btnPlay, Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return Form->CurPTS() >= 1500000; }));
    ChooseFromClipMenu(Form->pmiTrimStill);
    EXPECT_FALSE(Form->IsPlaying());
    ASSERT_NE(Form->CurrentFrame(), nullptr);
    EXPECT_GE(Form->CurrentFrame()->PTS, 1500000);
    EXPECT_EQ(Form->StripFirstPTS(), Form->CurrentFrame()->PTS);
    EXPECT_TRUE(Shows(IndexAt(Form->CurrentFrame()->PTS)));
}

TEST_F(MainWindowInHand, ADeletedFrameShowsTheDeletedMarkAloneInsideTheClip) {
    TThumbStrip* strip = Form->ShotView;
    ASSERT_GE(strip->Count(), 5);
    // The whole video is the clip: every frame carries the in-clip mark.
    QTest::mouseClick(strip->viewport(), Qt::LeftButton, {},
                      strip->ItemRect(strip->Item(3)).center());
    ASSERT_EQ(strip->GetSelCount(), 1);
    QTest::keyClick(strip, Qt::Key_Delete);
    ASSERT_TRUE(TMainStripFrame(3)->Deleted);
    ASSERT_TRUE(WaitFor([&] { return strip->PendingThumbnails() == 0; }));
    auto cell = [&](int item) {
        return strip->viewport()->grab(strip->ItemRect(strip->Item(item))).toImage();
    };
    const QImage deletedInClip = cell(3), keptInClip = cell(4);
    // The same cells with the clip moved away from them: a kept frame loses its in-clip mark, a
    // deleted one looks the same, as it never showed it.
    Form->Project()->StartPTS = FramePTS(100);
    strip->Repaint();
    QApplication::processEvents();
    EXPECT_NE(cell(4), keptInClip);
    EXPECT_EQ(cell(3), deletedInClip);
}

} // namespace

namespace {

qint64 FolderBytes(const QString& folder) {
    qint64 bytes = 0;
    for (const QFileInfo& file : QDir(folder).entryInfoList(QDir::Files))
        bytes += file.size();
    return bytes;
}

TEST_F(MainWindowInHand, TheWorkFolderKeepsItsBudgetAndPicturesComeBackFromTheVideo) {
    TFrameWriter* writer = Form->FrameWriter();
    writer->Flush();
    const qint64 one = QFileInfo(TMainStripFrame(0)->FileName).size();
    ASSERT_GT(one, 0);
    writer->SetBudget(12 * one);
    // Five groups of ten further on: the folder holds no more than its budget.
    for (int page = 0; page < 5; ++page) {
        QTest::mouseClick(Form->btnNextMore, Qt::LeftButton);
        writer->Flush();
        EXPECT_LE(FolderBytes(App->TempPath), 12 * one) << "page " << page;
    }
    ASSERT_GE(Form->ShotView->Count(), 50);
    EXPECT_TRUE(Form->Project()->IsPictureGone(TMainStripFrame(0)));
    // Back to the first frame with the keyboard: the still view shows it again, made from the
    // video.
    TThumbStrip* strip = Form->ShotView;
    strip->setFocus();
    QTest::keyClick(strip, Qt::Key_Home);
    ASSERT_EQ(Form->CurrentFrame(), TMainStripFrame(0));
    EXPECT_EQ(fixture::ReadIndexPattern(Form->FrameBitmap()), 0);
    // A thumbnail never drawn before, whose picture left the folder, comes into view: it is made
    // again and shows its frame.
    TPhotoData* unseen = nullptr;
    for (int i = 0; i < strip->Count() && !unseen; ++i)
        if (strip->Item(i)->ThumbState() == TPhotoData::tsNotLoaded &&
            Form->Project()->IsPictureGone(TMainStripFrame(i)))
            unseen = strip->Item(i);
    ASSERT_NE(unseen, nullptr);
    unseen->MakeVisible();
    ASSERT_TRUE(WaitFor([&] {
        strip->viewport()->repaint();
        return unseen->ThumbState() == TPhotoData::tsLoaded;
    }));
    EXPECT_FALSE(Form->Project()->IsPictureGone(TMainStripFrame(unseen->Index())));
    EXPECT_EQ(ItemIndex(unseen->Index()), unseen->Index());
    writer->Flush();
    EXPECT_LE(FolderBytes(App->TempPath), 12 * one);
}

} // namespace
