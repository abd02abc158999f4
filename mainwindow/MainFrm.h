#pragma once
// The main window: the player with its track bar, the tool box with the clip edits, the frame
// strip with the still view, and the window's own title bar and menus.
//
// The class keeps the window's state and the handlers named after the controls and actions they
// serve; each handler forwards in a few lines to the helper of its concern: TMainPlayer (playing
// and scrubbing), TMainStrip (frame strip, still view, overlay dragging), TMainClip (clip range,
// time edits, frame stepping, Convert) and TMainChrome (dialogs, help menu, window frame);
// TMainKeys gives the window its keyboard order, shortcuts and accessible names. The controls are
// built at their design bounds in MainFrmControls.cpp. The parts are no friends: each is handed
// the fields it is responsible for and tells the others what they need to know by its signals,
// which ConnectParts wires.

#include "ui/BaseFrm.h"

#include <QImage>
#include <QPoint>
#include <QPointer>
#include <QUrl>
#include <cstdint>
#include <functional>
#include <memory>

class QLabel;
class QLineEdit;
class QMenu;
class QAction;
class QTimer;
class TCustomDecoder;
class TDecodePlayThread;
class TDecoderSeek;
class TFlatGroupBox;
class TFrameWriter;
class TFlatPanel;
class TMHint;
class TPaintBox;
class TPhotoData;
class TSafeThread;
class TSeparator;
class TSkinButton;
class TSkinImage;
class TThumbStrip;
class TTrackBar;
class TVGElement;
class TVGFrame;
class TVGProj;
class TMainPlayer;
class TMainStrip;
class TMainClip;
class TMainChrome;
class TMainEstimate;

class TMainForm : public TBaseForm {
    Q_OBJECT
public:
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    // Called when the window is destroyed, before the work folder is emptied: the start-up
    // layer saves the settings here.
    static void SetDestroyHook(std::function<void()> hook);
    // The open-file dialog: returns the chosen file, or an empty text when the user cancels.
    // Tests replace it. `folder` and `fileName` are the dialog's initial folder and file.
    using TOpenDialog = std::function<QString(QWidget* parent, const QString& folder,
                                              const QString& fileName, const QString& filter)>;
    static TOpenDialog SetOpenDialog(TOpenDialog dialog);
    // The filter of the open dialog in Qt's form (video extensions in either letter case).
    static QString OpenDialogFilter();

    // Brings the window to the front (another start of the program was attempted).
    void BringToFront();

    // Opening a video (the Open button); OpenVideoFile opens a given file as if it had been
    // chosen in the dialog (a dropped file).
    void acOpenExecute();
    bool OpenVideoFile(const QString& fileName);
    // Files dropped on the window: the first, when it is a local file, opens as if chosen in the
    // dialog (after the drop has ended); the rest are ignored. False when nothing opens.
    bool OpenDroppedFiles(const QList<QUrl>& urls);

    // State and window rules.
    void FormShow();
    void FormResize();
    void UpdateControls();
    void ResetToEmpty();
    void UpdateCaption();
    void EnsureDecoder();
    void btnInfoEnter();
    void btnInfoExit();
    void btnInfoMouseDown();
    void pnlPlayerPaint(QPainter& painter);

    // Player and scrubbing.
    void acPlayExecute();
    void acPauseExecute(QObject* sender);
    void StartPlayback(int64_t pts);
    void StopPlayback();
    void ShowVideoFrame(TCustomDecoder* decoder, QImage& frame);
    void TrackBarMouseDown();
    void TrackBarChange();
    void TrackBarMouseUp();
    void tmTrackBarTimer();
    int64_t TrackBarPTS() const;
    void SetTrackBarSilently(int maximum, double fraction);

    // Frame strip and still view.
    void LoadStripAtPosition(QObject* sender);
    void AppendNextGroup(bool focusLast);
    void PrependPriorGroup(bool focusFirst);
    void UpdateStripRange();
    void ShotViewSelectedChange();
    void RefreshShot(bool keepBitmap);
    void acNextMoreExecute();
    void acPriorMoreExecute();
    void acDeleteExecute();
    void acRestoreExecute();
    void pmShotViewPopup();
    void PlaceProgressLabel();

    // Clip range, frame stepping and Convert.
    void edtStartChange();
    void tmClipTimer();
    bool ApplyClipEdits();
    void acStartTimeExecute(QObject* sender);
    void acEndTimeExecute(QObject* sender);
    void btnMoreClick();
    void pmToolbarPopup();
    void acLocateStartExecute();
    void acLocateEndExecute();
    void acPlaySelectExecute();
    void acNextFrameExecute();
    void acPriorFrameExecute();
    void tmAutoNextTimer();
    void btnConvertClick();

    // Dialogs, help menu and window frame.
    void acCropExecute(QObject* sender);
    void acSettingExecute();
    void acOptionExecute();
    void acHelpExecute(QObject* sender);
    void imgTopDblClick();
    void btnMinClick();
    void btnMaxClick();
    void btnRestoreClick();
    void btnCloseClick();
    bool GetBorderInfo(TBorderInfo& info) const override;
    void ApplySkin() override;
    void AdjustForDpi() override;

    // Read access for tests and the helpers.
    TVGProj* Project() const { return FProj.get(); }
    TVGFrame* CurrentFrame() const { return FCurFrame; }
    int64_t CurPTS() const { return FCurPTS; }
    int64_t StripFirstPTS() const { return FStripFirstPTS; }
    int64_t StripLastPTS() const { return FStripLastPTS; }
    bool IsPlaying() const;
    bool EndReached() const { return FEndReached; }
    bool PlayingSelection() const { return FPlayingSelection; }
    TCustomDecoder* Decoder() const { return FDecoder; }
    TDecodePlayThread* PlayThread() const { return FPlayThread; }
    TDecoderSeek* Seeker() const { return FSeeker; }
    const QImage& FrameBitmap() const { return FFrameBitmap; }
    const QImage& ShotGraphic() const { return FShotGraphic; }
    const QImage& BackBuffer() const { return FBackBuffer; }
    TMHint* Hint() const { return FHint.get(); }
    TFrameWriter* FrameWriter() const { return FFrameWriter.get(); }
    TMainEstimate* Estimate() const { return FEstimate.get(); }
    bool IsDragging() const { return FDragging; }

    // Controls, by their design names.
    TSkinImage *imgTop, *imgLeft, *imgRight, *imgBottom;
    TSkinImage *imgTopLeft, *imgTopRight, *imgBottomLeft, *imgBottomRight;
    TSkinImage* imgIco;
    QLabel* lblCaption;
    TSkinButton *btnMin, *btnMax, *btnRestore, *btnClose;
    TSkinImage* Image1;
    TSkinButton* btnOptions;
    TSkinImage* Image2;
    TSkinButton* btnHelp;
    TFlatPanel* pnlPlayer;
    TFlatPanel* pnlShot;
    TTrackBar* TrackBar;
    QLabel* lblDuration;
    TSkinButton* btnInfo;
    TFlatPanel* pnlView;
    TSkinButton* btnPriorMore;
    TSkinButton* btnNextMore;
    TThumbStrip* ShotView;
    QLabel* lblProgress;
    TFlatGroupBox* gbTool;
    TSkinButton *Button1, *btnPlay, *btnPause, *btnMore;
    TSkinButton *btnStart, *btnEnd;
    QLineEdit *edtStart, *edtEnd;
    TSkinButton *btnCrop, *btnSetting, *btnConvert;
    TSeparator* spToolbar;
    TSkinButton *btnPriorFrame, *btnNextFrame;
    QLabel* lblEstimate; // the size of the GIF Convert would make
    TPaintBox* PaintBox1;
    QMenu* pmShotView;
    QAction *pmiDelete, *pmiRestore, *pmiStartTime, *pmiEndTime;
    QMenu* pmToolbar;
    QAction *pmiPlaySelect, *pmiLocateStart, *pmiLocateEnd;
    QAction *pmiLoopEnd, *pmiLoopStart, *pmiTrimStill; // bounds chosen from the pictures
    QMenu* pmHelp;
    QAction *pmiHelp, *pmiSupport, *pmiRelated, *N1, *Option1, *About1;
    QMenu* pmRelated;
    QTimer *tmTrackBar, *tmClip, *tmAutoNext;

    static constexpr int DesignWidth = 820;
    static constexpr int DesignHeight = 570;

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool IsCaptionWidget(QWidget* widget) const override;
    void CaptionDoubleClicked() override { imgTopDblClick(); }

private:
    void BuildControls();
    void BuildPlayerControls();
    void BuildStripControls();
    void BuildToolControls();
    void BuildMenus();
    void ConnectControls();
    // The parts tell each other what they need to know through their signals, wired here.
    void ConnectParts();
    void FormCreate();
    void FormDestroy();
    // Makes the parts, each with the fields it is responsible for.
    void CreateParts();
    // The frame pictures could not be written: says so once and logs it.
    static void ReportFullDisk(const QString& folder);
    void ShowExtractProgress(qint64 done, qint64 asked);
    void FitToWorkArea();

    // Window state. Each part is handed the fields it is responsible for and alone writes them
    // (the player its workers and position, the strip its frame, pictures, range and drag, the
    // chrome the install tracking); the rest are the form's own.
    TSafeThread* FInstallTrackThread = nullptr;
    TDecodePlayThread* FPlayThread = nullptr;
    TDecoderSeek* FSeeker = nullptr;
    TCustomDecoder* FDecoder = nullptr;
    int64_t FCurPTS = 0;
    TVGFrame* FCurFrame = nullptr;
    QImage FFrameBitmap;
    QImage FShotGraphic;
    std::unique_ptr<TVGProj> FProj;
    int64_t FStripFirstPTS = 0;
    int64_t FStripLastPTS = 0;
    bool FTrackDragging = false;
    QImage FBackBuffer;
    bool FEndReached = false;
    bool FPlayingSelection = false;
    std::unique_ptr<TMHint> FHint;
    QPoint FDragStart;
    QPoint FDragOrigin;
    TVGElement* FDragElement = nullptr;
    bool FDragging = false;

    bool FStartScreen = true; // pnlPlayerPaint is attached
    // Writes the frame pictures of the strip in the background; the strip and the still view
    // take a picture from it while its file is not written yet. Shared with the strip's
    // thumbnail threads, which may outlive the window's own members by a moment.
    std::shared_ptr<TFrameWriter> FFrameWriter;
    bool FInstallTrackStarted = false;
    bool FFitted = false;
    bool FDestroyed = false;
    std::unique_ptr<TMainPlayer> FPlayer;
    std::unique_ptr<TMainStrip> FStrip;
    std::unique_ptr<TMainClip> FClip;
    std::unique_ptr<TMainChrome> FChrome;
    std::unique_ptr<TMainEstimate> FEstimate;
};
