#pragma once
// The base of every window: drawn without the system's frame, resizable by its edges and
// corners when it says so, placed in the screen's work area, and built by one creation sequence
// (screen resolution, fonts for the system language, translated texts, skin pictures).
//
// A window class calls FormCreate() at the end of its constructor, when all its controls exist;
// a window shown without that runs it when first shown.
//
// Under Wayland the desktop places every window and tells no window where it is: there a window
// never moves itself, a modal window is tied to the window it belongs to (the desktop opens it
// over that one), and maximizing is asked of the desktop.

#include <QRect>
#include <QWidget>
#include <functional>

class QEventLoop;

// Hit-test results: where on a window the mouse is.
enum THitTest {
    htClient = 1,
    htCaption = 2,
    htLeft = 10,
    htRight = 11,
    htTop = 12,
    htTopLeft = 13,
    htTopRight = 14,
    htBottom = 15,
    htBottomLeft = 16,
    htBottomRight = 17
};

// The margins of a window that resize it, in pixels.
struct TBorderInfo {
    int LeftWidth = 0;
    int RightWidth = 0;
    int TopHeight = 0;
    int BottomHeight = 0;
    int TopLeftWidth = 0, TopLeftHeight = 0;
    int BottomLeftWidth = 0, BottomLeftHeight = 0;
    int TopRightWidth = 0, TopRightHeight = 0;
    int BottomRightWidth = 0, BottomRightHeight = 0;

    // The margins of the resizable windows: left 8, right 8, top 4, bottom 8, corners 12 x 12.
    static TBorderInfo Standard();
};

// The edge or corner of a client area of `client` size that holds `point`, tested corners first
// (top-left, bottom-right, bottom-left, top-right) and then the right, left, top and bottom
// borders; `standard` when none does.
int BorderHitTest(const TBorderInfo& info, const QSize& client, const QPoint& point,
                  int standard = htClient);
// The edges a hit-test result resizes (none for other results) and its cursor.
Qt::Edges HitTestEdges(int hitTest);
Qt::CursorShape HitTestCursor(int hitTest);

// What the desktop tells about its task bar. Anchor: 0 left, 1 top, 2 right, 3 bottom.
struct TTaskbarFacts {
    bool AutoHide = false;
    int Anchor = 3;
};

// The area a maximized window covers: the work area grown by one pixel to the right and bottom;
// with a self-hiding task bar, the side at its edge leaves room to call it up.
QRect ComputeMaximizeArea(const QRect& workArea, const TTaskbarFacts& taskbar);
// The top-left corner that centres a window of `size` in `area` (never left of or above it).
QPoint CenteredPosition(const QRect& area, const QSize& size);
// A window's geometry after dragging `edges` of `start` by `delta`, kept at least `minimum`.
QRect ResizedGeometry(const QRect& start, Qt::Edges edges, const QPoint& delta,
                      const QSize& minimum);

// Whether the desktop places the windows and keeps their positions to itself (Wayland).
bool DesktopPlacesWindows();
// The window a new modal window or tip belongs to: the modal window in front, or else the main
// window (a visible window of ours that is not modal); never `except`; none when none shows.
QWidget* FindOwnerWindow(const QWidget* except = nullptr);

class TBaseForm : public QWidget {
    Q_OBJECT
public:
    explicit TBaseForm(QWidget* parent = nullptr);
    ~TBaseForm() override;

    // The creation sequence: AdjustForDpi when the screen is not at 96 dpi, AdaptFormFont,
    // ApplyLanguage, ApplySkin. Runs once.
    void FormCreate();
    bool IsCreated() const { return FCreated; }

    virtual void ApplyLanguage() {}
    virtual void ApplySkin() {}
    virtual void AdjustForDpi() {}
    // Fills `info` and says whether the window can be resized by its edges.
    virtual bool GetBorderInfo(TBorderInfo& info) const;

    // What lies under a point of the client area: an edge or corner that resizes the window,
    // or htClient. A maximized window has no resizing edges.
    int HitTest(const QPoint& clientPoint) const;

    QRect GetMaximizeArea() const;
    // Centres the window in its maximize area; nothing where the desktop places the windows.
    void CenterInWorkArea();

    // Maximized: the window covers its maximize area (GetMaximizeArea) and its edges do not
    // resize it. The program maximizes its borderless windows itself, so the area rule holds on
    // every desktop; a window the desktop maximized counts as maximized too. Where the desktop
    // places the windows, only the desktop can put a window on its work area: it is asked to
    // maximize and restore, and the window counts as maximized once it has done so.
    bool IsWindowMaximized() const { return FMaximized || isMaximized(); }
    void SetMaximized(bool maximized);
    // Puts a maximized window on its maximize area again (after the screen changed).
    void ApplyMinMaxInfo();

    // Is a language file active (the language object's IsLoaded)?
    static bool IsLanguageLoaded();

    // Modal use: shows the window modally and returns its modal result (1 OK, 2 Cancel).
    // Closing it without a result gives Cancel. Where the desktop places the windows, the
    // window is tied to its owner (FindOwnerWindow) while it shows.
    int ShowModal();
    int ModalResult() const { return FModalResult; }
    // A non-zero result closes a modal window.
    void SetModalResult(int result);
    bool IsModalRunning() const { return FModalLoop != nullptr; }

    // Facts of the desktop, replaceable by tests.
    static void SetTaskbarFactsProvider(std::function<TTaskbarFacts()> provider);
    static void SetScreenDpiProvider(std::function<int()> provider);
    static int ScreenDpi();

    // The system language identifier AdaptFormFont uses at creation (0: the system's);
    // replaceable by tests.
    static void SetLanguageIdOverride(int languageId);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

    // A key pressed anywhere in the window, before its control sees it; true when handled.
    virtual bool FormKeyDown(QKeyEvent* event);
    // Whether a mouse press at a point of a child starts a title-bar drag (TBaseUIForm).
    virtual bool IsCaptionWidget(QWidget* widget) const;
    // A double-click on the title bar.
    virtual void CaptionDoubleClicked() {}

private:
    bool HandleMouse(QWidget* widget, QEvent* event);
    void UpdateEdgeCursor(int hitTest);
    void TieToOwner(bool tie);

    bool FCreated = false;
    bool FMaximized = false;
    QRect FRestoreGeometry;
    int FModalResult = 0;
    QEventLoop* FModalLoop = nullptr;
    // Moving or resizing by hand where the desktop cannot do it for us.
    enum TDragKind { dkNone, dkMove, dkResize };
    TDragKind FDragKind = dkNone;
    Qt::Edges FDragEdges;
    QPoint FDragStartGlobal;
    QRect FDragStartGeometry;
    bool FCaptionPressed = false;
    bool FEdgeCursor = false;
};
