#pragma once
// The options dialog: the program's lasting settings (crop area look, defaults of new
// projects, default caption font, frame limits). It loads them when it opens and, on OK, writes
// them back and saves the settings file at once (a value that cannot be used keeps it open
// instead); with "Apply default settings to current conversion" ticked the open project takes
// the new defaults too.

#include "ui/BaseUIFrm.h"
#include "ui/ValueRefusal.h"

class QCheckBox;
class QComboBox;
class QFontComboBox;
class QLabel;
class TColorBox;
class TNumberEdit;
class TVGProj;

class TOptionForm : public TBaseUIForm {
    Q_OBJECT
public:
    explicit TOptionForm(QWidget* parent = nullptr);

    // Every control from the settings.
    void LoadFromConfig();
    // Every control into the settings, in the order of the table of settings.
    void StoreToConfig();
    // The first value OK cannot store (a frame rate a GIF cannot have, a frame count under 1),
    // with its control; none when all can be stored.
    TUnusableValue UnusableValue() const;

    void btnOkMeClick() override;
    void cbSpeedExit();
    void cbLoopExit();
    void AdjustForDpi() override;

    TColorBox* ceCrop;
    QCheckBox* cbxShowCrop;
    QComboBox* cbSize;
    QComboBox* cbFrameRate;
    QComboBox* cbSpeed;
    QComboBox* cbLoop;
    QFontComboBox* cbFont;
    QLabel* lblFontPreview;
    QComboBox* cbFontSize;
    TColorBox* cbColor;
    QCheckBox* cbxBold;
    QCheckBox* cbxItalic;
    TNumberEdit* edtMax;
    TNumberEdit* edtDecode;
    QLabel* Label7;
    QCheckBox* cbxApply;

    static constexpr int ClientWidth = 495;
    static constexpr int ClientHeight = 513;

private:
    void BuildCropAndGifGroups();
    void BuildFontGroup();
    void BuildOtherGroup();
    void UpdateFontPreview();
};

// Opens the options dialog; true when it was closed with OK. With a project given, "Apply
// default settings to current conversion" can be ticked and then gives the project the new
// defaults.
bool ExecuteOptionForm(TVGProj* projOrNull);
