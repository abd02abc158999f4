// The preview window from the keyboard: it opens on "Save GIF File" without a focus ring, Tab
// walks the buttons and the colour box in reading order (the folder button once there is a saved
// copy), Return saves and opens the folder, Escape closes; screen readers hear every control's
// name.

#include "conversion/PreviewFrm.h"
#include "tests/conversion/ConversionTestUtils.h"
#include "tests/gifimage/GifMaker.h"
#include "tests/support/DesktopRecorder.h"
#include "tests/support/TestUtils.h"
#include "tests/widgets/KeyboardWalk.h"
#include "widgets/ColorSwatchControl.h"
#include "widgets/SkinButton.h"

#include <QDir>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class PreviewKeyboard : public ::testing::Test {
protected:
    void SetUp() override {
        Project = std::make_unique<TVGProj>([] { return TProjectDefaults(); });
        Project->SizeStyle = ssOriginal;
        Project->VideoWidth = 100;
        Project->VideoHeight = 80;
        Project->CropRect = TRectL{0, 0, 100, 80};
        Project->VideoFile = Dir.filePath(QStringLiteral("clip.mp4"));
        Project->GifFile = Dir.filePath(QStringLiteral("preview.gif"));
        TTestGif gif{100, 80, FourColours(), 0, {}};
        gif.Frames.push_back(FilledFrame(QRect(0, 0, 100, 80), 2));
        ASSERT_TRUE(WriteFile(Project->GifFile, WriteTestGif(gif)));
        OldDialog = TPreviewForm::SetSaveDialog([this](QWidget*, const TSaveDialogRequest&) {
            ++SaveDialogs;
            return Dir.filePath(QStringLiteral("saved.gif"));
        });
    }
    void TearDown() override { TPreviewForm::SetSaveDialog(OldDialog); }

    QTemporaryDir Dir;
    std::unique_ptr<TVGProj> Project;
    TBoxRecorder Boxes;
    int SaveDialogs = 0;
    TDesktopRecorder Desktop;
    QStringList& Opened = Desktop.Opened;
    TPreviewForm::TSaveDialog OldDialog;
};

TEST_F(PreviewKeyboard, TabWalksTheButtonsAndReturnSavesOpensTheFolderAndEscapeCloses) {
    TPreviewForm form;
    form.SetProject(Project.get());
    form.show();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    EXPECT_EQ(FocusedControl(), "btnSave");
    EXPECT_FALSE(form.btnSave->ShowsFocusRing()) << "opening gives the focus, not the keyboard";
    // Nothing saved yet: the folder button is disabled and passed over.
    EXPECT_EQ(WalkTabs(3), TNames({"ceBK", "btnClose", "btnSave"}));
    EXPECT_TRUE(form.btnSave->ShowsFocusRing());
    EXPECT_EQ(WalkTabs(1, true), TNames({"btnClose"}));
    EXPECT_EQ(WalkTabs(1), TNames({"btnSave"}));

    QTest::keyClick(form.btnSave, Qt::Key_Return);
    EXPECT_EQ(SaveDialogs, 1);
    ASSERT_TRUE(form.btnOpenFolder->isEnabled());
    EXPECT_EQ(WalkTabs(4), TNames({"btnOpenFolder", "ceBK", "btnClose", "btnSave"}));
    form.btnOpenFolder->setFocus(Qt::TabFocusReason);
    QTest::keyClick(form.btnOpenFolder, Qt::Key_Space);
    ASSERT_EQ(Opened.size(), 1);
    EXPECT_EQ(Opened[0].toStdString(), QDir(Dir.path()).absolutePath().toStdString());

    QTest::keyClick(form.btnOpenFolder, Qt::Key_Escape);
    EXPECT_FALSE(form.isVisible()) << "saved: Escape closes without asking";
    EXPECT_TRUE(Boxes.Boxes.empty());
}

TEST_F(PreviewKeyboard, EveryControlHasAName) {
    TPreviewForm form;
    EXPECT_EQ(AccessibleName(form.btnSave), "Save GIF File");
    EXPECT_EQ(AccessibleName(form.btnOpenFolder), "Open Output Folder");
    EXPECT_EQ(AccessibleName(form.btnClose), "Close");
    EXPECT_EQ(AccessibleName(form.ceBK), "Background color");
    EXPECT_EQ(form.lblBK->buddy(), form.ceBK);
    for (TSkinButton* button : {form.btnSave, form.btnOpenFolder, form.btnClose})
        EXPECT_EQ(button->focusPolicy(), Qt::StrongFocus);
}

} // namespace
