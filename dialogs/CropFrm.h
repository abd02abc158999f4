#pragma once
// The crop dialog: the current frame fitted into a panel with a frame the user drags or sizes,
// and the same rectangle typed in video pixels. OK stores the crop switch and the rectangle,
// the rectangle also when cropping is off, so it is there next time.

#include "ui/BaseUIFrm.h"

#include <QImage>

class QCheckBox;
class QPainter;
class TCropFrameControl;
class TFlatGroupBox;
class TFlatPanel;
class TNumberEdit;
class TVGProj;

class TCropForm : public TBaseUIForm {
    Q_OBJECT
public:
    explicit TCropForm(QWidget* parent = nullptr);

    // The project (not owned) and the frame picture shown (the whole frame, uncropped).
    void SetProject(TVGProj* project) { FProject = project; }
    void SetFramePicture(const QImage& picture) { FPicture = picture; }
    // The controls from the project's crop switch and rectangle.
    void LoadFromProject();

    bool GetBorderInfo(TBorderInfo& info) const override;

    // Handlers.
    void btnOkMeClick() override;
    void cbxCropClick();
    void pnlShotPaint(QPainter& painter);
    void pnlShotResize();
    void edtCropXChange();
    // An edit left (focus out or Return): the edits show the rectangle as it is read, cut to the
    // video, so what lies outside the frame is corrected where the user sees it.
    void edtCropXExit();
    void dcCropRectChanged();

    // Where the picture is drawn in pnlShot, and the rectangle the edits stand for.
    QRect DisplayRect() const;
    QRect ReadEdits() const;

    TFlatPanel* pnlShot = nullptr;
    QCheckBox* cbxCrop = nullptr;
    TFlatGroupBox* rbGroup = nullptr;
    TNumberEdit* edtCropX = nullptr;
    TNumberEdit* edtCropY = nullptr;
    TNumberEdit* edtCropW = nullptr;
    TNumberEdit* edtCropH = nullptr;
    TCropFrameControl* dcCrop = nullptr;

    static constexpr int ClientWidth = 655;
    static constexpr int ClientHeight = 484;

private:
    void BuildControls();
    void PlaceFrame(const QRect& video);
    // Writes a video rectangle into the four edits without placing the frame again.
    void ShowInEdits(const QRect& video);
    QSize VideoSize() const;

    TVGProj* FProject = nullptr;
    QImage FPicture;
};

// Opens the crop dialog for the project over its current frame; true when closed with OK.
bool ExecuteCropForm(TVGProj* proj, const QImage& framePicture);
