// The output settings dialog: loading from and storing into the project, the size, speed and
// replay boxes, the logo page, the flip and rotation preview, OK and the Execute function.

#include "common/Bitmaps.h"
#include "common/Geometry.h"
#include "dialogs/SettingFrm.h"
#include "engine/FramePlan.h"
#include "project/GifSizeText.h"
#include "project/VGConfig.h"
#include "project/VGProject.h"
#include "ui/UIUtils.h"
#include "ui/ValueRefusal.h"
#include "widgets/FlatControls.h"
#include "widgets/NumberEdit.h"
#include "widgets/RangeSpinBox.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QImageReader>
#include <QLineEdit>
#include <QPainter>
#include <QRadioButton>
#include <QTabWidget>

namespace {

int& LastPageIndex() {
    static int page = 0;
    return page;
}

TSettingForm::TPictureChooser& PictureChooser() {
    static TSettingForm::TPictureChooser chooser;
    return chooser;
}

// A picture file's size in pixels; 0 x 0 for a file that is not a picture.
QSize PictureFileSize(const QString& fileName) {
    QImageReader reader(fileName);
    QSize size = reader.size();
    if (!size.isValid())
        size = reader.read().size();
    return size.isValid() ? size : QSize(0, 0);
}

// The size of a scale of the base size, halves to the even neighbour.
QSize ScaledBase(const QSize& base, int sizeStyle) {
    static const double scales[] = {1.0, 0.5, 0.25};
    if (sizeStyle < 0 || sizeStyle > 2)
        return base;
    return ComputeOutputSize(base, scales[sizeStyle], 0, 0);
}

} // namespace

int TSettingForm::LastPage() {
    return LastPageIndex();
}

void TSettingForm::SetLastPage(int page) {
    LastPageIndex() = page;
}

TSettingForm::TPictureChooser TSettingForm::SetPictureChooser(TPictureChooser chooser) {
    TPictureChooser old = std::move(PictureChooser());
    PictureChooser() = std::move(chooser);
    return old;
}

void TSettingForm::PreparePreviewSource(const QImage& framePicture) {
    FPreviewSource = QImage();
    FPreviewResult = QImage();
    if (framePicture.isNull())
        return;
    const QImage picture = framePicture.convertToFormat(QImage::Format_RGB888);
    const TRectL crop = FProject ? FProject->CropRect : TRectL{};
    if (FProject && FProject->CropEnabled && !crop.IsEmpty())
        FPreviewSource = picture.copy(crop.ToQRect()); // outside the picture stays black
    else
        FPreviewSource = picture;
}

void TSettingForm::LoadFromProject() {
    if (!FProject)
        return;
    LoadSizeAndTiming();
    LoadTexts();
    const TVGLogo& logo = FProject->Logo;
    SetValueNoChange(cbxLogo, logo.Enabled);
    EnableChildControls(pnlLogo, logo.Enabled);
    edtLogo->setText(logo.FileName);
    edtLogoW->SetAsInteger(logo.Width);
    edtLogoH->SetAsInteger(logo.Height);
    edtLogoX->SetAsInteger(logo.X);
    edtLogoY->SetAsInteger(logo.Y);
    SetValueNoChange(cbxFlipH, (FProject->Flip & fmHorizontal) != 0);
    SetValueNoChange(cbxFlipV, (FProject->Flip & fmVertical) != 0);
    SetValueNoChange(cbRotate,
                     int(FProject->Rotate) < cbRotate->count() ? int(FProject->Rotate) : 0);
    // The radio group's items stand in the order of the frame orders.
    SetValueNoChange(rgSequence, FProject->Sequence == foReverse    ? int(foReverse)
                                 : FProject->Sequence == foPingPong ? int(foPingPong)
                                                                    : int(foOriginal));
    EstimateChanged();
}

void TSettingForm::LoadSizeAndTiming() {
    const QSize output = FProject->GetOutputSize();
    edtW->SetAsInteger(output.width());
    edtH->SetAsInteger(output.height());
    SetValueNoChange(cbSize, int(FProject->SizeStyle));
    const bool custom = cbSize->currentIndex() == cbSize->count() - 1;
    edtW->setEnabled(custom);
    edtH->setEnabled(custom);
    SetValueNoChange(cbFrameRate, QString::number(FProject->GifFPS));
    SetValueNoChange(cbSpeed, SpeedDisplayText(FProject->GifSpeed, cbSpeed->itemText(0)));
    SetValueNoChange(cbLoop, ReplayDisplayText(FProject->GifLoop, cbLoop->itemText(0)));
    edtQuality->setValue(FProject->GifQuality);
    edtMaxSize->setText(FormatGifSize(FProject->GifMaxSize));
    SetValueNoChange(cbFormat, int(FProject->OutputFormat));
}

QString TSettingForm::MaxSizeProblem() const {
    const QString text = edtMaxSize->text().trimmed();
    if (text.isEmpty())
        return {};
    const std::optional<int64_t> bytes = ParseGifSize(text);
    if (!bytes)
        return QStringLiteral("\"%1\" is not a file size. Type a size such as 8M, 2.5MB, 500KB "
                              "or 8MiB, or leave the box empty for no limit.")
            .arg(text);
    if (*bytes == 0)
        return QStringLiteral("A size limit of 0 cannot be met. Leave the box empty for no limit.");
    return CheckGifSizeLimit(*bytes);
}

// The first value that cannot be used, with the control that holds it.
TUnusableValue TSettingForm::UnusableValue() const {
    const bool custom = cbSize->currentIndex() == cbSize->count() - 1;
    const QString sideLimit =
        QStringLiteral("The width and height must be between 1 and %1 pixels.").arg(MaxGifSide);
    const std::pair<TNumberEdit*, QString> sides[] = {
        {edtW, QStringLiteral("The width must be at least 1 pixel.")},
        {edtH, QStringLiteral("The height must be at least 1 pixel.")}};
    for (const auto& [edit, tooSmall] : sides) {
        const QString problem = RangeProblem(edit->text(), 1, MaxGifSide, tooSmall, sideLimit);
        if (custom && !problem.isEmpty())
            return {edit, problem};
    }
    if (QString problem = FrameRateProblem(cbFrameRate->currentText()); !problem.isEmpty())
        return {cbFrameRate, problem};
    if (!(ReadSpeedText(cbSpeed->currentText(), cbSpeed->itemText(0)) > 0))
        return {cbSpeed, QStringLiteral("The speed must be more than 0 %.")};
    if (!edtQuality->IsInRange())
        return {edtQuality, QStringLiteral("The quality must be a whole number from %1 to %2.")
                                .arg(edtQuality->Low())
                                .arg(edtQuality->High())};
    if (QString problem = MaxSizeProblem(); !problem.isEmpty())
        return {edtMaxSize, problem};
    // A ticked logo without a picture would draw nothing.
    if (cbxLogo->isChecked() && edtLogo->text().trimmed().isEmpty())
        return {edtLogo, QStringLiteral("Please choose a logo picture, or untick \"Use custom "
                                        "logo\".")};
    return {};
}

void TSettingForm::StoreToProject() {
    if (!FProject)
        return;
    TVGProj& p = *FProject;
    const int style = cbSize->currentIndex();
    if (style >= 0)
        p.SizeStyle = TSizeStyle(style);
    if (p.SizeStyle == ssCustom) {
        p.CustomWidth = edtW->AsInteger(0);
        p.CustomHeight = edtH->AsInteger(0);
    }
    p.GifFPS = ReadInteger(cbFrameRate->currentText(), 0);
    p.GifSpeed = ReadSpeedText(cbSpeed->currentText(), cbSpeed->itemText(0));
    p.GifLoop = ReadReplayText(cbLoop->currentText());
    p.GifQuality = edtQuality->value();
    p.GifMaxSize = ParseGifSize(edtMaxSize->text().trimmed()).value_or(0);
    p.OutputFormat = EditedFormat();
    StoreCurrentText();
    AdoptNewTexts();
    p.Logo.Enabled = cbxLogo->isChecked();
    p.Logo.FileName = edtLogo->text();
    p.Logo.Width = edtLogoW->AsInteger(0);
    p.Logo.Height = edtLogoH->AsInteger(0);
    p.Logo.X = edtLogoX->AsInteger(0);
    p.Logo.Y = edtLogoY->AsInteger(0);
    p.Flip = EditedFlip();
    p.Rotate = EditedRotation();
    p.Sequence = EditedOrder();
}

TOutputFormat TSettingForm::EditedFormat() const {
    const int index = cbFormat->currentIndex();
    return index >= 0 && index < int(std::size(OutputFormats)) ? OutputFormats[index]
                                                               : TOutputFormat::Gif;
}

TFlipMode TSettingForm::EditedFlip() const {
    const bool h = cbxFlipH->isChecked(), v = cbxFlipV->isChecked();
    return TFlipMode((h ? fmHorizontal : fmNone) | (v ? fmVertical : fmNone));
}

uint8_t TSettingForm::EditedRotation() const {
    return uint8_t(qMax(0, cbRotate->currentIndex()));
}

TFrameOrder TSettingForm::EditedOrder() const {
    return rbReverse->isChecked() ? foReverse : rbPingPong->isChecked() ? foPingPong : foOriginal;
}

void TSettingForm::cbSizeChange() {
    const bool custom = cbSize->currentIndex() == cbSize->count() - 1;
    edtW->setEnabled(custom);
    edtH->setEnabled(custom);
    if (custom || !FProject)
        return; // a custom size starts from the size shown before
    const QSize shown = ScaledBase(FProject->BaseSize(), cbSize->currentIndex());
    SetValueNoChange(edtW, QString::number(shown.width()));
    SetValueNoChange(edtH, QString::number(shown.height()));
}

void TSettingForm::cbSpeedExit() {
    NormalizeSpeedBox(cbSpeed);
}

void TSettingForm::cbLoopExit() {
    NormalizeReplayBox(cbLoop);
}

void TSettingForm::cbxLogoClick() {
    EnableChildControls(pnlLogo, cbxLogo->isChecked());
}

void TSettingForm::edtLogoButtonClick() {
    const QString filter = QString::fromLatin1(PictureFilter);
    const QString fileName = PictureChooser()
                                 ? PictureChooser()(this, filter)
                                 : QFileDialog::getOpenFileName(this, QString(), QString(), filter);
    if (fileName.isEmpty())
        return;
    edtLogo->setText(fileName);
    const QSize size = PictureFileSize(fileName);
    edtLogoW->SetAsInteger(size.width());
    edtLogoH->SetAsInteger(size.height());
    // Loaded again from the new file when it is next drawn.
    if (FProject)
        FProject->DropLogoImage();
}

void TSettingForm::RebuildPreview() {
    const int flip = (cbxFlipH->isChecked() ? fmHorizontal : fmNone) |
                     (cbxFlipV->isChecked() ? fmVertical : fmNone);
    FPreviewResult = RotateAndFlip(FPreviewSource, qMax(0, cbRotate->currentIndex()), flip);
}

void TSettingForm::cbxFlipHClick() {
    if (FPreviewSource.isNull())
        return;
    RebuildPreview();
    pnlPreview->update();
}

void TSettingForm::pnlPreviewPaint(QPainter& painter) {
    if (FPreviewSource.isNull())
        return;
    const bool turned =
        cbxFlipH->isChecked() || cbxFlipV->isChecked() || cbRotate->currentIndex() > 0;
    if (turned && FPreviewResult.isNull())
        RebuildPreview();
    const QImage& picture = turned ? FPreviewResult : FPreviewSource;
    // Centred; a picture larger than the panel is reduced to fit.
    const QSize size = GetFillSize(pnlPreview->width(), pnlPreview->height(), picture.width(),
                                   picture.height(), false);
    if (size.isEmpty())
        return;
    const QRect target = CenteredRect(pnlPreview->size(), size);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, picture);
}

void TSettingForm::btnOkMeClick() {
    // A value that cannot be used keeps the dialog open on it.
    if (RefuseValue(UnusableValue()))
        return;
    StoreToProject();
    // The format chosen is what new projects make too.
    if (Config && Config->OutputFormat != FProject->OutputFormat) {
        Config->OutputFormat = FProject->OutputFormat;
        (void)Config->Save(true);
    }
    SetLastPage(PageControl1->currentIndex());
    TBaseUIForm::btnOkMeClick();
}

bool ExecuteSettingForm(TVGProj* proj, const QImage& framePicture) {
    if (!proj)
        return false;
    TSettingForm form;
    form.SetProject(proj);
    form.PreparePreviewSource(framePicture);
    form.LoadFromProject();
    return form.ShowModal() == 1;
}
