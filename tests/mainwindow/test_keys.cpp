// The main window from the keyboard: Tab and Shift+Tab in reading order, every shortcut sent as a
// real key event, keys left to the time edits while they have the focus, and the names screen
// readers read.

#include "MainWindowTest.h"
#include "decoder/CustomDecoder.h"
#include "mainwindow/MainChrome.h"
#include "tests/support/DesktopRecorder.h"

#include <QAccessible>
#include <QApplication>
#include <QLineEdit>

namespace {

class MainWindowKeys : public MainWindowWithClip {
protected:
    // Sends the key where the keyboard sends it: to the widget with the focus.
    void Key(int key, Qt::KeyboardModifiers modifiers = {}) {
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : Form.get();
        QTest::keyClick(target, Qt::Key(key), modifiers);
    }
    QString Focused() const {
        return QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString();
    }
    // The time of the strip's focused frame (-1 for none).
    int64_t FocusedPTS() const {
        const TPhotoData* item = Form->ShotView->GetFocusedPhoto();
        return item ? static_cast<const TVGFrame*>(item->Data)->PTS : -1;
    }
};

} // namespace

TEST_F(MainWindowKeys, TabWalksEveryControlInReadingOrderAndShiftTabWalksBack) {
    // Paused with a video open: the pause button is hidden, everything else takes part.
    const QStringList order = {"btnOptions",   "btnHelp",       "TrackBar",    "btnInfo",
                               "btnPriorMore", "ShotView",      "btnNextMore", "Button1",
                               "btnPlay",      "btnMore",       "btnStart",    "edtStart",
                               "btnEnd",       "edtEnd",        "btnCrop",     "btnSetting",
                               "btnConvert",   "btnPriorFrame", "btnNextFrame"};
    Form->btnOptions->setFocus(Qt::TabFocusReason);
    QStringList walked{Focused()};
    for (int i = 1; i < order.size() + 1; ++i) {
        Key(Qt::Key_Tab);
        walked << Focused();
    }
    EXPECT_EQ(walked, order + QStringList{"btnOptions"});
    QStringList back{Focused()};
    for (int i = 1; i < order.size() + 1; ++i) {
        Key(Qt::Key_Backtab, Qt::ShiftModifier);
        back << Focused();
    }
    QStringList reversed(order.rbegin(), order.rend());
    EXPECT_EQ(back, QStringList{"btnOptions"} + reversed);

    // A click on a button leaves the focus where it was; Return on a focused button presses it.
    Form->ShotView->setFocus(Qt::TabFocusReason);
    QTest::mouseClick(Form->btnNextMore, Qt::LeftButton);
    EXPECT_EQ(Focused(), "ShotView");
    const int64_t lastBefore = Form->StripLastPTS();
    Form->btnNextMore->setFocus(Qt::TabFocusReason);
    Key(Qt::Key_Return);
    EXPECT_GT(Form->StripLastPTS(), lastBefore);
}

TEST_F(MainWindowKeys, EveryShortcutDoesWhatItsButtonDoes) {
    TThumbStrip* strip = Form->ShotView;
    // The window opens with the strip focused (not the first button, which Space would press).
    EXPECT_EQ(QApplication::focusWidget(), strip);
    // Right and Left step one frame, as the frame buttons.
    const int64_t first = FocusedPTS();
    ASSERT_GE(first, 0);
    Key(Qt::Key_Right);
    Key(Qt::Key_Right);
    EXPECT_EQ(FocusedPTS(), first + FramePTS(2));
    Key(Qt::Key_Left);
    EXPECT_EQ(FocusedPTS(), first + FramePTS(1));
    // Shift+Right and Shift+Left: the next and previous group.
    // Here the strip starts with the video: the next group is added and its last frame
    // focused; the previous one has nothing to add and focuses the first frame.
    const int64_t stripEnd = Form->StripLastPTS();
    Key(Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_GT(Form->StripLastPTS(), stripEnd);
    EXPECT_EQ(FocusedPTS(), Form->StripLastPTS());
    Key(Qt::Key_Left, Qt::ShiftModifier);
    EXPECT_EQ(FocusedPTS(), 0);
    // Delete: the selected frames, whichever control has the focus.
    Form->btnCrop->setFocus(Qt::TabFocusReason);
    TVGFrame* selected = static_cast<TVGFrame*>(strip->GetSelPhoto(0)->Data);
    ASSERT_FALSE(selected->Deleted);
    Key(Qt::Key_Delete);
    EXPECT_TRUE(selected->Deleted);
    // Space plays and pauses.
    strip->setFocus(Qt::OtherFocusReason);
    Key(Qt::Key_Space);
    EXPECT_TRUE(Form->btnPause->isVisible());
    EXPECT_NE(Form->PlayThread(), nullptr);
    Key(Qt::Key_Space);
    EXPECT_TRUE(Form->btnPlay->isVisible());
    EXPECT_EQ(Form->PlayThread(), nullptr);
    // Space on a focused button presses that button: Start takes the current time.
    Form->btnStart->setFocus(Qt::TabFocusReason);
    Key(Qt::Key_Space);
    EXPECT_TRUE(Form->btnPlay->isVisible());
    EXPECT_EQ(Form->edtStart->text(), FormatPTS(Form->CurPTS(), 3));
    // Ctrl+Return converts: here Convert's own refusal of an inverted clip shows it ran.
    for (const auto& [edit, digits] :
         {std::pair{Form->edtStart, "000005000"}, std::pair{Form->edtEnd, "000002000"}}) {
        QTest::mouseClick(edit, Qt::LeftButton);
        edit->selectAll();
        QTest::keyClicks(edit, QString::fromLatin1(digits));
        Key(Qt::Key_Return);
    }
    Messages.clear();
    strip->setFocus(Qt::OtherFocusReason);
    Key(Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(Messages, QStringList{"The start time is after the end time."});
    // F1: the help pages.
    {
        TDesktopRecorder desktop;
        Key(Qt::Key_F1);
        EXPECT_EQ(desktop.Opened, QStringList{TApp::GetGuideUrl()});
    }
    // Ctrl+O: the open dialog, which opens the chosen video.
    NextFile = FixturePath(ShortClip);
    Key(Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(Form->Project()->VideoFile, NextFile);
    // Ctrl+Q closes the program's window.
    Key(Qt::Key_Q, Qt::ControlModifier);
    EXPECT_TRUE(WaitFor([&] { return !Form->isVisible(); }));
}

TEST_F(MainWindowKeys, TheTimeEditsKeepTheKeysTheyTypeWith) {
    QLineEdit* edit = Form->edtStart;
    QTest::mouseClick(edit, Qt::LeftButton);
    edit->setCursorPosition(1);
    const int64_t frame = FocusedPTS();
    Key(Qt::Key_Right);
    EXPECT_EQ(edit->cursorPosition(), 3) << "the cursor moves in the edit, over the colon";
    Key(Qt::Key_Left);
    Key(Qt::Key_Space);
    EXPECT_EQ(FocusedPTS(), frame) << "no frame step";
    EXPECT_TRUE(Form->btnPlay->isVisible()) << "no playback";
    EXPECT_EQ(Form->PlayThread(), nullptr);
}

TEST_F(MainWindowKeys, ScreenReadersHearWhatEachControlIsAndWhereThePlayerStands) {
    auto name = [](QWidget* widget) {
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
        return face ? face->text(QAccessible::Name) : QStringLiteral("<none>");
    };
    auto description = [](QWidget* widget) {
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
        return face ? face->text(QAccessible::Description) : QStringLiteral("<none>");
    };
    EXPECT_EQ(name(Form->Button1), "Open");
    EXPECT_EQ(name(Form->btnConvert), "Convert");
    EXPECT_EQ(name(Form->btnNextMore), "Next group");
    EXPECT_EQ(description(Form->btnNextMore), "Shortcut: Shift+Right");
    EXPECT_EQ(name(Form->btnPriorFrame), "Last frame");
    EXPECT_EQ(description(Form->btnPlay), "Shortcut: Space");
    EXPECT_EQ(name(Form->btnMore), "More actions");
    EXPECT_EQ(name(Form->btnInfo), "Video information");
    EXPECT_EQ(name(Form->edtStart), "Start time");
    EXPECT_EQ(name(Form->edtEnd), "End time");
    QAccessibleInterface* edit = QAccessible::queryAccessibleInterface(Form->edtStart);
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->text(QAccessible::Value), Form->edtStart->text());
    EXPECT_EQ(name(Form->TrackBar), "Position");
    EXPECT_EQ(description(Form->TrackBar), "00:00:00.000 of 00:00:06.000");
    // The track bar moved from the keyboard says the new time.
    Form->TrackBar->setFocus(Qt::TabFocusReason);
    Key(Qt::Key_End);
    EXPECT_EQ(description(Form->TrackBar), "00:00:06.000 of 00:00:06.000");
    // The hints name their shortcuts.
    EXPECT_EQ(Form->btnPlay->toolTip(), "Play (Space)");
    EXPECT_EQ(Form->btnPause->toolTip(), "Pause (Space)");
    EXPECT_EQ(Form->Button1->toolTip(), "Open (Ctrl+O)");
    EXPECT_EQ(Form->btnNextMore->toolTip(), "Next group (Shift+Right)");
    EXPECT_EQ(Form->btnConvert->toolTip(), "Convert (Ctrl+Return)");
    EXPECT_EQ(Form->pmiHelp->shortcut(), QKeySequence(Qt::Key_F1));
}
