#include "mainwindow/MainFrm.h"

#include "app/VGApp.h"
#include "common/CommonFunctions.h"
#include "common/Log.h"
#include "decoder/FFDecoder.h"
#include "mainwindow/MainChrome.h"
#include "mainwindow/MainClip.h"
#include "mainwindow/MainEstimate.h"
#include "mainwindow/MainKeys.h"
#include "mainwindow/MainPlayer.h"
#include "mainwindow/MainStrip.h"
#include "playback/DecodePlayer.h"
#include "project/FrameWriter.h"
#include "project/VGConfig.h"
#include "project/VGProj.h"
#include "ui/MHintWindow.h"
#include "ui/UIUtils.h"
#include "widgets/FlatControls.h"
#include "widgets/SkinButton.h"
#include "widgets/ThumbStrip.h"

#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPainter>
#include <QScreen>
#include <QTimer>

namespace {

std::function<void()>& DestroyHook() {
    static std::function<void()> hook;
    return hook;
}

QString RunFileDialog(QWidget* parent, const QString& folder, const QString& fileName,
                      const QString& filter) {
    Q_UNUSED(folder);
    return QFileDialog::getOpenFileName(parent, QStringLiteral("Open"), fileName, filter);
}

TMainForm::TOpenDialog& OpenDialog() {
    static TMainForm::TOpenDialog dialog = &RunFileDialog;
    return dialog;
}

// The video extensions the open dialog lists, in both letter cases (Linux file names are
// case-sensitive).
const char* const VideoExtensions[] = {
    "3gp", "asf", "avi",  "avm", "avs", "dat", "flv", "mkv",  "mov", "mp4", "mpeg", "mpg", "nsv",
    "ogm", "rm",  "rmvb", "tp",  "ts",  "vob", "wmv", "webm", "m4v", "ogv", "m2ts", "mts"};

} // namespace

TMainForm::TMainForm(QWidget* parent) : TBaseForm(parent) {
    resize(DesignWidth, DesignHeight);
    setMinimumSize(705, 317);
    setWindowTitle(TApp::GetTitle());
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::white);
    setPalette(p);
    setAutoFillBackground(true);
    setAcceptDrops(true);
    BuildControls();
    FFrameWriter = std::make_shared<TFrameWriter>();
    // Said once when pictures stop going to disk, until they go again; the strip goes on from
    // memory and from the video meanwhile.
    FFrameWriter->SetWriteFailedHandler([this](const QString& folder) {
        QMetaObject::invokeMethod(
            this, [folder] { ReportFullDisk(folder); }, Qt::QueuedConnection);
    });
    ShotView->SetPictureSource(
        [writer = FFrameWriter](const QString& fileName) { return writer->Picture(fileName); });
    CreateParts();
    ConnectControls();
    ConnectParts();
    new TMainKeys(*this);
    TBaseForm::FormCreate();
    FormCreate();
    CenterInWorkArea();
}

void TMainForm::CreateParts() {
    FPlayer = std::make_unique<TMainPlayer>(
        *this, TMainPlayer::TFields{FPlayThread, FSeeker, FCurPTS, FTrackDragging, FBackBuffer,
                                    FEndReached, FPlayingSelection});
    FStrip = std::make_unique<TMainStrip>(
        *this,
        TMainStrip::TFields{FCurFrame, FFrameBitmap, FShotGraphic, FStripFirstPTS, FStripLastPTS,
                            FDragStart, FDragOrigin, FDragElement, FDragging});
    FClip = std::make_unique<TMainClip>(*this);
    FChrome = std::make_unique<TMainChrome>(
        *this, TMainChrome::TFields{FInstallTrackThread, FInstallTrackStarted});
    FEstimate = std::make_unique<TMainEstimate>(*this);
}

TMainForm::~TMainForm() {
    FormDestroy();
}

void TMainForm::SetDestroyHook(std::function<void()> hook) {
    DestroyHook() = std::move(hook);
}

TMainForm::TOpenDialog TMainForm::SetOpenDialog(TOpenDialog dialog) {
    TOpenDialog old = OpenDialog();
    OpenDialog() = dialog ? std::move(dialog) : TOpenDialog(&RunFileDialog);
    return old;
}

QString TMainForm::OpenDialogFilter() {
    QStringList patterns;
    for (const char* extension : VideoExtensions) {
        patterns << QStringLiteral("*.") + QString::fromLatin1(extension);
        patterns << QStringLiteral("*.") + QString::fromLatin1(extension).toUpper();
    }
    return QStringLiteral("Video Files (%1);;All Files (*)").arg(patterns.join(QLatin1Char(' ')));
}

void TMainForm::BringToFront() {
    if (isMinimized())
        showNormal();
    show();
    raise();
    activateWindow();
}

void TMainForm::FormCreate() {
    FHint = std::make_unique<TMHint>(this);
    DoubleBufferSkinParents(this);
    pnlPlayer->SetColor(Qt::white);
    btnPause->setGeometry(btnPlay->geometry());
    pnlShot->setGeometry(pnlPlayer->geometry());
    FChrome->CenterToolBox();
    SetTrackBarSilently(TrackBar->width() - 20, 0);
    MakeRoundRectForm(this, 9);
    PlaceProgressLabel();
    UpdateCaption();
    FChrome->ApplyBrandToHelpMenu();
    UpdateControls();
    // The sample video lives in the data folder, where the open dialog offers it.
    if (App) {
        const QString sample = TApp::GetDataPath() + QStringLiteral("Sample.mp4");
        if (!QFileInfo::exists(sample)) {
            ForceDirectories(TApp::GetDataPath());
            QFile::copy(App->AppPath + QStringLiteral("Sample.mp4"), sample);
        }
    }
}

void TMainForm::FormShow() {
    FChrome->StartInstallTracking();
}

void TMainForm::FormDestroy() {
    if (FDestroyed)
        return;
    FDestroyed = true;
    if (DestroyHook())
        DestroyHook()();
    // Workers first: their frame callback reads the project.
    FEstimate->Clear();
    FPlayer->Close();
    FChrome->StopInstallTracking();
    FStrip->Clear(); // its items point into the project's frames
    FProj.reset();
    if (FHint)
        FHint->HideHint();
    FHint.reset();
    // Pictures still waiting are dropped: the work folder is emptied now.
    FFrameWriter->Stop();
    if (App)
        DeleteFolderFiles(App->TempPath);
}

void TMainForm::ReportFullDisk(const QString& folder) {
    const QString text = QStringLiteral("The disk holding the work folder is full: %1. Free some "
                                        "space; frames will be read again from the video.")
                             .arg(QDir::toNativeSeparators(folder));
    MsgOut(text);
    // A disk that stays nearly full runs short again and again as pictures come and go: the
    // user hears of it once, and again only after some minutes.
    static QElapsedTimer lastSaid;
    if (lastSaid.isValid() && lastSaid.elapsed() < 5 * 60 * 1000)
        return;
    lastSaid.start();
    MsgBox(text, mbOK, miWarning, 1);
}

void TMainForm::acOpenExecute() {
    const QString dataPath = TApp::GetDataPath();
    const QString fileName =
        OpenDialog()(this, dataPath, dataPath + QStringLiteral("Sample.mp4"), OpenDialogFilter());
    if (fileName.isEmpty())
        return;
    // Let the area under the dialog repaint before the busy open.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    OpenVideoFile(fileName);
}

bool TMainForm::OpenVideoFile(const QString& fileName) {
    FPlayer->Reset();
    FStrip->Clear(); // its items point into the old project's frames
    FProj.reset();

    FProj = std::make_unique<TVGProj>();
    FProj->VideoFile = fileName;
    if (App) {
        FProj->GifFile = App->TempPath + QStringLiteral("preview.gif");
    }
    FProj->PictureWriter = FFrameWriter.get();
    if (App)
        FFrameWriter->SetBudget(TFrameWriter::DefaultBudget(App->TempPath));
    EnsureDecoder();
    (void)FDecoder->LoadFile(fileName, QString());
    FProj->ReadStreamInfo(FDecoder);
    if (!FProj->IsVideoValid()) {
        MsgOut(QStringLiteral("not a valid video: ") + fileName);
        MsgBox(
            QStringLiteral("\"%1\" is not a valid video file.").arg(QFileInfo(fileName).fileName()),
            mbOK, miError, 1);
        FProj.reset();
        ResetToEmpty();
        return false;
    }
    MsgOut(QStringLiteral("video opened: %1 (%2 x %3)")
               .arg(fileName)
               .arg(FProj->VideoWidth)
               .arg(FProj->VideoHeight));
    FDecoder->SetBitmapBitsPixel(FProj->VideoWidth % 4 == 0 ? 24 : 32);
    FProj->CropRect = {0, 0, FProj->VideoWidth, FProj->VideoHeight};
    FProj->StartPTS = 0;
    FProj->EndPTS = FProj->Duration;
    SetValueNoChange(edtStart, FormatPTS(FProj->StartPTS, 3));
    SetValueNoChange(edtEnd, FormatPTS(FProj->EndPTS, 3));
    lblDuration->setText(FormatPTS(FProj->Duration, 3));
    UpdateCaption();
    btnPlay->show();
    btnPause->hide();
    LoadStripAtPosition(Button1);
    FStartScreen = false;
    pnlPlayer->hide();
    pnlPlayer->SetColor(Qt::black);
    pnlShot->show();
    UpdateControls();
    FEstimate->Changed();
    return true;
}

void TMainForm::EnsureDecoder() {
    if (FDecoder)
        return;
    FDecoder = new TFFDecoder(this);
}

void TMainForm::UpdateControls() {
    const bool open = FProj != nullptr;
    for (QWidget* control : std::initializer_list<QWidget*>{btnStart, btnEnd, edtStart, edtEnd})
        control->setEnabled(open && !FPlayingSelection);
    for (QWidget* control : std::initializer_list<QWidget*>{
             btnPlay, btnPause, btnPriorMore, btnNextMore, btnCrop, btnSetting, btnPriorFrame,
             btnNextFrame, btnConvert, btnMore, btnInfo, TrackBar})
        control->setEnabled(open);
    FClip->ShowClipOnTrackBar();
}

void TMainForm::ResetToEmpty() {
    SetValueNoChange(edtStart, QString());
    SetValueNoChange(edtEnd, QString());
    lblDuration->setText(QStringLiteral("00:00:00.000"));
    btnPlay->show();
    btnPause->hide();
    FStartScreen = true;
    pnlPlayer->SetColor(Qt::white);
    pnlPlayer->show();
    pnlPlayer->update();
    pnlShot->hide();
    SetTrackBarSilently(-1, 0);
    FStrip->Clear();
    FEstimate->Clear();
    UpdateCaption();
    UpdateControls();
}

void TMainForm::UpdateCaption() {
    QString text = TApp::GetTitle();
    if (FProj)
        text = QFileInfo(FProj->VideoFile).fileName() + QStringLiteral(" - ") + text;
    setWindowTitle(text);
    const int room = btnMin->x() - lblCaption->x() - 8;
    lblCaption->setText(CompressStr(text, room, lblCaption->fontMetrics()));
    lblCaption->adjustSize();
}

void TMainForm::FormResize() {
    MakeRoundRectForm(this, 9);
    FChrome->CenterToolBox();
    pnlShot->setGeometry(pnlPlayer->geometry());
    PlaceProgressLabel();
    UpdateCaption();
    const int oldMax = TrackBar->maximum();
    const double fraction = oldMax > 0 ? double(TrackBar->value()) / oldMax : 0.0;
    SetTrackBarSilently(TrackBar->width() - 20, fraction);
}

void TMainForm::btnInfoEnter() {
    // While a video is still opening its facts are not known yet: no hint of zeros.
    if (!FProj || !FHint || !FProj->IsVideoValid())
        return;
    const QString text =
        QStringLiteral("More info:\r\nSize: %1 x %2\r\nFPS: %3")
            .arg(FProj->VideoWidth)
            .arg(FProj->VideoHeight)
            .arg(QString::number(std::round(FProj->FrameRate * 1e4) / 1e4, 'g', 12));
    const QSize size = FHint->MeasureHint(text);
    QPoint at = btnInfo->mapToGlobal(QPoint(btnInfo->width(), 0));
    const QScreen* screen = btnInfo->screen();
    const int screenRight = screen ? screen->geometry().right() + 1 : 1 << 20;
    if (at.x() + size.width() > screenRight)
        at.rx() -= btnInfo->width() + size.width();
    FHint->ShowHintAt(at, text);
}

void TMainForm::btnInfoExit() {
    if (FHint)
        FHint->HideHint();
}

void TMainForm::btnInfoMouseDown() {
    btnInfoExit();
}

void TMainForm::pnlPlayerPaint(QPainter& painter) {
    if (!App)
        return;
    const QImage background(App->AppPath + QStringLiteral("resource/StartBK.bmp"));
    const QImage text(App->AppPath + QStringLiteral("resource/StartText.png"));
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (!background.isNull())
        painter.drawImage(QRect(0, 0, pnlPlayer->width(), background.height()), background);
    if (!text.isNull())
        painter.drawImage(QPoint(50, 50), text);
}

void TMainForm::ShowExtractProgress(qint64 done, qint64 asked) {
    lblProgress->setText(done == 0 ? QStringLiteral("Decoding...")
                                   : QStringLiteral("%1 / %2").arg(done).arg(qMax(asked, done)));
    lblProgress->show();
    lblProgress->raise();
    lblProgress->repaint();
}

bool TMainForm::IsPlaying() const {
    return FProj && pnlPlayer->isVisible() && !FStartScreen;
}

bool TMainForm::event(QEvent* e) {
    if (const auto* extract = ReportOf<Report::ExtractProgress>(e)) {
        ShowExtractProgress(extract->Done, extract->Asked);
        return true;
    }
    switch (int(e->type())) {
    case Msg::PlayEnded:
        FPlayer->EndOfVideo();
        return true;
    case Msg::PlaySelectionEnd:
        acLocateEndExecute();
        return true;
    default:
        return TBaseForm::event(e);
    }
}

void TMainForm::showEvent(QShowEvent* e) {
    TBaseForm::showEvent(e);
    FitToWorkArea();
    FormShow();
}

void TMainForm::FitToWorkArea() {
    // On a small or strongly scaled screen the window shrinks to the work area (down to its
    // minimum size) instead of reaching past its edges; done once it shows, so the anchored
    // controls follow the change.
    if (FFitted || IsWindowMaximized())
        return;
    FFitted = true;
    const QRect area = GetMaximizeArea();
    if (area.width() <= 0 || area.height() <= 0 ||
        (width() <= area.width() && height() <= area.height()))
        return;
    resize(qMin(width(), area.width()), qMin(height(), area.height()));
    CenterInWorkArea();
}

void TMainForm::resizeEvent(QResizeEvent* e) {
    TBaseForm::resizeEvent(e);
    if (FChrome)
        FormResize();
}

void TMainForm::dragEnterEvent(QDragEnterEvent* e) {
    const QList<QUrl> urls = e->mimeData()->urls();
    if (!urls.isEmpty() && urls.first().isLocalFile())
        e->acceptProposedAction();
}

void TMainForm::dropEvent(QDropEvent* e) {
    if (OpenDroppedFiles(e->mimeData()->urls()))
        e->acceptProposedAction();
}

bool TMainForm::OpenDroppedFiles(const QList<QUrl>& urls) {
    if (urls.isEmpty() || !urls.first().isLocalFile())
        return false;
    const QString fileName = urls.first().toLocalFile();
    // Open after the drop has ended, so the program the file came from is not kept waiting.
    QTimer::singleShot(0, this, [this, fileName] { OpenVideoFile(fileName); });
    return true;
}

bool TMainForm::IsCaptionWidget(QWidget* widget) const {
    return widget == imgTop || widget == lblCaption || widget == imgTopLeft ||
           widget == imgTopRight;
}
