#include "dialogs/OptionFrm.h"

#include "dialogs/ColorBox.h"
#include "dialogs/DialogBuild.h"
#include "dialogs/DialogRules.h"
#include "project/VGConfig.h"
#include "project/VGProject.h"
#include "ui/UIUtils.h"
#include "ui/ValueRefusal.h"
#include "widgets/FlatControls.h"
#include "widgets/NumberEdit.h"
#include "widgets/SkinButton.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontComboBox>
#include <QLabel>
#include <QLineEdit>
#include <limits>
#include <tuple>

namespace {
const QStringList OptionSizeItems = {QStringLiteral("Original size"),
                                     QStringLiteral("1/2 Original size"),
                                     QStringLiteral("1/4 Original size")};
const QStringList OptionFrameRateItems = {QStringLiteral("4"),  QStringLiteral("8"),
                                          QStringLiteral("12"), QStringLiteral("15"),
                                          QStringLiteral("20"), QStringLiteral("24")};
const QStringList FontSizeItems = {
    QStringLiteral("8"),  QStringLiteral("10"), QStringLiteral("12"), QStringLiteral("14"),
    QStringLiteral("16"), QStringLiteral("18"), QStringLiteral("20"), QStringLiteral("22"),
    QStringLiteral("24"), QStringLiteral("28"), QStringLiteral("32"), QStringLiteral("36"),
    QStringLiteral("40"), QStringLiteral("48"), QStringLiteral("56"), QStringLiteral("64"),
    QStringLiteral("72"), QStringLiteral("80")};
constexpr int FontPreviewSize = 28;
} // namespace

TOptionForm::TOptionForm(QWidget* parent) : TBaseUIForm(parent) {
    setObjectName(QStringLiteral("TOptionForm"));
    resize(ClientWidth, ClientHeight);
    SetCaption(QStringLiteral("Options"));
    BuildCropAndGifGroups();
    BuildFontGroup();
    BuildOtherGroup();
    cbxApply = MakeCheck(this, QStringLiteral("cbxApply"),
                         QStringLiteral("Apply default settings to current conversion"),
                         QRect(16, ClientHeight - 40, 300, 20));
    // Reading order; the crop area colour is no tab stop (it takes the focus by a click).
    SetTabChain({cbxShowCrop, cbSize, cbFrameRate, cbSpeed, cbLoop, cbFont, cbFontSize, cbColor,
                 cbxBold, cbxItalic, edtMax, edtDecode, cbxApply, btnOkMe, btnCancelMe});
    FormCreate();
}

void TOptionForm::BuildCropAndGifGroups() {
    TFlatGroupBox* crop = MakeGroup(this, QStringLiteral("Crop settings"), QRect(16, 42, 463, 58));
    QLabel* areaColor = MakeLabel(crop, QStringLiteral("Area color"), 14, 25);
    ceCrop = new TColorBox(crop);
    ceCrop->setObjectName(QStringLiteral("ceCrop"));
    ceCrop->setGeometry(90, 21, 130, 22);
    ceCrop->setFocusPolicy(Qt::ClickFocus); // not a tab stop
    areaColor->setBuddy(ceCrop);
    cbxShowCrop = MakeCheck(crop, QStringLiteral("cbxShowCrop"), QStringLiteral("Show crop area"),
                            QRect(250, 22, 180, 20));

    TFlatGroupBox* gif =
        MakeGroup(this, QStringLiteral("Default GIF settings"), QRect(16, 110, 463, 92));
    QLabel* sizeStyle = MakeLabel(gif, QStringLiteral("Size style"), 14, 25);
    cbSize =
        MakeCombo(gif, QStringLiteral("cbSize"), OptionSizeItems, false, QRect(90, 21, 130, 22));
    sizeStyle->setBuddy(cbSize);
    QLabel* frameRate = MakeLabel(gif, QStringLiteral("Frame rate"), 250, 25);
    cbFrameRate = MakeCombo(gif, QStringLiteral("cbFrameRate"), OptionFrameRateItems, true,
                            QRect(330, 21, 80, 22));
    frameRate->setBuddy(cbFrameRate);
    MakeLabel(gif, QStringLiteral("fps"), 416, 25);
    QLabel* speed = MakeLabel(gif, QStringLiteral("GIF speed"), 14, 59);
    cbSpeed =
        MakeCombo(gif, QStringLiteral("cbSpeed"), SpeedListItems(), true, QRect(90, 55, 130, 22));
    speed->setBuddy(cbSpeed);
    QLabel* replay = MakeLabel(gif, QStringLiteral("Replay times"), 250, 59);
    cbLoop =
        MakeCombo(gif, QStringLiteral("cbLoop"), ReplayListItems(), true, QRect(330, 55, 80, 22));
    replay->setBuddy(cbLoop);
    connect(cbSpeed->lineEdit(), &QLineEdit::editingFinished, this, &TOptionForm::cbSpeedExit);
    connect(cbLoop->lineEdit(), &QLineEdit::editingFinished, this, &TOptionForm::cbLoopExit);
}

void TOptionForm::BuildFontGroup() {
    TFlatGroupBox* font = MakeGroup(this, QStringLiteral("Text font"), QRect(16, 212, 463, 130));
    QLabel* name = MakeLabel(font, QStringLiteral("Name"), 14, 25);
    cbFont = new QFontComboBox(font);
    cbFont->setObjectName(QStringLiteral("cbFont"));
    cbFont->setGeometry(90, 21, 150, 22);
    cbFont->setInsertPolicy(QComboBox::NoInsert);
    lblFontPreview = new QLabel(font);
    lblFontPreview->setObjectName(QStringLiteral("lblFontPreview"));
    lblFontPreview->setGeometry(246, 16, 205, 52);
    lblFontPreview->setAlignment(Qt::AlignCenter);
    lblFontPreview->setFrameShape(QFrame::Box);
    connect(cbFont, &QComboBox::currentTextChanged, this, [this] { UpdateFontPreview(); });
    QLabel* size = MakeLabel(font, QStringLiteral("Size"), 14, 59);
    cbFontSize =
        MakeCombo(font, QStringLiteral("cbFontSize"), FontSizeItems, true, QRect(90, 55, 80, 22));
    QLabel* color = MakeLabel(font, QStringLiteral("Color"), 14, 93);
    cbColor = new TColorBox(font);
    cbColor->setObjectName(QStringLiteral("cbColor"));
    cbColor->setGeometry(90, 89, 130, 22);
    name->setBuddy(cbFont);
    size->setBuddy(cbFontSize);
    color->setBuddy(cbColor);
    lblFontPreview->setAccessibleName(QStringLiteral("Font preview"));
    cbxBold =
        MakeCheck(font, QStringLiteral("cbxBold"), QStringLiteral("Bold"), QRect(250, 90, 80, 20));
    cbxItalic = MakeCheck(font, QStringLiteral("cbxItalic"), QStringLiteral("Italic"),
                          QRect(340, 90, 80, 20));
}

void TOptionForm::BuildOtherGroup() {
    TFlatGroupBox* other = MakeGroup(this, QStringLiteral("Other"), QRect(16, 352, 463, 98));
    QLabel* maxFrames = MakeLabel(other, QStringLiteral("Max frame count"), 14, 25);
    edtMax = MakeIntEdit(other, QStringLiteral("edtMax"), QRect(130, 21, 80, 22));
    maxFrames->setBuddy(edtMax);
    QLabel* decodeFrames = MakeLabel(other, QStringLiteral("Decode frame count"), 14, 61);
    edtDecode = MakeIntEdit(other, QStringLiteral("edtDecode"), QRect(130, 57, 80, 22));
    decodeFrames->setBuddy(edtDecode);
    Label7 = new QLabel(
        QStringLiteral("*More frames will cause more memory\nusage during conversion."), other);
    Label7->setObjectName(QStringLiteral("Label7"));
    Label7->setWordWrap(true);
    Label7->setGeometry(236, 22, 210, 60);
}

void TOptionForm::UpdateFontPreview() {
    QFont preview(cbFont->currentText());
    preview.setPixelSize(FontPreviewSize);
    lblFontPreview->setFont(preview);
    lblFontPreview->setText(QStringLiteral("AaBbYyZz"));
}

void TOptionForm::LoadFromConfig() {
    if (!Config)
        return;
    const TVGConfig& c = *Config;
    ceCrop->SetSelectedColor(TColor(c.CropRcColor));
    SetValueNoChange(cbxShowCrop, c.ShowCropRc);
    // The options offer no custom size: a custom default shows as nothing selected.
    SetValueNoChange(cbSize, int(c.SizeStyle) < cbSize->count() ? int(c.SizeStyle) : -1);
    SetValueNoChange(cbFrameRate, QString::number(c.GifFPS));
    SetValueNoChange(cbSpeed, SpeedDisplayText(c.GifSpeed, cbSpeed->itemText(0)));
    SetValueNoChange(cbLoop, ReplayDisplayText(c.GifLoop, cbLoop->itemText(0)));
    SetValueNoChange(cbFont, c.FontName);
    // An uninstalled font keeps its name rather than the list's nearest match.
    cbFont->setEditText(c.FontName);
    UpdateFontPreview();
    SetValueNoChange(cbFontSize, QString::number(c.FontSize));
    cbColor->SetSelectedColor(TColor(c.FontColor));
    SetValueNoChange(cbxBold, c.FontStyles.Contains(fsBold));
    SetValueNoChange(cbxItalic, c.FontStyles.Contains(fsItalic));
    SetValueNoChange(edtMax, QString::number(c.GifMaxFrame));
    SetValueNoChange(edtDecode, QString::number(c.DecodeNum));
    SetValueNoChange(cbxApply, false);
}

void TOptionForm::StoreToConfig() {
    if (!Config)
        return;
    TVGConfig& c = *Config;
    c.CropRcColor = int(ceCrop->SelectedColor());
    c.ShowCropRc = cbxShowCrop->isChecked();
    if (cbSize->currentIndex() >= 0)
        c.SizeStyle = TSizeStyle(cbSize->currentIndex());
    c.GifFPS = ReadInteger(cbFrameRate->currentText(), 0);
    c.GifSpeed = ReadSpeedText(cbSpeed->currentText(), cbSpeed->itemText(0));
    c.GifLoop = ReadReplayText(cbLoop->currentText());
    const QString fontName = cbFont->currentText().trimmed();
    if (!fontName.isEmpty())
        c.FontName = fontName;
    c.FontSize = ReadInteger(cbFontSize->currentText(), 16);
    c.FontColor = int(cbColor->SelectedColor());
    // Only bold and italic are offered here: underline and strike-out go.
    TFontStyles styles;
    if (cbxBold->isChecked())
        styles.Include(fsBold);
    if (cbxItalic->isChecked())
        styles.Include(fsItalic);
    c.FontStyles = styles;
    c.GifMaxFrame = edtMax->AsInteger(0);
    c.DecodeNum = edtDecode->AsInteger(0);
}

TUnusableValue TOptionForm::UnusableValue() const {
    if (QString problem = FrameRateProblem(cbFrameRate->currentText()); !problem.isEmpty())
        return {cbFrameRate, problem};
    // A frame count under 1 leaves nothing to convert or to show in the strip.
    // The tops are the settings' own, so what is stored here loads again as stored.
    const std::tuple<TNumberEdit*, int, QString, QString> counts[] = {
        {edtMax, SettingLimits::MaxGifFrames,
         QStringLiteral("The maximum frame count must be at least 1."),
         QStringLiteral("The maximum frame count must be at most %1.")
             .arg(SettingLimits::MaxGifFrames)},
        {edtDecode, SettingLimits::MaxDecodeNum,
         QStringLiteral("The decode frame count must be at least 1."),
         QStringLiteral("The decode frame count must be at most %1.")
             .arg(SettingLimits::MaxDecodeNum)}};
    for (const auto& [edit, most, tooFew, tooMany] : counts)
        if (QString problem = RangeProblem(edit->text(), 1, most, tooFew, tooMany);
            !problem.isEmpty())
            return {edit, problem};
    return {};
}

void TOptionForm::btnOkMeClick() {
    // A value that cannot be used keeps the dialog open on it; nothing is stored.
    if (RefuseValue(UnusableValue()))
        return;
    StoreToConfig();
    if (Config)
        (void)Config->Save(true);
    TBaseUIForm::btnOkMeClick();
}

void TOptionForm::cbSpeedExit() {
    NormalizeSpeedBox(cbSpeed);
}

void TOptionForm::cbLoopExit() {
    NormalizeReplayBox(cbLoop);
}

void TOptionForm::AdjustForDpi() {
    TBaseUIForm::AdjustForDpi();
    Label7->resize(Label7->width() + 32, Label7->height());
    // The label stays transparent, so the colour only shows where something asks for it.
    QPalette p = Label7->palette();
    p.setColor(QPalette::Window, WinColorToQColor(255));
    Label7->setPalette(p);
}

bool ExecuteOptionForm(TVGProj* projOrNull) {
    TOptionForm form;
    form.LoadFromConfig();
    form.cbxApply->setEnabled(projOrNull != nullptr);
    const bool ok = form.ShowModal() == 1;
    if (ok && projOrNull && form.cbxApply->isChecked())
        projOrNull->ApplyDefaults();
    return ok;
}
