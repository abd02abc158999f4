#include "dialogs/CropFrm.h"

#include "dialogs/CropGeometry.h"
#include "dialogs/DialogBuild.h"
#include "project/VGConfig.h"
#include "project/VGProject.h"
#include "ui/UIUtils.h"
#include "widgets/Anchors.h"
#include "widgets/CropFrameControl.h"
#include "widgets/FlatControls.h"
#include "widgets/NumberEdit.h"
#include "widgets/SkinButton.h"

#include <QCheckBox>
#include <QLabel>
#include <QPainter>

TCropForm::TCropForm(QWidget* parent) : TBaseUIForm(parent) {
    setObjectName(QStringLiteral("TCropForm"));
    resize(ClientWidth, ClientHeight);
    setMinimumSize(570, 430);
    SetCaption(QStringLiteral("Crop Video"));
    btnMin->show();
    btnMax->show();
    btnRestore->show();
    btnMax->raise();
    BuildControls();
    SetTabChain({cbxCrop, edtCropX, edtCropY, edtCropW, edtCropH, btnOkMe, btnCancelMe});
    FormCreate();
}

void TCropForm::BuildControls() {
    const int w = ClientWidth, h = ClientHeight;
    pnlShot = new TFlatPanel(this);
    pnlShot->setObjectName(QStringLiteral("pnlShot"));
    pnlShot->setGeometry(12, 40, w - 24, h - 40 - 78);
    pnlShot->SetColor(QColor(32, 32, 32));
    pnlShot->SetBorderColor(Qt::black);
    pnlShot->SetBorderWidth(1);
    pnlShot->SetCornerRadius(4);
    pnlShot->setProperty("DoubleBuffered", true); // no flicker while the frame is dragged
    pnlShot->OnPaint = [this](QPainter& painter) { pnlShotPaint(painter); };
    pnlShot->OnResize = [this] { pnlShotResize(); };
    SetAnchors(pnlShot, akAll);
    pnlShot->setAccessibleName(QStringLiteral("Frame and crop area"));

    cbxCrop = MakeCheck(this, QStringLiteral("cbxCrop"), QStringLiteral("Use crop"),
                        QRect(16, h - 50, 80, 20));
    SetAnchors(cbxCrop, akLeft | akBottom);
    connect(cbxCrop, &QCheckBox::clicked, this, &TCropForm::cbxCropClick);

    rbGroup = MakeGroup(this, QString(), QRect(100, h - 70, w - 100 - 180, 56));
    SetAnchors(rbGroup, akLeft | akRight | akBottom);
    const char* captions[] = {"X", "Y", "Width", "Height"};
    const char* names[] = {"edtCropX", "edtCropY", "edtCropW", "edtCropH"};
    TNumberEdit** edits[] = {&edtCropX, &edtCropY, &edtCropW, &edtCropH};
    for (int i = 0; i < 4; ++i) {
        const int x = 10 + i * 92;
        QLabel* label = MakeLabel(rbGroup, QString::fromLatin1(captions[i]), x, 20);
        *edits[i] = MakeIntEdit(rbGroup, QString::fromLatin1(names[i]),
                                QRect(x + (i < 2 ? 16 : 40), 16, i < 2 ? 60 : 44, 22));
        label->setBuddy(*edits[i]);
        connect(*edits[i], &QLineEdit::textChanged, this, &TCropForm::edtCropXChange);
        connect(*edits[i], &QLineEdit::editingFinished, this, &TCropForm::edtCropXExit);
    }

    dcCrop = new TCropFrameControl(this);
    dcCrop->setObjectName(QStringLiteral("dcCrop"));
    dcCrop->SetLineColor(0xFF0000);
    dcCrop->SetLineColor2(0xFFFFFF);
    dcCrop->SetDragPointColor(0xFF0000);
    dcCrop->SetDragPointFrame(0xFF0000);
    dcCrop->SetDragPointRadius(3);
    dcCrop->SetLineStyle(lsSingle);
    dcCrop->SetCropStyle(csClear);
    dcCrop->SetSolidColor(0xFF0000);
    dcCrop->SetSolidTransValue(80);
    dcCrop->SetMode(dmCrop);
    dcCrop->LoadRc(QRect());
    dcCrop->OnRectChanged = [this] { dcCropRectChanged(); };
    // The crop area colour of the settings (red by default); the second line colour stays white.
    const TColor area = Config ? TColor(Config->CropRcColor) : TColor(255);
    dcCrop->SetLineColor(area);
    dcCrop->SetDragPointColor(area);
    dcCrop->SetDragPointFrame(area);
}

bool TCropForm::GetBorderInfo(TBorderInfo& info) const {
    info = TBorderInfo::Standard();
    return true;
}

QSize TCropForm::VideoSize() const {
    return FProject ? QSize(FProject->VideoWidth, FProject->VideoHeight) : QSize();
}

QRect TCropForm::DisplayRect() const {
    return CropDisplayRect(pnlShot->size(), VideoSize());
}

QRect TCropForm::ReadEdits() const {
    return CutToVideo(edtCropX->AsInteger(0), edtCropY->AsInteger(0), edtCropW->AsInteger(0),
                      edtCropH->AsInteger(0), VideoSize());
}

void TCropForm::PlaceFrame(const QRect& video) {
    const QRect display = DisplayRect();
    dcCrop->LoadRc(display);
    dcCrop->SetCropRect(VideoToPanel(video, display, VideoSize().width()));
    dcCrop->SetControl(pnlShot);
    pnlShot->update();
}

void TCropForm::LoadFromProject() {
    if (!FProject)
        return;
    SetValueNoChange(cbxCrop, FProject->CropEnabled);
    const TRectL& r = FProject->CropRect;
    SetValueNoChange(edtCropX, QString::number(r.Left));
    SetValueNoChange(edtCropY, QString::number(r.Top));
    SetValueNoChange(edtCropW, QString::number(r.Right - r.Left));
    SetValueNoChange(edtCropH, QString::number(r.Bottom - r.Top));
    rbGroup->setEnabled(FProject->CropEnabled);
    if (FProject->CropEnabled)
        PlaceFrame(r.ToQRect());
}

void TCropForm::pnlShotPaint(QPainter& painter) {
    if (FPicture.isNull())
        return;
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(DisplayRect(), FPicture);
}

void TCropForm::pnlShotResize() {
    if (cbxCrop && cbxCrop->isChecked())
        PlaceFrame(ReadEdits());
}

void TCropForm::edtCropXChange() {
    PlaceFrame(ReadEdits());
}

void TCropForm::edtCropXExit() {
    ShowInEdits(ReadEdits());
}

void TCropForm::ShowInEdits(const QRect& video) {
    const int values[] = {video.x(), video.y(), video.width(), video.height()};
    TNumberEdit* edits[] = {edtCropX, edtCropY, edtCropW, edtCropH};
    for (int i = 0; i < 4; ++i)
        if (edits[i]->text() != QString::number(values[i]))
            SetValueNoChange(edits[i], QString::number(values[i]));
}

void TCropForm::cbxCropClick() {
    const bool on = cbxCrop->isChecked();
    rbGroup->setEnabled(on);
    if (on) {
        PlaceFrame(ReadEdits());
    } else {
        dcCrop->SetControl(nullptr);
        pnlShot->update();
    }
}

void TCropForm::dcCropRectChanged() {
    ShowInEdits(PanelToVideo(dcCrop->CropRect(), dcCrop->Restricts(), VideoSize()));
}

void TCropForm::btnOkMeClick() {
    if (FProject) {
        FProject->CropEnabled = cbxCrop->isChecked();
        // Kept also when cropping is off, for the next time.
        FProject->CropRect = TRectL::FromQRect(ReadEdits());
    }
    TBaseUIForm::btnOkMeClick();
}

bool ExecuteCropForm(TVGProj* proj, const QImage& framePicture) {
    // The dialog needs a video of at least 1 x 1 pixel.
    if (!proj || proj->VideoWidth < 1 || proj->VideoHeight < 1)
        return false;
    TCropForm form;
    form.SetProject(proj);
    form.SetFramePicture(framePicture);
    form.LoadFromProject();
    return form.ShowModal() == 1;
}
