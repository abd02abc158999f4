// The output settings dialog's size estimate, beside "Size limit": the GIF the dialog's values
// would make, worked out again in the background while the user edits the size, frame rate,
// speed, replays, quality, size limit, flip, rotation and order (captions and logo count as the
// project has them until OK).

#include "dialogs/DialogRules.h"
#include "dialogs/SettingFrm.h"
#include "engine/LiveEstimate.h"
#include "project/GifSizeText.h"
#include "project/VGProj.h"
#include "widgets/NumberEdit.h"
#include "widgets/RangeSpinBox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

void TSettingForm::BuildEstimate(QWidget* fileGroup) {
    lblEstimate = new QLabel(fileGroup);
    lblEstimate->setObjectName(QStringLiteral("lblEstimate"));
    lblEstimate->setGeometry(282, 4, 168, 42);
    lblEstimate->setWordWrap(true);
    QFont small = lblEstimate->font();
    small.setPointSizeF(small.pointSizeF() * 0.9);
    lblEstimate->setFont(small);
    lblEstimate->setAccessibleName(QStringLiteral("File size estimate"));
    lblEstimate->hide();
    FEstimate = new TLiveEstimate(this);
    // The estimate takes the hint's place once there is one.
    connect(FEstimate, &TLiveEstimate::TextChanged, this, [this](const QString& text) {
        lblEstimate->setText(text);
        lblEstimate->setVisible(!text.isEmpty());
        lblMaxSizeHint->setVisible(text.isEmpty());
    });
}

void TSettingForm::ConnectEstimate() {
    const auto changed = [this] { EstimateChanged(); };
    for (QLineEdit* edit :
         {static_cast<QLineEdit*>(edtW), static_cast<QLineEdit*>(edtH), edtMaxSize,
          cbFrameRate->lineEdit(), cbSpeed->lineEdit(), cbLoop->lineEdit()})
        if (edit)
            connect(edit, &QLineEdit::textChanged, this, changed);
    for (QComboBox* box : {cbSize, cbFrameRate, cbSpeed, cbLoop, cbRotate, cbFormat})
        connect(box, &QComboBox::currentIndexChanged, this, changed);
    connect(edtQuality, &QSpinBox::valueChanged, this, changed);
    for (QAbstractButton* button : std::initializer_list<QAbstractButton*>{
             cbxFlipH, cbxFlipV, rbOriginal, rbReverse, rbPingPong})
        connect(button, &QAbstractButton::toggled, this, changed);
}

void TSettingForm::EstimateChanged() {
    if (!FEstimate)
        return;
    if (!FProject || !FProject->IsClipValid()) {
        FEstimate->Clear();
        return;
    }
    FEstimate->Restart([this] { return RequestFromEdits(); });
}

TConversionRequest TSettingForm::RequestFromEdits() const {
    if (!FProject)
        return {};
    TConversionRequest request = FProject->DetachedRequest();
    const TSizeStyle style = TSizeStyle(qMax(0, cbSize->currentIndex()));
    request.SizeScale = TVGProj::ScaleOfStyle(style);
    if (style == ssCustom) {
        request.CustomWidth = edtW->AsInteger(0);
        request.CustomHeight = edtH->AsInteger(0);
    }
    request.GifFPS = ReadInteger(cbFrameRate->currentText(), 0);
    request.GifSpeed = ReadSpeedText(cbSpeed->currentText(), cbSpeed->itemText(0));
    request.GifLoop = ReadReplayText(cbLoop->currentText());
    request.GifQuality = edtQuality->value();
    request.GifMaxSize = ParseGifSize(edtMaxSize->text().trimmed()).value_or(0);
    request.Format = EditedFormat();
    request.Flip = EditedFlip();
    request.Rotate = EditedRotation();
    request.Sequence = EditedOrder();
    return request;
}
