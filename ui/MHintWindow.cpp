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

namespace {
void SetUpTip(QLabel* label) {
    label->setPalette(QToolTip::palette());
    label->setAutoFillBackground(true);
    label->setBackgroundRole(QPalette::ToolTipBase);
    label->setForegroundRole(QPalette::ToolTipText);
    label->setFont(QToolTip::font());
    label->setFrameStyle(QFrame::Box | QFrame::Plain);
    label->setLineWidth(HintBorder);
    label->setMargin(HintMargin - HintBorder);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setAttribute(Qt::WA_ShowWithoutActivating);
}
} // namespace

TMHint::TMHint()
    : FWindow(std::make_unique<QLabel>(nullptr, Qt::ToolTip | Qt::FramelessWindowHint |
                                                    Qt::WindowStaysOnTopHint)),
      FMeasure(std::make_unique<QLabel>()) {
    SetUpTip(FWindow.get());
    SetUpTip(FMeasure.get());
}

TMHint::~TMHint() = default;

QSize TMHint::MeasureHint(const QString& text) const {
    const QFontMetrics metrics(FWindow->font());
    const int frame = 2 * HintMargin;
    const int screenWidth = ScreenWidthAt(FWindow->pos());
    const QRect box =
        metrics.boundingRect(QRect(0, 0, screenWidth - frame, 0),
                             Qt::AlignLeft | Qt::TextWordWrap | Qt::TextExpandTabs, text);
    const int width = qMin(box.width() + frame, screenWidth);
    FMeasure->setText(text);
    return QSize(width, qMax(box.height() + frame, FMeasure->heightForWidth(width)));
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
