// The main window's handlers: each forwards to the helper of its concern. ConnectControls ties
// the controls' signals and events to them.

#include "app/VGApp.h"
#include "mainwindow/MainChrome.h"
#include "mainwindow/MainClip.h"
#include "mainwindow/MainEstimate.h"
#include "mainwindow/MainFrm.h"
#include "mainwindow/MainPlayer.h"
#include "mainwindow/MainStrip.h"
#include "widgets/FlatControls.h"
#include "widgets/SkinButton.h"
#include "widgets/ThumbStrip.h"

#include <QAction>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QTimer>

void TMainForm::acPlayExecute() {
    FPlayer->Play();
}
void TMainForm::acPauseExecute(QObject* sender) {
    FPlayer->Pause(sender);
}
void TMainForm::StartPlayback(int64_t pts) {
    FPlayer->StartPlayback(pts);
}
void TMainForm::StopPlayback() {
    FPlayer->StopPlayback();
}
void TMainForm::ShowVideoFrame(TCustomDecoder* decoder, QImage& frame) {
    FPlayer->ShowVideoFrame(decoder, frame);
}
void TMainForm::TrackBarMouseDown() {
    FPlayer->TrackBarMouseDown();
}
void TMainForm::TrackBarChange() {
    FPlayer->TrackBarChange();
}
void TMainForm::TrackBarMouseUp() {
    FPlayer->TrackBarMouseUp();
}
void TMainForm::tmTrackBarTimer() {
    FPlayer->TrackBarTimer();
}
int64_t TMainForm::TrackBarPTS() const {
    return FPlayer->TrackBarPTS();
}
void TMainForm::SetTrackBarSilently(int maximum, double fraction) {
    FPlayer->SetTrackBarSilently(maximum, fraction);
}

void TMainForm::LoadStripAtPosition(QObject* sender) {
    FStrip->LoadStripAtPosition(sender);
}
void TMainForm::AppendNextGroup(bool focusLast) {
    FStrip->AppendNextGroup(focusLast);
}
void TMainForm::PrependPriorGroup(bool focusFirst) {
    FStrip->PrependPriorGroup(focusFirst);
}
void TMainForm::UpdateStripRange() {
    FStrip->UpdateStripRange();
}
void TMainForm::ShotViewSelectedChange() {
    FStrip->SelectedChange();
}
void TMainForm::RefreshShot(bool keepBitmap) {
    FStrip->RefreshShot(keepBitmap);
}
void TMainForm::acNextMoreExecute() {
    FStrip->NextMore();
}
void TMainForm::acPriorMoreExecute() {
    FStrip->PriorMore();
}
void TMainForm::acDeleteExecute() {
    FStrip->DeleteSelected(true);
}
void TMainForm::acRestoreExecute() {
    FStrip->DeleteSelected(false);
}
void TMainForm::pmShotViewPopup() {
    FStrip->UpdatePopupStates();
}
void TMainForm::PlaceProgressLabel() {
    FStrip->PlaceProgressLabel();
}

void TMainForm::edtStartChange() {
    FClip->EditChanged();
}
void TMainForm::tmClipTimer() {
    FClip->ClipTimer();
}
bool TMainForm::ApplyClipEdits() {
    return FClip->ApplyClipEdits();
}
void TMainForm::acStartTimeExecute(QObject* sender) {
    FClip->SetStart(sender);
}
void TMainForm::acEndTimeExecute(QObject* sender) {
    FClip->SetEnd(sender);
}
void TMainForm::btnMoreClick() {
    FClip->MoreClick();
}
void TMainForm::pmToolbarPopup() {
    FClip->ToolbarPopup();
}
void TMainForm::acLocateStartExecute() {
    FClip->LocateStart();
}
void TMainForm::acLocateEndExecute() {
    FClip->LocateEnd();
}
void TMainForm::acPlaySelectExecute() {
    FClip->PlaySelect();
}
void TMainForm::acNextFrameExecute() {
    FClip->StepFrame(true);
}
void TMainForm::acPriorFrameExecute() {
    FClip->StepFrame(false);
}
void TMainForm::tmAutoNextTimer() {
    FClip->AutoNextTimer();
}
void TMainForm::btnConvertClick() {
    FClip->Convert();
}

void TMainForm::acCropExecute(QObject* sender) {
    FChrome->Crop(sender);
}
void TMainForm::acSettingExecute() {
    FChrome->Setting();
}
void TMainForm::acOptionExecute() {
    FChrome->Option();
}
void TMainForm::acHelpExecute(QObject* sender) {
    FChrome->Help(sender);
}
void TMainForm::imgTopDblClick() {
    FChrome->TitleDoubleClick();
}
void TMainForm::btnMinClick() {
    FChrome->Minimize();
}
void TMainForm::btnMaxClick() {
    FChrome->Maximize();
}
void TMainForm::btnRestoreClick() {
    FChrome->Restore();
}
void TMainForm::btnCloseClick() {
    close();
}
void TMainForm::ApplySkin() {
    FChrome->ApplySkin();
}
void TMainForm::AdjustForDpi() {
    FChrome->AdjustForDpi();
}

bool TMainForm::GetBorderInfo(TBorderInfo& info) const {
    info = TBorderInfo::Standard();
    return true;
}

void TMainForm::ConnectControls() {
    auto click = [this](QAbstractButton* button, auto handler) {
        connect(button, &QAbstractButton::clicked, this, handler);
    };
    click(Button1, [this] { acOpenExecute(); });
    click(btnPlay, [this] { acPlayExecute(); });
    click(btnPause, [this] { acPauseExecute(btnPause); });
    click(btnInfo, [this] { btnInfoEnter(); });
    click(btnPriorMore, [this] { acPriorMoreExecute(); });
    click(btnNextMore, [this] { acNextMoreExecute(); });
    click(btnStart, [this] { acStartTimeExecute(btnStart); });
    click(btnEnd, [this] { acEndTimeExecute(btnEnd); });
    click(btnMore, [this] { btnMoreClick(); });
    click(btnPriorFrame, [this] { acPriorFrameExecute(); });
    click(btnNextFrame, [this] { acNextFrameExecute(); });
    click(btnCrop, [this] { acCropExecute(btnCrop); });
    click(btnSetting, [this] { acSettingExecute(); });
    click(btnConvert, [this] { btnConvertClick(); });
    click(btnOptions, [this] { acOptionExecute(); });
    click(btnHelp, [this] { acHelpExecute(btnHelp); });
    click(btnMin, [this] { btnMinClick(); });
    click(btnMax, [this] { btnMaxClick(); });
    click(btnRestore, [this] { btnRestoreClick(); });
    click(btnClose, [this] { btnCloseClick(); });
    connect(btnNextFrame, &QAbstractButton::pressed, this,
            [this] { FClip->FrameButtonDown(true); });
    connect(btnPriorFrame, &QAbstractButton::pressed, this,
            [this] { FClip->FrameButtonDown(false); });
    connect(btnNextFrame, &QAbstractButton::released, this, [this] { FClip->FrameButtonUp(); });
    connect(btnPriorFrame, &QAbstractButton::released, this, [this] { FClip->FrameButtonUp(); });

    connect(pmiDelete, &QAction::triggered, this, [this] { acDeleteExecute(); });
    connect(pmiRestore, &QAction::triggered, this, [this] { acRestoreExecute(); });
    connect(pmiStartTime, &QAction::triggered, this, [this] { acStartTimeExecute(pmiStartTime); });
    connect(pmiEndTime, &QAction::triggered, this, [this] { acEndTimeExecute(pmiEndTime); });
    connect(pmiPlaySelect, &QAction::triggered, this, [this] { acPlaySelectExecute(); });
    connect(pmiLocateStart, &QAction::triggered, this, [this] { acLocateStartExecute(); });
    connect(pmiLocateEnd, &QAction::triggered, this, [this] { acLocateEndExecute(); });
    connect(pmiLoopEnd, &QAction::triggered, this, [this] { FClip->FindLoopBound(true); });
    connect(pmiLoopStart, &QAction::triggered, this, [this] { FClip->FindLoopBound(false); });
    connect(pmiTrimStill, &QAction::triggered, this, [this] { FClip->TrimStill(); });
    connect(pmiHelp, &QAction::triggered, this, [] { TMainChrome::OpenUrl(TApp::GetGuideUrl()); });
    connect(pmiSupport, &QAction::triggered, this,
            [] { TMainChrome::OpenUrl(TApp::GetSupportUrl()); });
    connect(Option1, &QAction::triggered, this, [this] { acOptionExecute(); });
    connect(About1, &QAction::triggered, this, [this] { FChrome->About(); });

    connect(edtStart, &QLineEdit::textChanged, this, [this] { edtStartChange(); });
    connect(edtEnd, &QLineEdit::textChanged, this, [this] { edtStartChange(); });
    connect(tmTrackBar, &QTimer::timeout, this, [this] { tmTrackBarTimer(); });
    connect(tmClip, &QTimer::timeout, this, [this] { tmClipTimer(); });
    connect(tmAutoNext, &QTimer::timeout, this, [this] { tmAutoNextTimer(); });
    connect(TrackBar, &QSlider::valueChanged, this, [this] { TrackBarChange(); });

    ShotView->OnSelectedChange = [this] { ShotViewSelectedChange(); };
    ShotView->OnDrawPhoto = [this](TPhotoData* item, const QRectF& image, const QRect& text,
                                   QPainter& painter) {
        FStrip->DrawPhoto(item, image, text, painter);
    };
    ShotView->OnKeyDown = [this](int key, Qt::KeyboardModifiers) { FStrip->KeyDown(key); };
    ShotView->OnPictureMissing = [this](TPhotoData* item) { FStrip->PictureMissing(item); };
    ShotView->OnScrolled = [this] { FStrip->KeepShownPictures(); };
    connect(ShotView, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { FStrip->Popup(ShotView->viewport()->mapToGlobal(at)); });
    pnlPlayer->OnPaint = [this](QPainter& painter) {
        if (FStartScreen)
            pnlPlayerPaint(painter);
        else
            FPlayer->PaintPlayer(painter);
    };
    pnlShot->OnPaint = [this](QPainter& painter) { FStrip->PaintShot(painter); };
    PaintBox1->OnPaint = [this](QPainter& painter) { FChrome->PaintToolLine(painter); };
    for (QObject* watched : {static_cast<QObject*>(pnlShot), static_cast<QObject*>(TrackBar),
                             static_cast<QObject*>(btnInfo), static_cast<QObject*>(edtStart),
                             static_cast<QObject*>(edtEnd)})
        watched->installEventFilter(this);
}

void TMainForm::ConnectParts() {
    connect(FPlayer.get(), &TMainPlayer::Paused, this,
            [this](QObject* sender) { LoadStripAtPosition(sender); });
    connect(FStrip.get(), &TMainStrip::FrameChosenWhilePlaying, this,
            [this](int64_t pts) { StartPlayback(pts); });
    connect(FStrip.get(), &TMainStrip::FrameFocused, FPlayer.get(), &TMainPlayer::ShowPosition);
    connect(FClip.get(), &TMainClip::StartLocated, this, [this](int64_t pts) {
        FPlayer->MoveTo(pts);
        LoadStripAtPosition(pmiLocateStart);
    });
    connect(FClip.get(), &TMainClip::EndLocated, FStrip.get(), &TMainStrip::LoadStripEndingAt);
    // Whatever alters the GIF starts a new size estimate.
    connect(FClip.get(), &TMainClip::ClipChanged, FEstimate.get(), &TMainEstimate::Changed);
    connect(FStrip.get(), &TMainStrip::GifChanged, FEstimate.get(), &TMainEstimate::Changed);
    connect(FChrome.get(), &TMainChrome::GifSettingsChanged, FEstimate.get(),
            &TMainEstimate::Changed);
    connect(FEstimate.get(), &TMainEstimate::TextChanged, lblEstimate, &QLabel::setText);
    connect(FClip.get(), &TMainClip::SelectionPlayRequested, this, [this](int64_t start) {
        FPlayer->PlaySelection(start);
        UpdateControls();
    });
}

bool TMainForm::eventFilter(QObject* watched, QEvent* e) {
    const auto type = e->type();
    if (watched == pnlShot) {
        if (type == QEvent::MouseButtonPress)
            FStrip->ShotMouseDown(static_cast<QMouseEvent*>(e));
        else if (type == QEvent::MouseMove)
            FStrip->ShotMouseMove(static_cast<QMouseEvent*>(e));
        else if (type == QEvent::MouseButtonRelease)
            FStrip->ShotMouseUp();
    } else if (watched == TrackBar && TrackBar->isEnabled()) {
        const bool left =
            (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease) &&
            static_cast<QMouseEvent*>(e)->button() == Qt::LeftButton;
        if (left && type == QEvent::MouseButtonPress)
            TrackBarMouseDown();
        else if (left)
            TrackBarMouseUp();
    } else if (watched == edtStart || watched == edtEnd) {
        // Left or confirmed even when half typed (the edit's own signal waits for a full mask).
        const auto* key = type == QEvent::KeyPress ? static_cast<QKeyEvent*>(e) : nullptr;
        if (type == QEvent::FocusOut ||
            (key && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)))
            FClip->EditLeft(static_cast<QLineEdit*>(watched));
    } else if (watched == btnInfo) {
        if (type == QEvent::Enter)
            btnInfoEnter();
        else if (type == QEvent::Leave)
            btnInfoExit();
        else if (type == QEvent::MouseButtonPress)
            btnInfoMouseDown();
    }
    return TBaseForm::eventFilter(watched, e);
}
