// The options dialog driven through ExecuteOptionForm: every control loaded and stored, the
// settings file saved on OK, Cancel changing nothing, "Apply default settings to current
// conversion" with and without a project, and the values no GIF can use refused at OK.

#include "dialogs/ColorBox.h"
#include "dialogs/OptionFrm.h"
#include "project/VGProject.h"
#include "tests/dialogs/DialogTestUtils.h"
#include "widgets/NumberEdit.h"
#include "widgets/SkinButton.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFontComboBox>
#include <QLabel>
#include <QTest>

namespace {

class OptionFormTest : public DialogTest {};

void SetText(QComboBox* box, const QString& text) {
    box->setEditText(text);
}

} // namespace

TEST_F(OptionFormTest, LoadsEverySetting) {
    Config->CropRcColor = 0x00FF00;
    Config->ShowCropRc = false;
    Config->SizeStyle = ssQuarter;
    Config->GifFPS = 17;
    Config->GifSpeed = 2.0;
    Config->GifLoop = -1;
    Config->FontName = QStringLiteral("Liberation Serif");
    Config->FontSize = 30;
    Config->FontColor = 0x123456;
    Config->FontStyles = TFontStyles{fsItalic, fsUnderline};
    Config->GifMaxFrame = 250;
    Config->DecodeNum = 12;
    TOptionForm form;
    form.LoadFromConfig();
    EXPECT_EQ(form.ceCrop->SelectedColor(), 0x00FF00u);
    EXPECT_FALSE(form.cbxShowCrop->isChecked());
    EXPECT_EQ(form.cbSize->currentIndex(), 2);
    EXPECT_EQ(form.cbFrameRate->currentText(), QStringLiteral("17"));
    EXPECT_EQ(form.cbSpeed->currentText(), QStringLiteral("200%"));
    EXPECT_EQ(form.cbLoop->currentText(), QStringLiteral("Infinite"));
    EXPECT_EQ(form.cbFont->currentText(), QStringLiteral("Liberation Serif"));
    EXPECT_EQ(form.lblFontPreview->font().family(), QStringLiteral("Liberation Serif"));
    EXPECT_EQ(form.cbFontSize->currentText(), QStringLiteral("30"));
    EXPECT_EQ(form.cbColor->SelectedColor(), 0x123456u);
    EXPECT_FALSE(form.cbxBold->isChecked());
    EXPECT_TRUE(form.cbxItalic->isChecked());
    EXPECT_EQ(form.edtMax->text(), QStringLiteral("250"));
    EXPECT_EQ(form.edtDecode->text(), QStringLiteral("12"));
    EXPECT_FALSE(form.cbxApply->isChecked());
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Options"));
}

TEST_F(OptionFormTest, OkStoresTypedValuesAndSavesTheFile) {
    Config->FontStyles = TFontStyles{fsBold, fsUnderline, fsStrikeOut};
    ASSERT_FALSE(QFile::exists(Config->ConfigFile));
    WhenShown<TOptionForm>([](TOptionForm* form) {
        form->ceCrop->SetSelectedColor(0xFF0000);
        form->cbxShowCrop->setChecked(false);
        form->cbSize->setCurrentIndex(0);
        SetText(form->cbFrameRate, QStringLiteral("50"));
        SetText(form->cbSpeed, QStringLiteral("100%"));
        SetText(form->cbLoop, QStringLiteral("Infinite"));
        SetText(form->cbFontSize, QStringLiteral("huge"));
        form->cbxItalic->setChecked(true);
        form->edtMax->setText(QStringLiteral("1"));
        form->edtDecode->setText(QStringLiteral("7"));
        QTest::mouseClick(form->btnOkMe, Qt::LeftButton);
    });
    EXPECT_TRUE(ExecuteOptionForm(nullptr));
    EXPECT_EQ(Config->CropRcColor, 0xFF0000);
    EXPECT_FALSE(Config->ShowCropRc);
    EXPECT_EQ(Config->SizeStyle, ssOriginal);
    EXPECT_EQ(Config->GifFPS, 50);
    EXPECT_DOUBLE_EQ(Config->GifSpeed, 1.0);
    EXPECT_EQ(Config->GifLoop, -1);
    EXPECT_EQ(Config->FontSize, 16);
    // Bold stays, italic is added, underline and strike-out go.
    EXPECT_EQ(Config->FontStyles, (TFontStyles{fsBold, fsItalic}));
    EXPECT_EQ(Config->GifMaxFrame, 1);
    EXPECT_EQ(Config->DecodeNum, 7);
    ASSERT_TRUE(QFile::exists(Config->ConfigFile));

    TVGConfig reread;
    reread.Load();
    EXPECT_EQ(reread.CropRcColor, 0xFF0000);
    EXPECT_EQ(reread.FontStyles, (TFontStyles{fsBold, fsItalic}));
    EXPECT_EQ(reread.GifFPS, 50);
}

TEST_F(OptionFormTest, UninstalledFontNameSurvivesOk) {
    Config->FontName = QStringLiteral("No Such Font Family");
    WhenShown<TOptionForm>([](TOptionForm* form) { form->btnOkMeClick(); });
    EXPECT_TRUE(ExecuteOptionForm(nullptr));
    EXPECT_EQ(Config->FontName, QStringLiteral("No Such Font Family"));
}

TEST_F(OptionFormTest, ApplyIsDisabledWithoutAProject) {
    WhenShown<TOptionForm>([](TOptionForm* form) {
        EXPECT_FALSE(form->cbxApply->isEnabled());
        EXPECT_FALSE(form->cbxApply->isChecked());
        form->btnOkMeClick();
    });
    EXPECT_TRUE(ExecuteOptionForm(nullptr));
}

TEST_F(OptionFormTest, ApplyGivesTheProjectTheNewDefaults) {
    TVGProj project;
    project.GifFPS = 3;
    project.SizeStyle = ssCustom;
    TTextObj* caption = project.Texts.Add();
    caption->FontName = QStringLiteral("Old");
    caption->Text = QStringLiteral("kept");
    WhenShown<TOptionForm>([](TOptionForm* form) {
        EXPECT_TRUE(form->cbxApply->isEnabled());
        EXPECT_FALSE(form->cbxApply->isChecked()); // always opens clear
        SetText(form->cbFrameRate, QStringLiteral("24"));
        form->cbSize->setCurrentIndex(2);
        form->cbFont->setEditText(QStringLiteral("Liberation Mono"));
        form->cbxApply->setChecked(true);
        form->btnOkMeClick();
    });
    EXPECT_TRUE(ExecuteOptionForm(&project));
    EXPECT_EQ(project.GifFPS, 24);
    EXPECT_EQ(project.SizeStyle, ssQuarter);
    EXPECT_EQ(caption->FontName, QStringLiteral("Liberation Mono"));
    EXPECT_EQ(caption->Text, QStringLiteral("kept"));
}

TEST_F(OptionFormTest, OkWithoutApplyLeavesTheProjectAlone) {
    TVGProj project;
    project.GifFPS = 3;
    WhenShown<TOptionForm>([](TOptionForm* form) {
        SetText(form->cbFrameRate, QStringLiteral("24"));
        form->btnOkMeClick();
    });
    EXPECT_TRUE(ExecuteOptionForm(&project));
    EXPECT_EQ(Config->GifFPS, 24);
    EXPECT_EQ(project.GifFPS, 3);
}

TEST_F(OptionFormTest, CancelWithApplyTickedChangesNothing) {
    TVGProj project;
    project.GifFPS = 3;
    WhenShown<TOptionForm>([](TOptionForm* form) {
        SetText(form->cbFrameRate, QStringLiteral("24"));
        form->cbxApply->setChecked(true);
        QTest::mouseClick(form->btnCancelMe, Qt::LeftButton);
    });
    EXPECT_FALSE(ExecuteOptionForm(&project));
    EXPECT_EQ(Config->GifFPS, 8);
    EXPECT_EQ(project.GifFPS, 3);
    EXPECT_FALSE(QFile::exists(Config->ConfigFile));
}

TEST_F(OptionFormTest, LeavingTheBoxesShowsTheirReading) {
    TOptionForm form;
    form.LoadFromConfig();
    SetText(form.cbSpeed, QStringLiteral("100"));
    form.cbSpeedExit();
    EXPECT_EQ(form.cbSpeed->currentText(), QStringLiteral("Keep Original"));
    SetText(form.cbLoop, QStringLiteral("-2"));
    form.cbLoopExit();
    EXPECT_EQ(form.cbLoop->currentText(), QStringLiteral("Infinite"));
}

TEST_F(OptionFormTest, HighDpiWidensTheNote) {
    TBaseForm::SetScreenDpiProvider([] { return 144; });
    TOptionForm wide;
    TBaseForm::SetScreenDpiProvider([] { return 96; });
    TOptionForm normal;
    EXPECT_EQ(wide.Label7->width(), normal.Label7->width() + 32);
    EXPECT_EQ(wide.Label7->palette().color(QPalette::Window), QColor(255, 0, 0));
    EXPECT_FALSE(wide.Label7->autoFillBackground());
}

// A default frame rate no GIF can show, or a frame count under 1, typed into the real controls
// and confirmed with a click on OK: one warning that names the limit, the dialog stays open with
// the control focused, and neither the settings nor their file change until it is put right.
TEST_F(OptionFormTest, FrameRateAndFrameCountsNoGifCanUseAreRefused) {
    const QString rate =
        QStringLiteral("The frame rate must be between 1 and 50 frames per second.");
    const QString max = QStringLiteral("The maximum frame count must be at least 1.");
    const QString decode = QStringLiteral("The decode frame count must be at least 1.");
    const auto control = [](TOptionForm& form, int which) -> QWidget* {
        QWidget* controls[] = {form.cbFrameRate, form.edtMax, form.edtDecode};
        return controls[which];
    };
    const std::tuple<int, QString, QString, QString> cases[] = {
        {0, QStringLiteral("51"), rate, QStringLiteral("50")},
        {0, QStringLiteral("0"), QStringLiteral("\"0\" is not a frame rate"), QStringLiteral("1")},
        {1, QStringLiteral("0"), max, QStringLiteral("1")},
        {1, QStringLiteral("-20"), max, QStringLiteral("1")},
        {2, QStringLiteral("0"), decode, QStringLiteral("2")},
        {2, QString(), decode, QStringLiteral("2")}};
    TMsgBoxRecorder boxes;
    WhenShown<TOptionForm>([&](TOptionForm* form) {
        for (const auto& [which, wrong, message, right] : cases) {
            SCOPED_TRACE(wrong.toStdString());
            QWidget* typed = control(*form, which);
            TypeInto(typed, wrong);
            const size_t before = boxes.Boxes.size();
            QTest::mouseClick(form->btnOkMe, Qt::LeftButton);
            EXPECT_EQ(boxes.Boxes.size(), before + 1);
            const TMsgBoxRequest box = boxes.Boxes.empty() ? TMsgBoxRequest{} : boxes.Boxes.back();
            EXPECT_TRUE(box.Text.startsWith(message)) << box.Text.toStdString();
            EXPECT_EQ(box.Icon, miWarning);
            EXPECT_TRUE(form->IsModalRunning());
            EXPECT_EQ(form->focusWidget(), typed);
            EXPECT_EQ(TypingEdit(typed)->text(), wrong);
            EXPECT_FALSE(QFile::exists(Config->ConfigFile));
            EXPECT_EQ(Config->GifFPS, 8);
            TypeInto(typed, right);
        }
        QTest::mouseClick(form->btnOkMe, Qt::LeftButton);
    });
    EXPECT_TRUE(ExecuteOptionForm(nullptr));
    EXPECT_EQ(boxes.Boxes.size(), std::size(cases));
    EXPECT_EQ(Config->GifFPS, 1);
    EXPECT_EQ(Config->GifMaxFrame, 1);
    EXPECT_EQ(Config->DecodeNum, 2);
    EXPECT_TRUE(QFile::exists(Config->ConfigFile));
}
