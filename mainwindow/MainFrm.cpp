#include "mainwindow/MainFrm.h"

#include "app/VGApp.h"
#include "common/CommonFunctions.h"

#include <QPainter>

namespace {
std::function<void()>& destroyHook() {
    static std::function<void()> hook;
    return hook;
}
} // namespace

TMainForm::TMainForm(QWidget* parent) : QWidget(parent) {
    setWindowTitle(TApp::GetTitle());
    setMinimumSize(640, 400);
    resize(960, 640);
    if (App) {
        FStartBK.load(App->AppPath + QLatin1String("resource/StartBK.bmp"));
        FStartText.load(App->AppPath + QLatin1String("resource/StartText.png"));
    }
}

TMainForm::~TMainForm() {
    if (destroyHook())
        destroyHook()();
    if (App)
        DeleteFolderFiles(App->TempPath);
}

void TMainForm::SetDestroyHook(std::function<void()> hook) {
    destroyHook() = std::move(hook);
}

void TMainForm::BringToFront() {
    if (isMinimized())
        showNormal();
    show();
    raise();
    activateWindow();
}

void TMainForm::paintEvent(QPaintEvent*) {
    // The start screen: the banner across the top at its own height, its text at (50, 50), the
    // window's white background elsewhere.
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (!FStartBK.isNull())
        painter.drawImage(QRect(0, 0, width(), FStartBK.height()), FStartBK);
    if (!FStartText.isNull())
        painter.drawImage(QPoint(50, 50), FStartText);
}
