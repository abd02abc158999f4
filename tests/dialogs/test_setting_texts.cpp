// The output settings dialog's captions, logo page and flip and rotation preview.

#include "dialogs/FontColorDialog.h"
#include "dialogs/SettingFrm.h"
#include "project/VGProject.h"
#include "tests/dialogs/DialogTestUtils.h"
#include "widgets/ColorSwatchControl.h"
#include "widgets/FlatControls.h"
#include "widgets/NumberEdit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QToolButton>

namespace {

class SettingTextsTest : public SettingDialogTest {
protected:
    void SetUp() override {
        SettingDialogTest::SetUp();
        Config->FontName = QStringLiteral("Liberation Mono");
        Config->FontSize = 18;
        Config->FontColor = 0x00FFFF;
        Config->FontStyles = TFontStyles{fsItalic};
    }
};

// A picture whose four quarters have four colours, so every turn and mirror is told apart.
// Red top-left, green top-right, blue bottom-left, white bottom-right.
QImage MarkedPicture(int width = 8, int height = 4) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y,
                           y < height / 2
                               ? (x < width / 2 ? qRgb(255, 0, 0) : qRgb(0, 255, 0))
                               : (x < width / 2 ? qRgb(0, 0, 255) : qRgb(255, 255, 255)));
    return image;
}

QRgb At(const QImage& image, int x, int y) {
    return image.pixel(x, y) | 0xFF000000;
}

} // namespace

TEST_F(SettingTextsTest, ProjectWithoutCaptionsOpensWithOneEmptyRow) {
    WhenShown<TSettingForm>([](TSettingForm* form) {
        EXPECT_EQ(Rows(*form), QStringList{QStringLiteral("Text 1")});
        EXPECT_EQ(form->lbText->currentRow(), 0);
        EXPECT_TRUE(form->mmText->isEnabled());
        EXPECT_TRUE(form->cgText->isEnabled());
        // The new caption has the settings' font.
        EXPECT_EQ(form->HeldFont().Name, QStringLiteral("Liberation Mono"));
        EXPECT_EQ(form->HeldFont().Size, 18);
        EXPECT_EQ(form->cgText->SelectedColor(), 0x00FFFFu);
        form->btnOkMeClick();
    });
    EXPECT_TRUE(ExecuteSettingForm(&Project, QImage()));
    EXPECT_EQ(Project.Texts.Count(), 0);
}

TEST_F(SettingTextsTest, NewCaptionIsAdoptedWithEveryField) {
    const auto form = Open();
    form->mmText->setPlainText(QStringLiteral("Hello\nworld"));
    form->edtTextX->setText(QStringLiteral("40"));
    form->edtTextY->setText(QStringLiteral("x"));
    form->btnAlignCenter->click();
    form->cgText->SetSelectedColor(0x0000FF);
    form->btnOkMeClick();
    ASSERT_EQ(Project.Texts.Count(), 1);
    const TTextObj* t = Project.Texts[0];
    EXPECT_EQ(t->Text, QStringLiteral("Hello\nworld"));
    EXPECT_EQ(t->X, 40);
    EXPECT_EQ(t->Y, 0);
    EXPECT_EQ(int(t->Alignment), 2);
    EXPECT_EQ(t->FontColor, 0x0000FF);
    EXPECT_EQ(t->FontName, QStringLiteral("Liberation Mono"));
    EXPECT_EQ(t->FontSize, 18);
    EXPECT_EQ(t->FontStyles, int(fsItalicBit));
}

TEST_F(SettingTextsTest, BlankNewCaptionsAreNotAdoptedButEmptiedOnesStay) {
    AddCaption(QStringLiteral("old"));
    const auto form = Open();
    form->mmText->setPlainText(QString()); // the project's caption emptied
    form->btnAddTextClick();
    form->mmText->setPlainText(QStringLiteral("   \n  "));
    form->btnAddTextClick();
    form->mmText->setPlainText(QStringLiteral("kept"));
    form->btnOkMeClick();
    ASSERT_EQ(Project.Texts.Count(), 2);
    EXPECT_EQ(Project.Texts[0]->Text, QString());
    EXPECT_EQ(Project.Texts[1]->Text, QStringLiteral("kept"));
}

TEST_F(SettingTextsTest, RowsAfterDeleteAndAdd) {
    const auto form = Open();
    form->btnAddTextClick();
    EXPECT_EQ(Rows(*form), (QStringList{QStringLiteral("Text 1"), QStringLiteral("Text 2")}));
    form->lbText->setCurrentRow(0);
    form->btnDelTextClick();
    EXPECT_EQ(form->lbText->currentRow(), 0);
    form->btnAddTextClick();
    EXPECT_EQ(Rows(*form), (QStringList{QStringLiteral("Text 2"), QStringLiteral("Text 2")}));
    EXPECT_EQ(form->lbText->currentRow(), 1);
    // Deleting the last row selects the new last row; deleting all shows none.
    form->btnDelTextClick();
    EXPECT_EQ(form->lbText->currentRow(), 0);
    form->btnDelTextClick();
    EXPECT_EQ(form->lbText->count(), 0);
    EXPECT_EQ(form->CurrentText(), nullptr);
    EXPECT_FALSE(form->mmText->isEnabled());
    EXPECT_FALSE(form->btnAlignLeft->isEnabled());
    EXPECT_EQ(form->edtTextX->text(), QStringLiteral("0"));
    form->btnDelTextClick(); // nothing selected: nothing happens
    form->btnOkMeClick();
    EXPECT_EQ(Project.Texts.Count(), 0);
}

TEST_F(SettingTextsTest, DeletingAProjectCaptionSurvivesCancel) {
    AddCaption(QStringLiteral("first"));
    AddCaption(QStringLiteral("second"));
    WhenShown<TSettingForm>([](TSettingForm* form) {
        EXPECT_EQ(form->mmText->toPlainText(), QStringLiteral("first"));
        form->btnDelTextClick();
        EXPECT_EQ(form->mmText->toPlainText(), QStringLiteral("second"));
        form->btnCancelMeClick();
    });
    EXPECT_FALSE(ExecuteSettingForm(&Project, QImage()));
    ASSERT_EQ(Project.Texts.Count(), 1);
    EXPECT_EQ(Project.Texts[0]->Text, QStringLiteral("second"));
}

TEST_F(SettingTextsTest, SelectingAnotherRowStoresTheProjectCaptionAtOnce) {
    TTextObj* first = AddCaption(QStringLiteral("first"));
    first->Alignment = static_cast<decltype(first->Alignment)>(1);
    AddCaption(QStringLiteral("second"));
    WhenShown<TSettingForm>([](TSettingForm* form) {
        EXPECT_TRUE(form->btnAlignRight->isChecked());
        form->mmText->setPlainText(QStringLiteral("changed"));
        form->btnAlignLeft->click();
        form->lbText->setCurrentRow(1);
        EXPECT_EQ(form->mmText->toPlainText(), QStringLiteral("second"));
        form->btnCancelMeClick();
    });
    EXPECT_FALSE(ExecuteSettingForm(&Project, QImage()));
    EXPECT_EQ(first->Text, QStringLiteral("changed"));
    EXPECT_EQ(int(first->Alignment), 0);
}

TEST_F(SettingTextsTest, FontDialogSetsFontAndColour) {
    TTextObj* caption = AddCaption(QStringLiteral("styled"));
    THeldFont offered;
    SetFontChooser([&](THeldFont& font, QWidget*) {
        offered = font;
        font = THeldFont{QStringLiteral("Liberation Serif"), 33,
                         fsBoldBit | fsUnderlineBit | fsStrikeOutBit, 0x00FF00};
        return true;
    });
    const auto form = Open();
    form->btnTextFontClick();
    EXPECT_EQ(offered.Name, QStringLiteral("Liberation Sans"));
    EXPECT_EQ(offered.Size, 20);
    EXPECT_EQ(form->cgText->SelectedColor(), 0x00FF00u);
    form->btnOkMeClick();
    EXPECT_EQ(caption->FontName, QStringLiteral("Liberation Serif"));
    EXPECT_EQ(caption->FontSize, 33);
    EXPECT_EQ(caption->FontStyles, fsBoldBit | fsUnderlineBit | fsStrikeOutBit);
    EXPECT_EQ(caption->FontColor, 0x00FF00);

    // Cancelling the font dialog changes nothing.
    SetFontChooser([](THeldFont& font, QWidget*) {
        font.Size = 99;
        return false;
    });
    const auto again = Open();
    again->btnTextFontClick();
    EXPECT_EQ(again->HeldFont().Size, 33);
}

TEST_F(SettingTextsTest, LogoPictureGivesItsSizeAndDropsTheCachedLogo) {
    QTemporaryDir dir;
    const QString picture = dir.filePath(QStringLiteral("logo.png"));
    ASSERT_TRUE(QImage(37, 21, QImage::Format_RGB32).save(picture));
    const QString notPicture = dir.filePath(QStringLiteral("logo.txt"));
    ASSERT_TRUE(WriteFile(notPicture, "not a picture"));
    QString answer = picture;
    QString filter;
    TSettingForm::SetPictureChooser([&](QWidget*, const QString& f) {
        filter = f;
        return answer;
    });
    Project.LogoImage = QImage(5, 5, QImage::Format_RGB32);
    const auto form = Open();
    form->cbxLogo->click();
    EXPECT_TRUE(form->edtLogo->isEnabled());
    form->edtLogoButtonClick();
    EXPECT_TRUE(filter.startsWith(QLatin1String("Image files (*.bmp *.dib *.jpg")));
    EXPECT_EQ(form->edtLogo->text(), picture);
    EXPECT_EQ(form->edtLogoW->text(), QStringLiteral("37"));
    EXPECT_EQ(form->edtLogoH->text(), QStringLiteral("21"));
    EXPECT_TRUE(Project.LogoImage.isNull());

    answer = notPicture;
    form->edtLogoButtonClick();
    EXPECT_EQ(form->edtLogoW->text(), QStringLiteral("0"));
    EXPECT_EQ(form->edtLogoH->text(), QStringLiteral("0"));

    answer.clear(); // cancelled
    form->edtLogoButtonClick();
    EXPECT_EQ(form->edtLogo->text(), notPicture);
    form->cbxLogo->click();
    EXPECT_FALSE(form->edtLogoW->isEnabled());
}

TEST_F(SettingTextsTest, PreviewTurnsRotateThenMirror) {
    const auto form = Open(MarkedPicture());
    ASSERT_EQ(form->PreviewSource().size(), QSize(8, 4));
    form->cbRotate->setCurrentIndex(1); // 90 degrees clockwise
    const QImage turned = form->PreviewResult();
    ASSERT_EQ(turned.size(), QSize(4, 8));
    // Clockwise: the left column (red over blue) becomes the top row (blue, red).
    EXPECT_EQ(At(turned, 0, 0), qRgb(0, 0, 255));
    EXPECT_EQ(At(turned, 3, 0), qRgb(255, 0, 0));
    EXPECT_EQ(At(turned, 0, 7), qRgb(255, 255, 255));
    form->cbxFlipH->click();
    const QImage mirrored = form->PreviewResult();
    EXPECT_EQ(At(mirrored, 0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(At(mirrored, 3, 0), qRgb(0, 0, 255));
    EXPECT_EQ(At(mirrored, 0, 7), qRgb(0, 255, 0));
    form->cbxFlipV->click();
    EXPECT_EQ(At(form->PreviewResult(), 0, 0), qRgb(0, 255, 0));
}

TEST_F(SettingTextsTest, PanelShowsTheTurnedPictureReducedAndCentred) {
    const auto form = Open(MarkedPicture(160, 80));
    form->pnlPreview->resize(80, 80);
    auto shown = [&](int x, int y) {
        return form->pnlPreview->grab().toImage().pixel(x, y) | 0xFF000000;
    };
    form->cbRotate->setCurrentIndex(1);
    form->cbxFlipH->click();
    form->cbxFlipV->click();
    // 80 x 160 turned, reduced to 40 x 80 between x 20 and 60.
    EXPECT_EQ(shown(30, 20), qRgb(0, 255, 0));
    EXPECT_EQ(shown(30, 60), qRgb(255, 0, 0));
    EXPECT_EQ(shown(50, 60), qRgb(0, 0, 255));
    EXPECT_EQ(shown(10, 40), qRgb(0, 0, 0));
    // All three cleared: the untouched source, 80 x 40 between y 20 and 60.
    form->cbxFlipH->click();
    form->cbxFlipV->click();
    form->cbRotate->setCurrentIndex(0);
    EXPECT_EQ(shown(20, 30), qRgb(255, 0, 0));
    EXPECT_EQ(shown(60, 50), qRgb(255, 255, 255));
    EXPECT_EQ(shown(40, 10), qRgb(0, 0, 0));
}

TEST_F(SettingTextsTest, PreviewSourceIsCutToTheCrop) {
    Project.VideoWidth = 8;
    Project.VideoHeight = 4;
    Project.CropEnabled = true;
    Project.CropRect = {4, 2, 8, 4};
    EXPECT_EQ(Open(MarkedPicture())->PreviewSource(),
              QImage(MarkedPicture()).copy(4, 2, 4, 2).convertToFormat(QImage::Format_RGB888));
    // A crop reaching outside the picture does not read outside it.
    Project.CropRect = {6, 0, 20, 10};
    const QImage cut = Open(MarkedPicture())->PreviewSource();
    EXPECT_EQ(cut.size(), QSize(14, 10));
    EXPECT_EQ(At(cut, 0, 0), qRgb(0, 255, 0));
    EXPECT_EQ(At(cut, 13, 9), qRgb(0, 0, 0));
}

TEST_F(SettingTextsTest, WithoutAPictureThePreviewStaysBlack) {
    const auto form = Open();
    form->cbxFlipH->click();
    form->cbRotate->setCurrentIndex(1);
    EXPECT_TRUE(form->PreviewResult().isNull());
    form->pnlPreview->resize(40, 40);
    EXPECT_EQ(form->pnlPreview->grab().toImage().pixel(20, 20) | 0xFF000000, qRgb(0, 0, 0));
}
