#include "conversion/PublishFrm.h"

#include "common/Messages.h"
#include "common/MsgBox.h"
#include "engine/Video2Gif.h"
#include "project/VGProject.h"
#include "ui/UIUtils.h"
#include "widgets/Anchors.h"
#include "widgets/FlatControls.h"
#include "widgets/FlatStyle.h"
#include "widgets/SkinButton.h"
#include "widgets/WinColor.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QProgressBar>

namespace {

constexpr TColor PanelColor = 14013138;
constexpr TColor BarColor = 6636566;

// A progress bar drawn flat in one bar colour, without a percent text.
class TColorProgressBar : public QProgressBar {
public:
    explicit TColorProgressBar(QWidget* parent) : QProgressBar(parent) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const QRect frame = rect().adjusted(0, 0, -1, -1);
        painter.setPen(FlatColors().Border);
        painter.setBrush(Qt::white);
        painter.drawRect(frame);
        const int span = maximum() - minimum();
        if (span <= 0)
            return;
        const int inner = frame.width() - 1;
        const int filled = inner * (value() - minimum()) / span;
        if (filled > 0)
            painter.fillRect(QRect(frame.left() + 1, frame.top() + 1, filled, frame.height() - 1),
                             WinColorToQColor(BarColor));
    }
};

TSkinButton* MakeButton(QWidget* parent, const QString& caption, const QRect& bounds) {
    auto* button = new TSkinButton(parent);
    button->setText(caption);
    button->setGeometry(bounds);
    SetAnchors(button, akRight | akBottom);
    return button;
}

} // namespace

TPublishForm::TPublishForm(QWidget* parent) : TBaseForm(parent) {
    setObjectName(QStringLiteral("PublishForm"));
    setWindowTitle(QStringLiteral("Converting"));
    resize(ClientWidth, ClientHeight);
    QFont bold = font();
    bold.setBold(true);
    setFont(bold);

    pnlMain = new TFlatPanel(this);
    pnlMain->setObjectName(QStringLiteral("pnlMain"));
    pnlMain->setGeometry(0, 0, ClientWidth, ClientHeight);
    pnlMain->SetColor(WinColorToQColor(PanelColor));
    pnlMain->SetBorderColor(FlatColors().Accent);
    pnlMain->SetBorderWidth(1);
    pnlMain->SetCornerRadius(5);
    SetAnchors(pnlMain, akAll);

    lblInfo = new QLabel(QStringLiteral("Converting...please wait..."), pnlMain);
    lblInfo->setObjectName(QStringLiteral("lblInfo"));
    lblInfo->move(18, 13);
    lblInfo->adjustSize();

    pbProgress = new TColorProgressBar(pnlMain);
    pbProgress->setObjectName(QStringLiteral("pbProgress"));
    pbProgress->setGeometry(17, 37, 369, 17);
    pbProgress->setRange(0, 100);
    pbProgress->setValue(0);
    pbProgress->setTextVisible(false);

    btnMinimize = MakeButton(pnlMain, QStringLiteral("Minimize"), QRect(220, 61, 78, 23));
    btnMinimize->setObjectName(QStringLiteral("btnMinimize"));
    btnCancel = MakeButton(pnlMain, QStringLiteral("Cancel"), QRect(308, 61, 78, 23));
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    connect(btnMinimize, &QAbstractButton::clicked, this, [this] { btnMinimizeClick(); });
    connect(btnCancel, &QAbstractButton::clicked, this, [this] { btnCancelClick(); });

    MakeRoundRectForm(this, 9);
    FormCreate();
}

TPublishForm::~TPublishForm() {
    // The thread's own destructor asks it to stop and waits for it; the engine calls only the
    // project (which outlives this window) and posts to this window through a guarded pointer.
    FThread.reset();
}

void TPublishForm::SetProject(TVGProj* project) {
    FProject = project;
    if (!project || project->OutputFormat == TOutputFormat::Gif)
        return;
    const QString format = FormatName(project->OutputFormat);
    setWindowTitle(QStringLiteral("Converting to %1").arg(format));
    lblInfo->setText(QStringLiteral("Converting to %1...please wait...").arg(format));
    lblInfo->adjustSize();
}

void TPublishForm::StartConversion() {
    if (FProject)
        SetThread(FProject->StartConversion(this));
}

void TPublishForm::SetThread(std::unique_ptr<TVideo2GifThread> thread) {
    FThread = std::move(thread);
}

void TPublishForm::PlaceOverOwner() {
    // Where the desktop places windows (Wayland) it opens this one over its owner itself.
    if (DesktopPlacesWindows())
        return;
    if (QWidget* owner = FindOwnerWindow(this)) {
        const QRect area = owner->frameGeometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    } else {
        CenterInWorkArea();
    }
}

bool TPublishForm::event(QEvent* e) {
    if (const auto* progress = ReportOf<Report::ConvertProgress>(e)) {
        Deliver([this, report = *progress] { OnProgress(report); });
        return true;
    }
    if (const auto* finished = ReportOf<Report::ConvertFinished>(e)) {
        Deliver([this, report = *finished] { OnFinished(report); });
        return true;
    }
    if (const auto* failed = ReportOf<Report::ConvertFailed>(e)) {
        Deliver([this, report = *failed] { OnFailed(report); });
        return true;
    }
    return TBaseForm::event(e);
}

void TPublishForm::Deliver(std::function<void()> handling) {
    if (FAsking)
        FPending.push_back(std::move(handling));
    else if (!FDone)
        handling();
}

void TPublishForm::OnProgress(const Report::ConvertProgress& report) {
    pbProgress->setValue(qBound(0, report.Percent, 100));
}

void TPublishForm::OnFinished(const Report::ConvertFinished& report) {
    pbProgress->setValue(100);
    FDone = true;
    // The engine's frame count reaching the maximum means the maximum kept frames out.
    ShowEndNotes(report.FramesWritten >= report.MaxFrames, SizeReport(), report.Warning);
    Finish(mrOK);
}

void TPublishForm::OnFailed(const Report::ConvertFailed& report) {
    FDone = true;
    MsgBox(report.Reason.isEmpty() ? QStringLiteral("The conversion failed.") : report.Reason, mbOK,
           miError, 1);
    Finish(mrCancel);
}

void TPublishForm::ShowEndNotes(bool maxFramesReached, const QString& sizeReport,
                                const QString& warning) {
    if (maxFramesReached)
        MsgBox(QStringLiteral("Reached \"Max frame count\" limitation!\n"
                              "You can go to <Options> to modify it."),
               mbOK, miInformation, 1);
    // What the engine gave up to meet the size limit is information, not a warning.
    if (!sizeReport.isEmpty()) {
        const TOutputFormat format = FProject ? FProject->OutputFormat : TOutputFormat::Gif;
        const QString what = format == TOutputFormat::Gif
                                 ? QStringLiteral("The GIF")
                                 : QStringLiteral("The %1 file").arg(FormatName(format));
        MsgBox(what + QStringLiteral(" fits its size limit.\n") + sizeReport, mbOK, miInformation,
               1);
    }
    // The GIF is made, but shorter than asked or without damaged frames of the video.
    if (!warning.isEmpty())
        MsgBox(warning, mbOK, miWarning, 1);
}

QString TPublishForm::SizeReport() const {
    // The engine's thread stored its result before it posted the end message.
    return FThread ? FThread->Result().SizeReport : QString();
}

bool TPublishForm::ConfirmStop() {
    if (FDone)
        return true;
    FAsking = true;
    const int answer = MsgBox(QStringLiteral("Stop conversion now?"), mbYesNo, miQuestion, 2);
    FAsking = false;
    if (answer == mrYes && !FDone) {
        FDone = true;
        FPending.clear();
        if (FThread)
            FThread->Terminate();
        return true;
    }
    // Go on: what the engine reported meanwhile is handled now.
    const auto pending = std::move(FPending);
    FPending.clear();
    for (const auto& handling : pending)
        if (!FDone)
            handling();
    return false;
}

void TPublishForm::Finish(int result) {
    SetModalResult(result);
}

void TPublishForm::btnCancelClick() {
    if (ConfirmStop() && ModalResult() == 0)
        Finish(mrCancel);
}

void TPublishForm::btnMinimizeClick() {
    // The whole program goes to the task bar, not only this window.
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget* window : windows)
        if (window->isVisible() && window->windowType() != Qt::Popup &&
            window->windowType() != Qt::ToolTip)
            window->showMinimized();
}

void TPublishForm::closeEvent(QCloseEvent* e) {
    // Closing by any way while the engine runs is a Cancel, with the same question.
    if (ModalResult() == 0 && !FDone && !ConfirmStop()) {
        e->ignore();
        return;
    }
    TBaseForm::closeEvent(e);
}

bool TPublishForm::FormKeyDown(QKeyEvent* e) {
    if (e->key() == Qt::Key_Escape &&
        !(e->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier))) {
        close();
        return true;
    }
    return false;
}

bool ExecutePublishForm(TVGProj* proj) {
    if (!proj)
        return false;
    TPublishForm form;
    form.SetProject(proj);
    form.PlaceOverOwner();
    form.StartConversion();
    if (!form.Thread())
        return false;
    // Leaving the window stops the engine (if it still runs) and waits for its thread.
    return form.ShowModal() == mrOK;
}
