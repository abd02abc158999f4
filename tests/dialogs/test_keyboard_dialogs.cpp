// The dialogs used from the keyboard and by screen readers: Tab and Shift+Tab walk every control
// in reading order, Return or Space press the focused button, Escape still cancels, and every
// control has a name a screen reader can say.

#include "dialogs/ColorBox.h"
#include "dialogs/CropFrm.h"
#include "dialogs/FontColorDialog.h"
#include "dialogs/OptionFrm.h"
#include "dialogs/SettingFrm.h"
#include "project/VGProject.h"
#include "tests/dialogs/DialogTestUtils.h"
#include "tests/widgets/KeyboardWalk.h"
#include "widgets/ColorSwatchControl.h"
#include "widgets/NumberEdit.h"
#include "widgets/SkinButton.h"

#include <QCheckBox>
#include <QDialog>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>

namespace {

class DialogKeyboard : public DialogTest {
protected:
    // Shows the dialog without a modal loop and makes it the active window.
    static bool Show(TBaseForm* form) {
        form->show();
        return ActivateDialog(form);
    }
};

// With the focus on the first control, Tab visits the others in `order` and comes round to the
// first again; Shift+Tab goes the same way back.
void ExpectTabCycle(QWidget* first, const TNames& order) {
    first->setFocus(Qt::OtherFocusReason);
    ASSERT_EQ(FocusedControl(), order.front());
    TNames forward(order.begin() + 1, order.end());
    forward.push_back(order.front());
    EXPECT_EQ(WalkTabs(int(order.size())), forward);
    const TNames backward(order.rbegin(), order.rend());
    EXPECT_EQ(WalkTabs(int(order.size()), true), backward);
}

// The names screen readers say for the named controls of a window, in the same order.
TNames NamesOf(QWidget* window, const TNames& controls) {
    TNames names;
    for (const std::string& control : controls)
        names.push_back(
            AccessibleName(window->findChild<QWidget*>(QString::fromStdString(control))));
    return names;
}

bool Visits(const TNames& walk, const std::string& control) {
    return std::find(walk.begin(), walk.end(), control) != walk.end();
}

const TNames OptionOrder = {"cbxShowCrop", "cbSize",     "cbFrameRate", "cbSpeed", "cbLoop",
                            "cbFont",      "cbFontSize", "cbColor",     "cbxBold", "cbxItalic",
                            "edtMax",      "edtDecode",  "cbxApply",    "btnOkMe", "btnCancelMe"};

TEST_F(DialogKeyboard, OptionsAreWalkedInReadingOrderAndNamedByTheirCaptions) {
    TOptionForm form;
    ASSERT_TRUE(Show(&form));
    EXPECT_EQ(FocusedControl(), OptionOrder.front()) << "the dialog opens on its first control";
    ExpectTabCycle(form.cbxShowCrop, OptionOrder);
    EXPECT_FALSE(Visits(WalkTabs(40), "ceCrop")) << "the crop area colour is no tab stop";
    EXPECT_EQ(
        NamesOf(&form, OptionOrder),
        TNames({"Show crop area", "Size style", "Frame rate", "GIF speed", "Replay times", "Name",
                "Size", "Color", "Bold", "Italic", "Max frame count", "Decode frame count",
                "Apply default settings to current conversion", "OK", "Cancel"}));
    EXPECT_EQ(AccessibleName(form.ceCrop), "Area color");
}

TEST_F(DialogKeyboard, ReturnOnTheFocusedOkStoresTheOptionsAndSpaceOnCancelDoesNot) {
    Config->GifMaxFrame = 100;
    WhenShown<TOptionForm>([](TOptionForm* form) {
        if (!ActivateDialog(form))
            return;
        form->edtMax->setFocus(Qt::TabFocusReason);
        TypeInto(form->edtMax, QStringLiteral("250"));
        // Without a project "Apply default settings" is disabled and passed over.
        EXPECT_EQ(WalkTabs(2), TNames({"edtDecode", "btnOkMe"}));
        QTest::keyClick(form->btnOkMe, Qt::Key_Return);
    });
    EXPECT_TRUE(ExecuteOptionForm(nullptr));
    EXPECT_EQ(Config->GifMaxFrame, 250);

    WhenShown<TOptionForm>([](TOptionForm* form) {
        if (!ActivateDialog(form))
            return;
        TypeInto(form->edtMax, QStringLiteral("300"));
        form->btnCancelMe->setFocus(Qt::TabFocusReason);
        QTest::keyClick(form->btnCancelMe, Qt::Key_Space);
    });
    EXPECT_FALSE(ExecuteOptionForm(nullptr));
    EXPECT_EQ(Config->GifMaxFrame, 250);
}

class SettingKeyboard : public DialogKeyboard {
protected:
    void SetUp() override {
        DialogKeyboard::SetUp();
        TSettingForm::SetLastPage(0);
    }
    void TearDown() override {
        TSettingForm::SetLastPage(0);
        DialogKeyboard::TearDown();
    }
    // The order Tab takes on a page: the page tabs, the page's controls, OK and Cancel.
    static TNames PageOrder(const TNames& controls) {
        TNames order{"PageControl1"};
        order.insert(order.end(), controls.begin(), controls.end());
        order.insert(order.end(), {"btnOkMe", "btnCancelMe"});
        return order;
    }
};

TEST_F(SettingKeyboard, TabWalksEachPageInReadingOrderAndTheArrowsTurnThePages) {
    TSettingForm form;
    ASSERT_TRUE(Show(&form));
    EXPECT_EQ(FocusedControl(), "PageControl1");
    // A group of buttons of which one is down (the alignments, the frame orders) is one stop.
    const TNames pages[] = {
        {"edtW", "edtH", "cbSize", "cbFrameRate", "cbLoop", "cbSpeed", "edtQuality", "cbFormat",
         "edtMaxSize"},
        {"lbText", "mmText", "btnAddText", "btnDelText", "btnTextFont", "cgText", "btnAlignLeft",
         "edtTextX", "edtTextY"},
        {"cbxLogo", "edtLogo", "edtLogoButton", "edtLogoW", "edtLogoH", "edtLogoX", "edtLogoY"},
        {"cbxFlipH", "cbxFlipV", "cbRotate"},
        {"rbOriginal"}};
    QWidget* tabs = QApplication::focusWidget();
    for (int page = 0; page < 5; ++page) {
        SCOPED_TRACE(page);
        ASSERT_EQ(form.PageControl1->currentIndex(), page);
        ExpectTabCycle(tabs, PageOrder(pages[page]));
        QTest::keyClick(tabs, Qt::Key_Right);
    }
}

TEST_F(SettingKeyboard, EveryControlHasAName) {
    TSettingForm form;
    const std::pair<const char*, const char*> names[] = {{"edtW", "Width"},
                                                         {"edtH", "Height"},
                                                         {"cbSize", "Size"},
                                                         {"cbFrameRate", "Frame rate"},
                                                         {"cbLoop", "Replay times"},
                                                         {"cbSpeed", "GIF speed"},
                                                         {"edtQuality", "Quality"},
                                                         {"cbFormat", "Format"},
                                                         {"edtMaxSize", "Size limit"},
                                                         {"lbText", "Text list"},
                                                         {"mmText", "Text"},
                                                         {"btnAddText", "Add"},
                                                         {"btnDelText", "Delete"},
                                                         {"btnTextFont", "Font"},
                                                         {"cgText", "Color"},
                                                         {"btnAlignLeft", "Left"},
                                                         {"edtTextX", "Position X"},
                                                         {"edtTextY", "Position Y"},
                                                         {"cbxLogo", "Use custom logo"},
                                                         {"edtLogo", "Logo"},
                                                         {"edtLogoButton", "Browse"},
                                                         {"edtLogoW", "Logo width"},
                                                         {"edtLogoY", "Logo position Y"},
                                                         {"cbRotate", "Rotate:"},
                                                         {"rbPingPong", "Ping-Pong Seamless Loop"}};
    for (const auto& [control, name] : names)
        EXPECT_EQ(AccessibleName(form.findChild<QWidget*>(QString::fromLatin1(control))), name)
            << control;
}

TEST_F(SettingKeyboard, TabLeavesTheCaptionTextInsteadOfTypingATab) {
    TSettingForm form;
    ASSERT_TRUE(Show(&form));
    form.PageControl1->setCurrentIndex(1);
    form.btnAddTextClick();
    form.mmText->setFocus(Qt::TabFocusReason);
    QTest::keyClicks(form.mmText, QStringLiteral("Hello"));
    QTest::keyClick(form.mmText, Qt::Key_Tab);
    EXPECT_EQ(FocusedControl(), "btnAddText");
    EXPECT_EQ(form.mmText->toPlainText().toStdString(), "Hello");
}

class CropKeyboard : public DialogKeyboard {
protected:
    void SetUp() override {
        DialogKeyboard::SetUp();
        Project.VideoWidth = 640;
        Project.VideoHeight = 360;
        Project.CropRect = {0, 0, 640, 360};
    }
    TVGProj Project;
};

TEST_F(CropKeyboard, TheEditsAreTabStopsOnlyWhileCroppingIsOnAndSpaceTurnsItOn) {
    Project.CropEnabled = false;
    TCropForm form;
    form.SetProject(&Project);
    form.LoadFromProject();
    ASSERT_TRUE(Show(&form));
    EXPECT_EQ(FocusedControl(), "cbxCrop");
    ExpectTabCycle(form.cbxCrop, {"cbxCrop", "btnOkMe", "btnCancelMe"});
    form.cbxCrop->setFocus(Qt::TabFocusReason);
    QTest::keyClick(form.cbxCrop, Qt::Key_Space);
    ASSERT_TRUE(form.cbxCrop->isChecked());
    ExpectTabCycle(form.cbxCrop, {"cbxCrop", "edtCropX", "edtCropY", "edtCropW", "edtCropH",
                                  "btnOkMe", "btnCancelMe"});
    EXPECT_EQ(NamesOf(&form, {"cbxCrop", "edtCropX", "edtCropY", "edtCropW", "edtCropH"}),
              TNames({"Use crop", "X", "Y", "Width", "Height"}));
    // The title bar's buttons are no tab stops; they still have names.
    EXPECT_EQ(AccessibleName(form.FrontMaxButton()), "Maximize");
    EXPECT_EQ(form.FrontMaxButton()->focusPolicy(), Qt::NoFocus);
}

TEST(ColorBoxAccessible, ACustomColourIsSaidInWordsNotAsItsHexCaption) {
    TColorBox box;
    box.SetSelectedColor(0x0080FF); // orange in 0x00BBGGRR
    EXPECT_EQ(box.currentText().toStdString(), "$0080FF");
    EXPECT_EQ(box.itemData(box.currentIndex(), Qt::AccessibleTextRole).toString().toStdString(),
              "Custom color: red 255, green 128, blue 0");
    box.SetSelectedColor(0x123456);
    EXPECT_EQ(box.itemData(1, Qt::AccessibleTextRole).toString().toStdString(),
              "Custom color: red 86, green 52, blue 18");
}

TEST(FontColorDialogKeyboard, TheColourFollowsTheFontChoicesAndEscapeCancels) {
    bool checked = false;
    QTimer::singleShot(0, [&checked] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog) {
            ADD_FAILURE() << "the font dialog did not show";
            return;
        }
        if (QTest::qWaitForWindowActive(dialog)) {
            auto* swatch = dialog->findChild<TColorSwatchControl*>();
            EXPECT_EQ(AccessibleName(swatch), "Color");
            swatch->setFocus(Qt::TabFocusReason);
            QTest::keyClick(swatch, Qt::Key_Tab);
            auto* ok = qobject_cast<QPushButton*>(QApplication::focusWidget());
            EXPECT_TRUE(ok && AccessibleName(ok) == "OK");
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
            EXPECT_EQ(QApplication::focusWidget(), swatch);
            QTest::keyClick(swatch, Qt::Key_Escape);
            checked = true;
        }
        if (dialog->isVisible()) {
            ADD_FAILURE() << "Escape did not close the font dialog";
            dialog->reject();
        }
    });
    THeldFont font{QStringLiteral("Liberation Sans"), 20, {}, 0x0000FF};
    EXPECT_FALSE(ChooseFontWithColor(font, nullptr));
    EXPECT_TRUE(checked);
    EXPECT_EQ(font.Size, 20);
}

} // namespace
