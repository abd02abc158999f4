#pragma once
// The GIF preview: plays the GIF a conversion has just made (the project's GifFile in the work
// folder) and lets the user save copies of it, open the folder he saved to and choose the colour
// behind the animation. It asks before closing while nothing was saved.

#include "engine/OutputFormat.h"
#include "ui/BaseUIFrm.h"

#include <QSize>
#include <functional>
#include <memory>

class QLabel;
class TColorSwatchControl;
class TFlatPanel;
class TGIFImage;
class TGIFView;
class TSkinButton;
class TVGProj;
class TVideoPreview;

// What the save dialog is asked.
struct TSaveDialogRequest {
    QString Caption;
    QString FileName; // where it starts: folder and proposed name
    QString Filter;
    QString DefaultSuffix;
};

class TPreviewForm : public TBaseUIForm {
    Q_OBJECT
public:
    explicit TPreviewForm(QWidget* parent = nullptr);
    ~TPreviewForm() override;

    // Takes the project, the GIF's size from its output settings and the save dialog's start.
    void SetProject(TVGProj* project);
    // The window's size for the GIF (at least the design size, at most the work area), centred
    // in the work area, with the picture fitted.
    void SizeWindow();
    // The picture's place in pnlGIF: the GIF's size fitted into the panel less 24 pixels on each
    // side, centred.
    void FitPicture();
    // Loads the GIF once, showing the progress; the picture control then plays it.
    void LoadGif();

    void btnSaveClick();
    void btnOpenFolderClick();
    void ceBKChange();

    bool GetBorderInfo(TBorderInfo& info) const override;

    QSize GifSize() const { return QSize(FGifWidth, FGifHeight); }
    const TGIFImage* Gif() const { return FGif.get(); }
    QString SaveFileName() const { return FSaveFileName; }

    // The save dialog; tests replace it. Returns the chosen path, empty when cancelled.
    using TSaveDialog = std::function<QString(QWidget* parent, const TSaveDialogRequest& request)>;
    static TSaveDialog SetSaveDialog(TSaveDialog dialog);

    TFlatPanel* pnlGIF;
    TGIFView* Image1;
    QLabel* lblProgress;
    TSkinButton* btnSave;
    TSkinButton* btnOpenFolder;
    TSkinButton* btnClose;
    QLabel* lblBK;
    TColorSwatchControl* ceBK;

    static constexpr int DesignClientWidth = 624;
    static constexpr int DesignClientHeight = 447;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void BuildControls();
    void CenterProgress();
    void ShowProgress(const QString& stage, int percent);

    // A WebP or an MP4 plays in a view of its own in Image1's place.
    void LoadVideo();
    TOutputFormat Format() const;
    QWidget* ShownView() const;

    TVGProj* FProject = nullptr;
    TVideoPreview* FVideo = nullptr; // made for a WebP or an MP4
    int FGifWidth = 0;
    int FGifHeight = 0;
    std::shared_ptr<TGIFImage> FGif;
    bool FLoadPosted = false; // the picture's loading is under way or done
    bool FLoadTried = false;
    bool FCentred = false;
    QString FSaveFileName; // the save dialog's start, then the path last chosen
    QString FSavedFolder;  // the folder of the last copy that succeeded
};

// Shows the project's new GIF modally and lets the user save it.
void ExecutePreviewForm(TVGProj* proj);
