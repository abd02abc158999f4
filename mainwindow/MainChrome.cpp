#include "mainwindow/MainChrome.h"

#include "app/Brand.h"
#include "app/VGApp.h"
#include "common/DesktopOpen.h"
#include "dialogs/CropFrm.h"
#include "dialogs/OptionFrm.h"
#include "dialogs/SettingFrm.h"
#include "mainwindow/MainFrm.h"
#include "project/VGConfig.h"
#include "project/VGProj.h"
#include "ui/AboutFrm.h"
#include "ui/InstallTrack.h"
#include "ui/UIUtils.h"
#include "widgets/FlatControls.h"
#include "widgets/SkinButton.h"
#include "widgets/ThumbStrip.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QUrl>

namespace {

// The brand's other tools, offered under "Related Software" (page paths on the brand's site).
struct TRelatedTool {
    const char* Caption;
    const char* Page;
};
constexpr TRelatedTool RelatedTools[] = {
    {"Video Converter", "video-converter"},  {"Screen Recorder", "screen-recorder"},
    {"Video Editor", "video-editor"},        {"Audio Converter", "audio-converter"},
    {"DVD Creator", "dvd-creator"},          {"Slideshow Maker", "slideshow-maker"},
    {"Video Compressor", "video-compressor"}};

} // namespace

TMainChrome::~TMainChrome() = default;

void TMainChrome::OpenUrl(const QString& address) {
    if (!address.isEmpty())
        OpenOnDesktop(address, TDesktopTarget::WebPage);
}

void TMainChrome::CenterToolBox() {
    const int left = F.imgLeft->width();
    const int right = F.imgRight->width();
    F.gbTool->move(left + (F.width() - left - right - F.gbTool->width() - 1) / 2, F.gbTool->y());
}

void TMainChrome::ApplyBrandToHelpMenu() {
    const TBrandProfile& brand = CurrentBrand();
    if (!brand.DefaultBrand)
        return;
    F.pmiHelp->setText(QStringLiteral("Homepage"));
    F.pmiSupport->setVisible(false);
    if (!brand.SkipInstallChecks) {
        AddRelatedSoftware();
        F.pmiRelated->setVisible(true);
    }
}

void TMainChrome::AddRelatedSoftware() {
    QUrl site(TApp::GetGuideUrl());
    site.setQuery(QString());
    site.setPath(QStringLiteral("/"));
    for (const TRelatedTool& tool : RelatedTools) {
        QAction* item = F.pmRelated->addAction(QString::fromLatin1(tool.Caption));
        const QString address = site.resolved(QUrl(QString::fromLatin1(tool.Page))).toString();
        QObject::connect(item, &QAction::triggered, &F, [address] { OpenUrl(address); });
    }
}

void TMainChrome::StartInstallTracking() {
    if (Own.FInstallTrackStarted || !Config || Config->InstallTracked ||
        CurrentBrand().SkipInstallChecks)
        return;
    Own.FInstallTrackStarted = true;
    auto* worker = new TInstallTrackThread();
    Own.FInstallTrackThread = worker;
    worker->StartTracking();
}

void TMainChrome::StopInstallTracking() {
    TSafeThread::SafeFree(Own.FInstallTrackThread);
}

void TMainChrome::Crop(QObject* sender) {
    if (F.IsPlaying())
        F.acPauseExecute(sender);
    if (!F.Project() || !F.CurrentFrame() || F.FrameBitmap().isNull())
        return;
    if (ExecuteCropForm(F.Project(), F.FrameBitmap())) {
        F.RefreshShot(true);
        emit GifSettingsChanged();
    }
}

void TMainChrome::Setting() {
    if (!F.Project())
        return;
    if (ExecuteSettingForm(F.Project(), F.FrameBitmap())) {
        F.RefreshShot(true);
        emit GifSettingsChanged();
    }
}

void TMainChrome::Option() {
    if (!ExecuteOptionForm(F.Project()))
        return;
    emit GifSettingsChanged();
    if (F.pnlPlayer->isVisible())
        F.pnlPlayer->repaint();
    else if (F.pnlShot->isVisible())
        F.pnlShot->repaint();
}

void TMainChrome::Help(QObject* sender) {
    auto* control = qobject_cast<QWidget*>(sender);
    if (!control)
        return;
    F.pmHelp->popup(control->mapToGlobal(QPoint(0, control->height())));
}

void TMainChrome::About() {
    ShowAboutForm();
}

void TMainChrome::TitleDoubleClick() {
    if (F.IsWindowMaximized())
        Restore();
    else
        Maximize();
}

void TMainChrome::Minimize() {
    // The whole program goes to the task bar.
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget* window : windows)
        if (window->isVisible() && window->windowType() != Qt::Popup &&
            window->windowType() != Qt::ToolTip)
            window->showMinimized();
}

void TMainChrome::Maximize() {
    F.SetMaximized(true);
    F.btnRestore->raise();
}

void TMainChrome::Restore() {
    F.SetMaximized(false);
    F.btnMax->raise();
}

void TMainChrome::PaintToolLine(QPainter& painter) {
    const QColor line(201, 198, 188);
    const int w = F.PaintBox1->width();
    painter.fillRect(QRect(0, 0, w, F.PaintBox1->height()), line);
    painter.fillRect(QRect(0, 0, 1, 2), line);
    painter.fillRect(QRect(w - 1, 0, 1, 2), line);
}

void TMainChrome::ApplySkin() {
    if (!CurrentBrand().OwnSkins || !App)
        return;
    F.imgIco->LoadFromFile(App->GetSkinPath() + QStringLiteral("TBaseUIForm.imgIco.bmp"));
}

void TMainChrome::AdjustForDpi() {
    LayoutFrameImages(&F, F.imgLeft, F.imgRight, F.imgTop, F.imgBottom, F.imgTopLeft, F.imgTopRight,
                      F.imgBottomLeft, F.imgBottomRight);
    const int clientHeight = F.height();
    F.imgIco->move(10, 7);
    F.lblCaption->move(F.lblCaption->x(), 7);
    for (QWidget* button : {F.btnMin, F.btnMax, F.btnRestore, F.btnClose})
        button->move(button->x(), 8);
    F.Image1->setGeometry(F.Image1->x(), 31, F.Image1->width(), 27);
    for (QWidget* button : {F.btnOptions, F.btnHelp})
        button->setGeometry(button->x(), 31, button->width(), 26);
    F.Image2->move(F.Image2->x(), 31);
    F.pnlView->setGeometry(F.pnlView->x(), clientHeight - 123 - 90, F.pnlView->width(), 123);
    F.btnPriorMore->move(F.btnPriorMore->x(), 0);
    F.btnNextMore->move(F.pnlView->width() - F.btnNextMore->width(), 0);
    F.ShotView->setGeometry(F.btnPriorMore->width() + 4, 1, F.pnlView->width() - 56, 121);
    F.pnlPlayer->setGeometry(F.pnlPlayer->x(), 64, F.pnlPlayer->width(), clientHeight - 305);
    F.TrackBar->setGeometry(F.TrackBar->x(), F.pnlPlayer->geometry().bottom() + 1 + 7,
                            F.TrackBar->width(), 16);
    for (QWidget* control :
         {static_cast<QWidget*>(F.lblDuration), static_cast<QWidget*>(F.btnInfo)})
        control->move(control->x(), F.TrackBar->y() - 1);
    F.gbTool->setGeometry(F.gbTool->x(), clientHeight - 76 - F.imgBottom->height(),
                          F.gbTool->width(), 76);
    for (QWidget* button :
         {F.Button1, F.btnPlay, F.btnPause, F.btnCrop, F.btnSetting, F.btnConvert})
        button->setGeometry(button->x(), 17, button->width(), 50);
    F.spToolbar->setGeometry(F.spToolbar->x(), 26, F.spToolbar->width(), 32);
    for (QWidget* button : {F.btnMore, F.btnPriorFrame, F.btnNextFrame})
        button->move(button->x(), 17);
    F.btnStart->setGeometry(F.btnStart->x() - 5, 17, F.btnStart->width(), 22);
    F.btnEnd->setGeometry(F.btnEnd->x() - 5, 45, F.btnEnd->width(), 22);
    F.btnStart->SetStretch(true);
    F.btnEnd->SetStretch(true);
    F.edtStart->setGeometry(F.edtStart->x() - 8, 16, F.edtStart->width() + 10,
                            F.edtStart->height());
    F.edtEnd->setGeometry(F.edtEnd->x() - 8, 44, F.edtEnd->width() + 10, F.edtEnd->height());
}
