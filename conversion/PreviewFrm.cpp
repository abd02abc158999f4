#include "conversion/PreviewFrm.h"

#include "common/DesktopOpen.h"
#include "common/Geometry.h"
#include "common/Messages.h"
#include "common/MsgBox.h"
#include "conversion/FileCopy.h"
#include "conversion/VideoPreview.h"
#include "gifimage/GIFView.h"
#include "project/VGProject.h"
#include "widgets/Anchors.h"
#include "widgets/ColorSwatchControl.h"
#include "widgets/FlatControls.h"
#include "widgets/SkinButton.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QUrl>

namespace {

TPreviewForm::TSaveDialog& SaveDialog() {
    static TPreviewForm::TSaveDialog dialog = [](QWidget* parent,
                                                 const TSaveDialogRequest& request) {
        QFileDialog box(parent, request.Caption, request.FileName, request.Filter);
        box.setAcceptMode(QFileDialog::AcceptSave);
        box.setFileMode(QFileDialog::AnyFile);
        box.setDefaultSuffix(request.DefaultSuffix);
        // Asking before overwriting is the dialog's default; it stays on.
        if (box.exec() != QDialog::Accepted || box.selectedFiles().isEmpty())
            return QString();
        return box.selectedFiles().constFirst();
    };
    return dialog;
}

TSkinButton* MakeButton(QWidget* parent, const char* name, const QString& caption,
                        const QRect& bounds, int anchors) {
    auto* button = new TSkinButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setText(caption);
    button->setGeometry(bounds);
    button->setFocusPolicy(Qt::StrongFocus);
    SetAnchors(button, anchors);
    return button;
}

} // namespace

TPreviewForm::TSaveDialog TPreviewForm::SetSaveDialog(TSaveDialog dialog) {
    return std::exchange(SaveDialog(), std::move(dialog));
}

TPreviewForm::TPreviewForm(QWidget* parent) : TBaseUIForm(parent) {
    setObjectName(QStringLiteral("PreviewForm"));
    resize(DesignClientWidth, DesignClientHeight);
    setMinimumWidth(486);
    SetCaption(QStringLiteral("Preview GIF"));
    // The preview has buttons of its own instead of OK and Cancel.
    btnOkMe->hide();
    btnCancelMe->hide();
    BuildControls();
    FormCreate();
    // After the dialog's own layout step the colour caption moves a little to the left.
    lblBK->move(lblBK->x() - 12, lblBK->y());
    SetAnchors(lblBK, akRight | akBottom); // from its new place
}

TPreviewForm::~TPreviewForm() = default;

void TPreviewForm::BuildControls() {
    pnlGIF = new TFlatPanel(this);
    pnlGIF->setObjectName(QStringLiteral("pnlGIF"));
    pnlGIF->setGeometry(22, 48, 579, 336);
    pnlGIF->SetColor(Qt::white);
    pnlGIF->SetCornerRadius(6);
    SetAnchors(pnlGIF, akAll);
    pnlGIF->OnPaint = [this](QPainter&) {
        // The GIF is loaded once the window is on the screen, after its first paint.
        if (!FGif && !FLoadPosted) {
            FLoadPosted = true;
            QMetaObject::invokeMethod(
                this, [this] { LoadGif(); }, Qt::QueuedConnection);
        }
    };
    pnlGIF->OnResize = [this] { FitPicture(); };

    Image1 = new TGIFView(pnlGIF);
    Image1->setObjectName(QStringLiteral("Image1"));
    lblProgress = new QLabel(QStringLiteral("Loading...100%"), pnlGIF);
    lblProgress->setObjectName(QStringLiteral("lblProgress"));
    QFont arial(QStringLiteral("Arial"));
    arial.setPixelSize(12);
    lblProgress->setFont(arial);
    lblProgress->adjustSize();
    lblProgress->hide();

    btnSave = MakeButton(this, "btnSave", QStringLiteral("Save GIF File"), QRect(22, 403, 89, 23),
                         akLeft | akBottom);
    btnOpenFolder = MakeButton(this, "btnOpenFolder", QStringLiteral("Open Output Folder"),
                               QRect(126, 403, 121, 23), akLeft | akBottom);
    for (TSkinState state : {TSkinState::Normal, TSkinState::Hot, TSkinState::Down,
                             TSkinState::Disabled, TSkinState::StayDown})
        btnOpenFolder->SetPicture(state, btnSave->Picture(state));
    btnOpenFolder->setEnabled(false);
    btnClose = MakeButton(this, "btnClose", QStringLiteral("Close"), QRect(530, 403, 71, 23),
                          akRight | akBottom);
    lblBK = new QLabel(QStringLiteral("BK Color"), this);
    lblBK->setObjectName(QStringLiteral("lblBK"));
    lblBK->move(416, 408);
    lblBK->adjustSize();
    SetAnchors(lblBK, akRight | akBottom);
    ceBK = new TColorSwatchControl(this);
    ceBK->setObjectName(QStringLiteral("ceBK"));
    ceBK->setGeometry(468, 403, 48, 23);
    ceBK->SetSelectedColor(0xFFFFFF);
    SetAnchors(ceBK, akRight | akBottom);
    lblBK->setBuddy(ceBK);
    ceBK->setAccessibleName(QStringLiteral("Background color"));
    Image1->setAccessibleName(QStringLiteral("GIF preview"));
    SetTabChain({btnSave, btnOpenFolder, ceBK, btnClose});

    connect(btnSave, &QAbstractButton::clicked, this, [this] { btnSaveClick(); });
    connect(btnOpenFolder, &QAbstractButton::clicked, this, [this] { btnOpenFolderClick(); });
    connect(btnClose, &QAbstractButton::clicked, this, [this] { close(); });
    ceBK->OnChange = [this] { ceBKChange(); };
}

bool TPreviewForm::GetBorderInfo(TBorderInfo& info) const {
    info = TBorderInfo::Standard();
    return true;
}

void TPreviewForm::SetProject(TVGProj* project) {
    FProject = project;
    if (!project)
        return;
    const QSize size = project->GetFinalSize();
    FGifWidth = size.width();
    FGifHeight = size.height();
    const QFileInfo video(project->VideoFile);
    FSaveFileName = video.absolutePath() + QLatin1Char('/') + video.completeBaseName() +
                    QLatin1Char('.') + FormatExtension(Format());
    if (Format() != TOutputFormat::Gif) {
        SetCaption(QStringLiteral("Preview %1").arg(FormatName(Format())));
        btnSave->setText(QStringLiteral("Save %1 File").arg(FormatName(Format())));
    }
}

TOutputFormat TPreviewForm::Format() const {
    return FProject ? FProject->OutputFormat : TOutputFormat::Gif;
}

QWidget* TPreviewForm::ShownView() const {
    return FVideo ? static_cast<QWidget*>(FVideo) : static_cast<QWidget*>(Image1);
}

void TPreviewForm::SizeWindow() {
    QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    const QSize work = s ? s->availableGeometry().size() : QSize(1024, 768);
    const int w = std::min(std::max(width(), FGifWidth + 93), work.width());
    const int h = std::min(std::max(height(), FGifHeight + 159), work.height());
    resize(w, h);
    CenterInWorkArea();
    FitPicture();
    CenterProgress();
}

void TPreviewForm::FitPicture() {
    // A GIF that fits is shown pixel for pixel, as it was made (an enlarged one looks blurred and
    // misleads about what was made); a bigger one shrinks to fit.
    const QSize fitted =
        GetFillSize(pnlGIF->width() - 48, pnlGIF->height() - 48, FGifWidth, FGifHeight, false);
    ShownView()->setGeometry(CenteredRect(pnlGIF->size(), fitted));
    CenterProgress();
}

void TPreviewForm::CenterProgress() {
    lblProgress->move(CenteredRect(pnlGIF->size(), lblProgress->size()).topLeft());
}

void TPreviewForm::ShowProgress(const QString& stage, int percent) {
    lblProgress->setText(QString::asprintf("%s%d%%", qUtf8Printable(stage), percent));
    lblProgress->adjustSize();
    CenterProgress();
    lblProgress->repaint();
}

void TPreviewForm::LoadVideo() {
    FVideo = new TVideoPreview(pnlGIF);
    FVideo->setObjectName(QStringLiteral("VideoPreview"));
    FVideo->setAccessibleName(QStringLiteral("%1 preview").arg(FormatName(Format())));
    Image1->hide();
    QString error;
    if (!FVideo->Open(FProject->GifFile, Format(), error)) {
        MsgBox(error, mbOK, miError, 1);
        return;
    }
    // An MP4 of an odd size has lost its last column or row.
    FGifWidth = FVideo->PictureSize().width();
    FGifHeight = FVideo->PictureSize().height();
    FitPicture();
    FVideo->show();
}

void TPreviewForm::LoadGif() {
    if (FGif || FLoadTried || !FProject)
        return;
    FLoadTried = true;
    if (Format() != TOutputFormat::Gif) {
        LoadVideo();
        return;
    }
    auto gif = std::make_shared<TGIFImage>();
    gif->OnProgress = [this](const QString& stage, int percent) { ShowProgress(stage, percent); };
    lblProgress->show();
    const bool loaded = gif->LoadFromFile(FProject->GifFile);
    gif->OnProgress = nullptr;
    lblProgress->hide();
    if (!loaded) {
        MsgBox(gif->ErrorText(), mbOK, miError, 1);
        return;
    }
    if (gif->IsTruncated())
        MsgBox(QStringLiteral("The GIF file \"%1\" ends early or is damaged; the %2 frames it "
                              "holds whole are shown.")
                   .arg(FProject->GifFile)
                   .arg(gif->FrameCount()),
               mbOK, miWarning, 1);
    FGif = gif;
    Image1->SetImage(FGif);
}

void TPreviewForm::btnSaveClick() {
    if (!FProject)
        return;
    const QString name = FormatName(Format()), suffix = FormatExtension(Format());
    const TSaveDialogRequest request{QStringLiteral("Save %1 File").arg(name), FSaveFileName,
                                     QStringLiteral("%1 files (*.%2)").arg(name, suffix), suffix};
    const QString target = SaveDialog() ? SaveDialog()(this, request) : QString();
    if (target.isEmpty())
        return;
    FSaveFileName = target;
    QString error;
    if (!CopyFileReplacing(FProject->GifFile, target, &error)) {
        MsgBox(QStringLiteral("The %1 file could not be saved as \"%2\": %3.")
                   .arg(FormatName(Format()), target, error),
               mbOK, miError, 1);
        return;
    }
    FSavedFolder = QFileInfo(target).absolutePath();
    btnOpenFolder->setEnabled(true);
}

void TPreviewForm::btnOpenFolderClick() {
    if (!FSavedFolder.isEmpty())
        OpenOnDesktop(FSavedFolder, TDesktopTarget::Folder);
}

void TPreviewForm::ceBKChange() {
    pnlGIF->SetColor(WinColorToQColor(ceBK->SelectedColor()));
}

void TPreviewForm::closeEvent(QCloseEvent* e) {
    // Nothing saved yet: the GIF would be lost with the work folder.
    const QString question =
        Format() == TOutputFormat::Gif
            ? QStringLiteral("Close without saving gif file?")
            : QStringLiteral("Close without saving the %1 file?").arg(FormatName(Format()));
    if (!btnOpenFolder->isEnabled() && MsgBox(question, mbOKCancel, miQuestion, 1) != mrOK) {
        e->ignore();
        return;
    }
    TBaseUIForm::closeEvent(e);
}

void TPreviewForm::showEvent(QShowEvent* e) {
    TBaseUIForm::showEvent(e);
    // The dialog base centres over the main window; the preview may be as large as the work
    // area, so it is centred in the work area instead.
    if (!FCentred) {
        FCentred = true;
        CenterInWorkArea();
    }
}

void ExecutePreviewForm(TVGProj* proj) {
    if (!proj)
        return;
    TPreviewForm form;
    form.SetProject(proj);
    form.SizeWindow();
    form.ShowModal();
}
