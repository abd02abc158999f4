#pragma once
// The output settings dialog: everything about the GIF that belongs to the open project, on
// five pages (size, frame rate, speed and replay count; captions; logo; flip and rotation with a
// preview; frame order). It edits the project in place when closed with OK.

#include "common/Bitmaps.h"
#include "dialogs/DialogRules.h"
#include "engine/FramePlan.h"
#include "engine/OutputFormat.h"
#include "project/VGElements.h"
#include "ui/BaseUIFrm.h"
#include "ui/ValueRefusal.h"

#include <QImage>
#include <functional>
#include <memory>
#include <vector>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPainter;
class QPlainTextEdit;
class QRadioButton;
class QTabWidget;
class QToolButton;
class TColorSwatchControl;
class TFlatPanel;
class TNumberEdit;
class TRangeSpinBox;
class TVGProj;
class TLiveEstimate;
struct TConversionRequest;

class TSettingForm : public TBaseUIForm {
    Q_OBJECT
public:
    explicit TSettingForm(QWidget* parent = nullptr);
    ~TSettingForm() override;

    void SetProject(TVGProj* project) { FProject = project; }
    // The Flip & Rotate preview's source: the frame picture cut to the crop rectangle when
    // cropping is on. A null picture leaves the preview empty.
    void PreparePreviewSource(const QImage& framePicture);
    // Every control from the project, and every control into it.
    void LoadFromProject();
    void StoreToProject();

    // Handlers.
    void btnOkMeClick() override;
    void cbSizeChange();
    void cbSpeedExit();
    void cbLoopExit();
    void btnAddTextClick();
    void btnDelTextClick();
    void btnTextFontClick();
    void lbTextClick();
    void cgTextChanged();
    void edtLogoButtonClick();
    void cbxLogoClick();
    void cbxFlipHClick();
    void pnlPreviewPaint(QPainter& painter);
    void AdjustForDpi() override;

    // The caption the Add Text editors show (none: nullptr), and the font its button holds.
    TTextObj* CurrentText() const { return FCurrentText; }
    const THeldFont& HeldFont() const { return FHeldFont; }
    // The caption a row of the text list stands for.
    TTextObj* RowText(int row) const;
    const QImage& PreviewSource() const { return FPreviewSource; }
    const QImage& PreviewResult() const { return FPreviewResult; }
    // The page the next dialog of this program run opens on.
    static int LastPage();
    static void SetLastPage(int page);

    // Asks for a picture file; empty when the user cancels. Tests replace it; the default opens
    // the picture dialog. Returns the one it replaces.
    using TPictureChooser = std::function<QString(QWidget* parent, const QString& filter)>;
    static TPictureChooser SetPictureChooser(TPictureChooser chooser);
    static const char* PictureFilter;

    QTabWidget* PageControl1;
    // "General"
    TNumberEdit* edtW;
    TNumberEdit* edtH;
    QComboBox* cbSize;
    QComboBox* cbFrameRate;
    QComboBox* cbLoop;
    QComboBox* cbSpeed;
    TRangeSpinBox* edtQuality;
    QComboBox* cbFormat;   // GIF, WebP, MP4, in the order of TOutputFormat
    QLineEdit* edtMaxSize; // empty: no limit
    QLabel* lblMaxSizeHint;
    QLabel* lblEstimate; // the size of the GIF these values make, in place of the hint
    // "Add Text"
    QListWidget* lbText;
    QPlainTextEdit* mmText;
    QToolButton* btnAddText;
    QToolButton* btnDelText;
    QToolButton* btnTextFont;
    TColorSwatchControl* cgText;
    QToolButton* btnAlignLeft;
    QToolButton* btnAlignCenter;
    QToolButton* btnAlignRight;
    TNumberEdit* edtTextX;
    TNumberEdit* edtTextY;
    QLabel* Label9;
    // "Logo"
    QCheckBox* cbxLogo;
    QWidget* pnlLogo;
    QLineEdit* edtLogo;
    QToolButton* edtLogoButton;
    TNumberEdit* edtLogoW;
    TNumberEdit* edtLogoH;
    TNumberEdit* edtLogoX;
    TNumberEdit* edtLogoY;
    // "Flip && Rotate"
    QCheckBox* cbxFlipH;
    QCheckBox* cbxFlipV;
    QComboBox* cbRotate;
    TFlatPanel* pnlPreview;
    // "Sequence"
    QRadioButton* rbOriginal;
    QRadioButton* rbReverse;
    QRadioButton* rbPingPong;
    QButtonGroup* rgSequence;

    static constexpr int ClientWidth = 502;
    static constexpr int ClientHeight = 365;

private:
    void BuildGeneralPage();
    void BuildLimitControls(QWidget* page, QWidget* gifGroup);
    void BuildTextPage();
    void BuildTextButtons(QWidget* page);
    void BuildLogoPage();
    void BuildFlipPage();
    void BuildSequencePage();

    void LoadSizeAndTiming();
    // The first value OK cannot store (a size, frame rate, speed, quality or size limit a GIF
    // cannot have, or a logo without a picture), with its control; none when all can be stored.
    TUnusableValue UnusableValue() const;
    QString MaxSizeProblem() const;
    void LoadTexts();
    void StoreCurrentText();
    void ShowText(TTextObj* text);
    void AdoptNewTexts();
    void AddTextRow(TTextObj* text, int number);
    void SelectRow(int row);
    bool IsProjectText(const TTextObj* text) const;
    void RebuildPreview();
    // The size estimate beside "Size limit" (SettingFrmEstimate.cpp).
    void BuildEstimate(QWidget* fileGroup);
    // Every value the estimate follows restarts it when edited.
    void ConnectEstimate();
    void EstimateChanged();
    TConversionRequest RequestFromEdits() const;
    // The format chosen, and what the Flip & Rotate and Sequence pages are set to.
    TOutputFormat EditedFormat() const;
    TFlipMode EditedFlip() const;
    uint8_t EditedRotation() const;
    TFrameOrder EditedOrder() const;

    TVGProj* FProject = nullptr;
    TLiveEstimate* FEstimate = nullptr;
    TTextObj* FCurrentText = nullptr;
    THeldFont FHeldFont;
    // Captions made in the dialog, until OK hands copies of the non-blank ones to the project.
    std::vector<std::unique_ptr<TTextObj>> FNewTexts;
    QImage FPreviewSource;
    QImage FPreviewResult;
};

// Opens the output settings dialog for the project; `framePicture` (may be null) is the frame
// the Flip & Rotate page previews. True when the dialog was closed with OK.
bool ExecuteSettingForm(TVGProj* proj, const QImage& framePicture);
