#pragma once
// A crop frame: a rectangle with eight drag points drawn over another control. The user moves it
// by dragging inside and sizes it by its edges and drag points; it never leaves its restriction
// rectangle. OnRectChanged is raised whenever the user has moved or sized it.
//
// Rectangles are in the control's pixels; a rectangle's right edge in the Windows sense is
// x() + width().

#include "widgets/WinColor.h"

#include <QPointer>
#include <QRect>
#include <QWidget>
#include <functional>

enum TCropLineStyle { lsSingle, lsDash };
enum TCropStyle { csClear, csSolid };
enum TCropMode { dmCrop, dmView };

enum TCropHandle {
    chNone,
    chMove,
    chLeft,
    chTop,
    chRight,
    chBottom,
    chTopLeft,
    chTopRight,
    chBottomLeft,
    chBottomRight
};

// The geometry of the frame, without a window.
struct TCropGeometry {
    // The part of the frame `rect` at `point`: a drag point or edge within `grip` pixels, the
    // inside, or nothing.
    static TCropHandle HitTest(const QRect& rect, const QPoint& point, int grip);
    // The frame after dragging `handle` of `start` by `delta`: kept inside `restrict` (when not
    // empty) and at least `minSize` pixels wide and high; a moved frame keeps its size.
    static QRect Drag(TCropHandle handle, const QRect& start, const QPoint& delta,
                      const QRect& restrict, int minSize);
    static Qt::CursorShape CursorFor(TCropHandle handle);
};

class TCropFrameControl : public QWidget {
    Q_OBJECT
public:
    explicit TCropFrameControl(QWidget* owner = nullptr);

    // Draws the frame over `control` and takes its mouse input; none removes the frame.
    void SetControl(QWidget* control);
    QWidget* Control() const { return FControl; }

    void SetCropRect(const QRect& rect);
    QRect CropRect() const { return FRect; }
    // The rectangle the frame must stay in (empty: the whole control).
    void LoadRc(const QRect& restricts) { FRestricts = restricts; }
    QRect Restricts() const { return FRestricts; }
    QRect EffectiveRestricts() const;

    void SetLineColor(TColor color) {
        FLineColor = color;
        update();
    }
    void SetLineColor2(TColor color) {
        FLineColor2 = color;
        update();
    }
    void SetDragPointColor(TColor color) {
        FDragPointColor = color;
        update();
    }
    void SetDragPointFrame(TColor color) {
        FDragPointFrame = color;
        update();
    }
    void SetDragPointRadius(int radius) {
        FRadius = qMax(1, radius);
        update();
    }
    void SetLineStyle(TCropLineStyle style) {
        FLineStyle = style;
        update();
    }
    void SetCropStyle(TCropStyle style) {
        FCropStyle = style;
        update();
    }
    void SetSolidColor(TColor color) {
        FSolidColor = color;
        update();
    }
    void SetSolidTransValue(int alpha) {
        FSolidAlpha = qBound(0, alpha, 255);
        update();
    }
    void SetMode(TCropMode mode) {
        FMode = mode;
        update();
    }
    TColor LineColor() const { return FLineColor; }
    TColor DragPointColor() const { return FDragPointColor; }
    TColor DragPointFrame() const { return FDragPointFrame; }

    // The smallest width and height the user can size the frame to.
    static constexpr int MinSize = 8;

    std::function<void()> OnRectChanged;

signals:
    void RectChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    int Grip() const { return FRadius + 3; }
    QPointer<QWidget> FControl;
    QRect FRect;
    QRect FRestricts;
    TColor FLineColor = 0xFF0000, FLineColor2 = 0xFFFFFF, FDragPointColor = 0xFF0000,
           FDragPointFrame = 0xFF0000, FSolidColor = 0xFF0000;
    int FRadius = 3;
    int FSolidAlpha = 80;
    TCropLineStyle FLineStyle = lsSingle;
    TCropStyle FCropStyle = csClear;
    TCropMode FMode = dmCrop;
    TCropHandle FDragHandle = chNone;
    QPoint FDragStart;
    QRect FDragStartRect;
};
