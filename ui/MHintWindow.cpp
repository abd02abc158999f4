#include "ui/MHintWindow.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QToolTip>

namespace {
constexpr int HintMargin = 4; // text to border, each side
constexpr int HintBorder = 1;

int ScreenWidthAt(const QPoint& point) {
    QScreen* screen = QGuiApplication::screenAt(point);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().width() : 1024;
}
} // namespace

TMHint::TMHint()
    : FWindow(std::make_unique<QLabel>(nullptr, Qt::ToolTip | Qt::FramelessWindowHint |
                                                    Qt::WindowStaysOnTopHint)) {
    QPalette palette = QToolTip::palette();
    FWindow->setPalette(palette);
    FWindow->setAutoFillBackground(true);
    FWindow->setBackgroundRole(QPalette::ToolTipBase);
    FWindow->setForegroundRole(QPalette::ToolTipText);
    FWindow->setFont(QToolTip::font());
    FWindow->setFrameStyle(QFrame::Box | QFrame::Plain);
    FWindow->setLineWidth(HintBorder);
    FWindow->setMargin(HintMargin - HintBorder);
    FWindow->setWordWrap(true);
    FWindow->setTextFormat(Qt::PlainText);
    FWindow->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    FWindow->setAttribute(Qt::WA_ShowWithoutActivating);
}

TMHint::~TMHint() = default;

QSize TMHint::MeasureHint(const QString& text) const {
    const QFontMetrics metrics(FWindow->font());
    const int frame = 2 * HintMargin;
    const int screenWidth = ScreenWidthAt(FWindow->pos());
    const QRect box =
        metrics.boundingRect(QRect(0, 0, screenWidth - frame, 0),
                             Qt::AlignLeft | Qt::TextWordWrap | Qt::TextExpandTabs, text);
    return QSize(qMin(box.width() + frame, screenWidth), box.height() + frame);
}

void TMHint::ShowHintAt(const QPoint& point, const QString& text) {
    FWindow->setText(text);
    FWindow->setGeometry(QRect(point, MeasureHint(text)));
    FWindow->show();
    FWindow->raise();
}

void TMHint::HideHint() {
    if (FWindow && FWindow->isVisible())
        FWindow->hide();
}

bool TMHint::IsShowing() const {
    return FWindow && FWindow->isVisible();
}
