#include "ui/MHintWindow.h"

#include "ui/BaseFrm.h"

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

TMHint::TMHint(QWidget* owner) : FOwner(owner), FMeasure(std::make_unique<QLabel>()) {
    SetUpTip(FMeasure.get());
    TieTo(owner);
}

TMHint::~TMHint() {
    delete FWindow.data();
}

void TMHint::TieTo(QWidget* owner) {
    QWidget* parent = owner ? owner->window() : nullptr;
    if (FWindow && FWindow->parentWidget() == parent)
        return;
    delete FWindow.data();
    FWindow = new QLabel(parent, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    SetUpTip(FWindow);
}

QSize TMHint::MeasureHint(const QString& text) const {
    const QFontMetrics metrics(FMeasure->font());
    const int frame = 2 * HintMargin;
    const int screenWidth = ScreenWidthAt(FWindow ? FWindow->pos() : QPoint());
    const QRect box =
        metrics.boundingRect(QRect(0, 0, screenWidth - frame, 0),
                             Qt::AlignLeft | Qt::TextWordWrap | Qt::TextExpandTabs, text);
    const int width = qMin(box.width() + frame, screenWidth);
    FMeasure->setText(text);
    return QSize(width, qMax(box.height() + frame, FMeasure->heightForWidth(width)));
}

void TMHint::ShowHintAt(const QPoint& point, const QString& text) {
    // Where the desktop places the windows, a tip is shown only relative to a window it belongs
    // to: without an owner of its own, the modal window in front or the main window.
    QWidget* owner = FOwner.data();
    if (!owner && DesktopPlacesWindows())
        owner = FindOwnerWindow();
    if (!FWindow || owner)
        TieTo(owner);
    const QRect geometry(point, MeasureHint(text));
    // There a tip that shows stays where the desktop put it: moved, it shows again at its new
    // place.
    if (FWindow->isVisible() && DesktopPlacesWindows() && FWindow->pos() != geometry.topLeft())
        FWindow->hide();
    FWindow->setText(text);
    FWindow->setGeometry(geometry);
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
