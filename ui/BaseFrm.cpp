#include "ui/BaseFrm.h"

#include "localisation/Language.h"
#include "ui/UIUtils.h"
#include "widgets/FlatStyle.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QAbstractSlider>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QEventLoop>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>
#include <QScreen>
#include <QWindow>

TBorderInfo TBorderInfo::Standard() {
    TBorderInfo info;
    info.LeftWidth = 8;
    info.RightWidth = 8;
    info.TopHeight = 4;
    info.BottomHeight = 8;
    info.TopLeftWidth = info.TopLeftHeight = 12;
    info.BottomLeftWidth = info.BottomLeftHeight = 12;
    info.TopRightWidth = info.TopRightHeight = 12;
    info.BottomRightWidth = info.BottomRightHeight = 12;
    return info;
}

int BorderHitTest(const TBorderInfo& b, const QSize& client, const QPoint& p, int standard) {
    const int w = client.width(), h = client.height();
    // Left, top, right, bottom with the right and bottom edges excluded.
    auto in = [&p](int left, int top, int right, int bottom) {
        return p.x() >= left && p.x() < right && p.y() >= top && p.y() < bottom;
    };
    if (in(0, 0, b.TopLeftWidth, b.TopLeftHeight))
        return htTopLeft;
    if (in(w - b.BottomRightWidth, h - b.BottomRightHeight, w, h))
        return htBottomRight;
    if (in(0, h - b.BottomLeftHeight, b.BottomLeftWidth, h))
        return htBottomLeft;
    if (in(w - b.TopRightWidth, 0, w, b.TopRightHeight))
        return htTopRight;
    if (in(w - b.RightWidth, 0, w, h))
        return htRight;
    if (in(0, 0, b.LeftWidth, h))
        return htLeft;
    if (in(0, 0, w, b.TopHeight))
        return htTop;
    if (in(0, h - b.BottomHeight, w, h))
        return htBottom;
    return standard;
}

Qt::Edges HitTestEdges(int hitTest) {
    switch (hitTest) {
    case htLeft:
        return Qt::LeftEdge;
    case htRight:
        return Qt::RightEdge;
    case htTop:
        return Qt::TopEdge;
    case htBottom:
        return Qt::BottomEdge;
    case htTopLeft:
        return Qt::TopEdge | Qt::LeftEdge;
    case htTopRight:
        return Qt::TopEdge | Qt::RightEdge;
    case htBottomLeft:
        return Qt::BottomEdge | Qt::LeftEdge;
    case htBottomRight:
        return Qt::BottomEdge | Qt::RightEdge;
    default:
        return {};
    }
}

Qt::CursorShape HitTestCursor(int hitTest) {
    switch (hitTest) {
    case htLeft:
    case htRight:
        return Qt::SizeHorCursor;
    case htTop:
    case htBottom:
        return Qt::SizeVerCursor;
    case htTopLeft:
    case htBottomRight:
        return Qt::SizeFDiagCursor;
    case htTopRight:
    case htBottomLeft:
        return Qt::SizeBDiagCursor;
    default:
        return Qt::ArrowCursor;
    }
}

QRect ComputeMaximizeArea(const QRect& workArea, const TTaskbarFacts& taskbar) {
    // Exactly the work area (edges one past the last pixel); a self-hiding task bar keeps one
    // pixel of its edge free so that it can still be called up.
    int left = workArea.x(), top = workArea.y();
    int right = workArea.x() + workArea.width();
    int bottom = workArea.y() + workArea.height();
    if (taskbar.AutoHide) {
        switch (taskbar.Anchor) {
        case 0:
            left += 1;
            break;
        case 1:
            top += 1;
            break;
        case 2:
            right -= 1;
            break;
        case 3:
            bottom -= 1;
            break;
        default:
            break;
        }
    }
    return QRect(left, top, right - left, bottom - top);
}

QPoint CenteredPosition(const QRect& area, const QSize& size) {
    const int left = area.x() + (area.width() - size.width()) / 2;
    const int top = area.y() + (area.height() - size.height()) / 2;
    return QPoint(qMax(left, area.x()), qMax(top, area.y()));
}

QRect ResizedGeometry(const QRect& start, Qt::Edges edges, const QPoint& delta,
                      const QSize& minimum) {
    int left = start.x(), top = start.y();
    int right = start.x() + start.width(), bottom = start.y() + start.height();
    if (edges & Qt::LeftEdge)
        left = qMin(left + delta.x(), right - minimum.width());
    if (edges & Qt::RightEdge)
        right = qMax(right + delta.x(), left + minimum.width());
    if (edges & Qt::TopEdge)
        top = qMin(top + delta.y(), bottom - minimum.height());
    if (edges & Qt::BottomEdge)
        bottom = qMax(bottom + delta.y(), top + minimum.height());
    return QRect(left, top, right - left, bottom - top);
}

bool DesktopPlacesWindows() {
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

QWidget* FindOwnerWindow(const QWidget* except) {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && modal != except && modal->isVisible())
        return modal;
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget* window : windows) {
        if (window != except && window->isVisible() && qobject_cast<TBaseForm*>(window) &&
            window->windowType() == Qt::Window && window->windowModality() == Qt::NonModal)
            return window;
    }
    return nullptr;
}

namespace {

std::function<TTaskbarFacts()>& TaskbarProvider() {
    static std::function<TTaskbarFacts()> provider;
    return provider;
}

std::function<int()>& DpiProvider() {
    static std::function<int()> provider;
    return provider;
}

int& LanguageIdOverride() {
    static int id = 0;
    return id;
}

// Controls that take the mouse themselves; the window's edges do not reach into them.
bool IsInputWidget(QWidget* widget) {
    return qobject_cast<QAbstractButton*>(widget) || qobject_cast<QLineEdit*>(widget) ||
           qobject_cast<QAbstractSlider*>(widget) || qobject_cast<QComboBox*>(widget) ||
           qobject_cast<QAbstractScrollArea*>(widget) ||
           qobject_cast<QAbstractScrollArea*>(widget->parentWidget());
}

} // namespace

TBaseForm::TBaseForm(QWidget* parent) : QWidget(parent, Qt::Window | Qt::FramelessWindowHint) {
    ApplyFlatStyle();
    // The window definition: Arial 8 points at 96 dpi (11 pixels), dark grey text.
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(11);
    setFont(font);
    QPalette p = palette();
    p.setColor(QPalette::WindowText, QColor(70, 70, 70));
    setPalette(p);
    setMouseTracking(true);
    qApp->installEventFilter(this);
}

TBaseForm::~TBaseForm() {
    qApp->removeEventFilter(this);
    if (FModalLoop)
        FModalLoop->quit();
}

bool TBaseForm::GetBorderInfo(TBorderInfo&) const {
    return false;
}

void TBaseForm::FormCreate() {
    if (FCreated)
        return;
    FCreated = true;
    if (ScreenDpi() != 96)
        AdjustForDpi();
    AdaptFormFont(this, LanguageIdOverride());
    ApplyLanguage();
    ApplySkin();
    // Controls made so far follow the mouse, so edges can show their cursors over them.
    const auto children = findChildren<QWidget*>();
    for (QWidget* child : children)
        if (!IsInputWidget(child))
            child->setMouseTracking(true);
}

int TBaseForm::HitTest(const QPoint& clientPoint) const {
    TBorderInfo info;
    if (IsWindowMaximized() || !GetBorderInfo(info))
        return htClient;
    return BorderHitTest(info, size(), clientPoint, htClient);
}

QRect TBaseForm::GetMaximizeArea() const {
    QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    const QRect work = s ? s->availableGeometry() : QRect(0, 0, 1024, 768);
    // The desktop cannot tell whether a task bar hides itself: reported as not hiding.
    const TTaskbarFacts facts = TaskbarProvider() ? TaskbarProvider()() : TTaskbarFacts();
    return ComputeMaximizeArea(work, facts);
}

void TBaseForm::CenterInWorkArea() {
    if (DesktopPlacesWindows())
        return;
    move(CenteredPosition(GetMaximizeArea(), frameGeometry().size()));
}

bool TBaseForm::IsLanguageLoaded() {
    return Language && Language->IsLoaded();
}

int TBaseForm::ShowModal() {
    if (FModalLoop)
        return 0;
    FModalResult = 0;
    setWindowModality(Qt::ApplicationModal);
    TieToOwner(true);
    QEventLoop loop;
    FModalLoop = &loop;
    QPointer<TBaseForm> self(this);
    const QPointer<QWidget> owner = FindOwnerWindow(this);
    show();
    raise();
    activateWindow();
    if (isVisible())
        loop.exec(QEventLoop::DialogExec);
    if (!self)
        return 2;
    FModalLoop = nullptr;
    hide();
    TieToOwner(false);
    setWindowModality(Qt::NonModal);
    // The keys go back to the window this one showed over, as a window manager would do (an X
    // display without one leaves no window active).
    if (owner && owner->isVisible())
        owner->activateWindow();
    if (FModalResult == 0)
        FModalResult = 2;
    return FModalResult;
}

void TBaseForm::TieToOwner(bool tie) {
    // Where the desktop places the windows, it opens a window over the one it belongs to and
    // keeps it above that one; elsewhere the window places itself.
    if (!DesktopPlacesWindows())
        return;
    QWidget* owner = tie ? FindOwnerWindow(this) : nullptr;
    if (tie && !owner)
        return;
    if (!windowHandle())
        create();
    if (QWindow* window = windowHandle())
        window->setTransientParent(owner ? owner->window()->windowHandle() : nullptr);
}

void TBaseForm::SetModalResult(int result) {
    FModalResult = result;
    if (result != 0)
        close();
}

void TBaseForm::SetTaskbarFactsProvider(std::function<TTaskbarFacts()> provider) {
    TaskbarProvider() = std::move(provider);
}

void TBaseForm::SetScreenDpiProvider(std::function<int()> provider) {
    DpiProvider() = std::move(provider);
}

int TBaseForm::ScreenDpi() {
    if (DpiProvider())
        return DpiProvider()();
    QScreen* s = QGuiApplication::primaryScreen();
    return s ? qRound(s->logicalDotsPerInch()) : 96;
}

void TBaseForm::SetLanguageIdOverride(int languageId) {
    LanguageIdOverride() = languageId;
}

void TBaseForm::showEvent(QShowEvent* event) {
    FormCreate();
    QWidget::showEvent(event);
}

void TBaseForm::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    if (event->isAccepted() && FModalLoop) {
        if (FModalResult == 0)
            FModalResult = 2;
        FModalLoop->quit();
    }
}

void TBaseForm::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
}

void TBaseForm::SetMaximized(bool maximized) {
    if (DesktopPlacesWindows()) {
        if (maximized)
            showMaximized();
        else if (isMaximized())
            showNormal();
        return;
    }
    if (maximized) {
        if (!FMaximized) {
            FRestoreGeometry = isMaximized() ? normalGeometry() : geometry();
            FMaximized = true;
        }
        ApplyMinMaxInfo();
        return;
    }
    if (FMaximized) {
        FMaximized = false;
        setGeometry(FRestoreGeometry);
    } else if (isMaximized()) {
        showNormal();
    }
}

void TBaseForm::ApplyMinMaxInfo() {
    if (!FMaximized)
        return;
    const QRect area = GetMaximizeArea();
    if (geometry() != area)
        setGeometry(area);
}

bool TBaseForm::FormKeyDown(QKeyEvent*) {
    return false;
}

bool TBaseForm::IsCaptionWidget(QWidget*) const {
    return false;
}

void TBaseForm::UpdateEdgeCursor(int hitTest) {
    if (HitTestEdges(hitTest) != Qt::Edges()) {
        setCursor(HitTestCursor(hitTest));
        FEdgeCursor = true;
    } else if (FEdgeCursor) {
        unsetCursor();
        FEdgeCursor = false;
    }
}

bool TBaseForm::HandleMouse(QWidget* widget, QEvent* event) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    const QPoint global = mouse->globalPosition().toPoint();
    const QPoint local = mapFromGlobal(global);
    switch (event->type()) {
    case QEvent::MouseMove: {
        if (FDragKind != dkNone) {
            if (!(mouse->buttons() & Qt::LeftButton)) {
                FDragKind = dkNone;
                return false;
            }
            const QPoint delta = global - FDragStartGlobal;
            if (FDragKind == dkMove)
                move(FDragStartGeometry.topLeft() + delta);
            else
                setGeometry(ResizedGeometry(FDragStartGeometry, FDragEdges, delta,
                                            minimumSize().expandedTo(QSize(1, 1))));
            return true;
        }
        if (FCaptionPressed && (mouse->buttons() & Qt::LeftButton)) {
            // Moving by the title bar: the desktop moves the window when it can. Where it places
            // the windows, only it can move them.
            FCaptionPressed = false;
            if (IsWindowMaximized())
                return true;
            if ((!windowHandle() || !windowHandle()->startSystemMove()) &&
                !DesktopPlacesWindows()) {
                FDragKind = dkMove;
                FDragStartGlobal = global;
                FDragStartGeometry = geometry();
            }
            return true;
        }
        if (!(mouse->buttons() & Qt::LeftButton) && (widget == this || !IsInputWidget(widget)))
            UpdateEdgeCursor(HitTest(local));
        return false;
    }
    case QEvent::MouseButtonPress: {
        if (mouse->button() != Qt::LeftButton)
            return false;
        if (widget == this || !IsInputWidget(widget)) {
            const int hit = HitTest(local);
            const Qt::Edges edges = HitTestEdges(hit);
            if (edges != Qt::Edges()) {
                if (!windowHandle() || !windowHandle()->startSystemResize(edges)) {
                    FDragKind = dkResize;
                    FDragEdges = edges;
                    FDragStartGlobal = global;
                    FDragStartGeometry = geometry();
                }
                return true;
            }
        }
        if (IsCaptionWidget(widget)) {
            FCaptionPressed = true;
            return true;
        }
        return false;
    }
    case QEvent::MouseButtonRelease:
        FCaptionPressed = false;
        if (FDragKind != dkNone && mouse->button() == Qt::LeftButton) {
            FDragKind = dkNone;
            return true;
        }
        return false;
    case QEvent::MouseButtonDblClick:
        if (mouse->button() == Qt::LeftButton && IsCaptionWidget(widget)) {
            CaptionDoubleClicked();
            return true;
        }
        return false;
    default:
        return false;
    }
}

bool TBaseForm::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    const bool mouseEvent = type == QEvent::MouseMove || type == QEvent::MouseButtonPress ||
                            type == QEvent::MouseButtonRelease ||
                            type == QEvent::MouseButtonDblClick;
    if ((type != QEvent::KeyPress && !mouseEvent) || !watched->isWidgetType())
        return false;
    auto* widget = static_cast<QWidget*>(watched);
    if (widget->window() != this)
        return false;
    if (type == QEvent::KeyPress)
        return FormKeyDown(static_cast<QKeyEvent*>(event));
    return HandleMouse(widget, event);
}
