#include "widgets/CropFrameControl.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

// TCropGeometry

TCropHandle TCropGeometry::HitTest(const QRect& rect, const QPoint& point, int grip) {
    if (rect.isEmpty())
        return chNone;
    const int left = rect.x(), top = rect.y();
    const int right = rect.x() + rect.width(), bottom = rect.y() + rect.height();
    const int x = point.x(), y = point.y();
    if (x < left - grip || x > right + grip || y < top - grip || y > bottom + grip)
        return chNone;
    const bool nearLeft = qAbs(x - left) <= grip, nearRight = qAbs(x - right) <= grip;
    const bool nearTop = qAbs(y - top) <= grip, nearBottom = qAbs(y - bottom) <= grip;
    // A narrow frame: the nearer edge wins.
    const bool leftWins = nearLeft && (!nearRight || qAbs(x - left) <= qAbs(x - right));
    const bool topWins = nearTop && (!nearBottom || qAbs(y - top) <= qAbs(y - bottom));
    const bool h1 = leftWins, h2 = nearRight && !leftWins;
    const bool v1 = topWins, v2 = nearBottom && !topWins;
    if (h1 && v1)
        return chTopLeft;
    if (h2 && v1)
        return chTopRight;
    if (h1 && v2)
        return chBottomLeft;
    if (h2 && v2)
        return chBottomRight;
    const bool insideX = x > left && x<right, insideY = y> top && y < bottom;
    if (h1 && insideY)
        return chLeft;
    if (h2 && insideY)
        return chRight;
    if (v1 && insideX)
        return chTop;
    if (v2 && insideX)
        return chBottom;
    if (insideX && insideY)
        return chMove;
    return chNone;
}

QRect TCropGeometry::Drag(TCropHandle handle, const QRect& start, const QPoint& delta,
                          const QRect& restrict, int minSize) {
    const bool limited = !restrict.isEmpty();
    const int rl = restrict.x(), rt = restrict.y();
    const int rr = restrict.x() + restrict.width(), rb = restrict.y() + restrict.height();
    int left = start.x(), top = start.y();
    int right = start.x() + start.width(), bottom = start.y() + start.height();
    if (handle == chMove) {
        int dx = delta.x(), dy = delta.y();
        if (limited) {
            dx = qMax(dx, rl - left);
            dx = qMin(dx, rr - right);
            dy = qMax(dy, rt - top);
            dy = qMin(dy, rb - bottom);
            // A frame larger than the restriction stays at its left or top.
            if (right - left > rr - rl)
                dx = rl - left;
            if (bottom - top > rb - rt)
                dy = rt - top;
        }
        return QRect(left + dx, top + dy, right - left, bottom - top);
    }
    const bool moveLeft = handle == chLeft || handle == chTopLeft || handle == chBottomLeft;
    const bool moveRight = handle == chRight || handle == chTopRight || handle == chBottomRight;
    const bool moveTop = handle == chTop || handle == chTopLeft || handle == chTopRight;
    const bool moveBottom = handle == chBottom || handle == chBottomLeft || handle == chBottomRight;
    if (moveLeft) {
        left = qMin(left + delta.x(), right - minSize);
        if (limited)
            left = qMax(left, rl);
    }
    if (moveRight) {
        right = qMax(right + delta.x(), left + minSize);
        if (limited)
            right = qMin(right, rr);
    }
    if (moveTop) {
        top = qMin(top + delta.y(), bottom - minSize);
        if (limited)
            top = qMax(top, rt);
    }
    if (moveBottom) {
        bottom = qMax(bottom + delta.y(), top + minSize);
        if (limited)
            bottom = qMin(bottom, rb);
    }
    return QRect(left, top, qMax(0, right - left), qMax(0, bottom - top));
}

Qt::CursorShape TCropGeometry::CursorFor(TCropHandle handle) {
    switch (handle) {
    case chMove:
        return Qt::SizeAllCursor;
    case chLeft:
    case chRight:
        return Qt::SizeHorCursor;
    case chTop:
    case chBottom:
        return Qt::SizeVerCursor;
    case chTopLeft:
    case chBottomRight:
        return Qt::SizeFDiagCursor;
    case chTopRight:
    case chBottomLeft:
        return Qt::SizeBDiagCursor;
    case chNone:
        break;
    }
    return Qt::ArrowCursor;
}

// TCropFrameControl

TCropFrameControl::TCropFrameControl(QWidget* owner) : QWidget(owner) {
    setMouseTracking(true);
    hide();
}

void TCropFrameControl::SetControl(QWidget* control) {
    if (FControl == control)
        return;
    if (FControl)
        FControl->removeEventFilter(this);
    FControl = control;
    FDragHandle = chNone;
    if (!control) {
        hide();
        return;
    }
    if (parentWidget() != control)
        setParent(control);
    setGeometry(control->rect());
    control->installEventFilter(this);
    show();
    raise();
    update();
}

void TCropFrameControl::SetCropRect(const QRect& rect) {
    FRect = rect;
    update();
}

QRect TCropFrameControl::EffectiveRestricts() const {
    if (!FRestricts.isEmpty())
        return FRestricts;
    return FControl ? FControl->rect() : rect();
}

bool TCropFrameControl::eventFilter(QObject* watched, QEvent* event) {
    if (watched == FControl && event->type() == QEvent::Resize)
        setGeometry(FControl->rect());
    return false;
}

void TCropFrameControl::paintEvent(QPaintEvent*) {
    if (!FControl || FRect.isEmpty())
        return;
    QPainter painter(this);
    const QRectF frame = QRectF(FRect).adjusted(0.5, 0.5, -0.5, -0.5);
    if (FCropStyle == csClear) {
        // Everything outside the frame is shaded; the frame itself shows the picture as is.
        QPainterPath outside;
        outside.addRect(EffectiveRestricts());
        QPainterPath inside;
        inside.addRect(FRect);
        painter.fillPath(outside.subtracted(inside), QColor(0, 0, 0, FSolidAlpha));
    } else {
        QColor solid = WinColorToQColor(FSolidColor);
        solid.setAlpha(FSolidAlpha);
        painter.fillRect(FRect, solid);
    }
    const QColor line = WinColorToQColor(FLineColor);
    if (FLineStyle == lsDash) {
        painter.setPen(QPen(WinColorToQColor(FLineColor2), 1));
        painter.drawRect(frame);
        painter.setPen(QPen(line, 1, Qt::DashLine));
    } else {
        painter.setPen(QPen(line, 1));
    }
    painter.drawRect(frame);
    if (FMode != dmCrop)
        return;
    // Eight drag points: corners and edge middles.
    painter.setRenderHint(QPainter::Antialiasing);
    const double l = frame.left(), r = frame.right(), t = frame.top(), b = frame.bottom();
    const double cx = (l + r) / 2, cy = (t + b) / 2;
    const QPointF points[] = {{l, t}, {cx, t}, {r, t}, {r, cy}, {r, b}, {cx, b}, {l, b}, {l, cy}};
    for (const QPointF& point : points) {
        painter.setPen(QPen(Qt::white, 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(point, FRadius + 1.0, FRadius + 1.0);
        painter.setPen(QPen(WinColorToQColor(FDragPointFrame), 1));
        painter.setBrush(WinColorToQColor(FDragPointColor));
        painter.drawEllipse(point, double(FRadius), double(FRadius));
    }
}

void TCropFrameControl::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || FMode != dmCrop) {
        event->ignore();
        return;
    }
    FDragHandle = TCropGeometry::HitTest(FRect, event->position().toPoint(), Grip());
    FDragStart = event->position().toPoint();
    FDragStartRect = FRect;
}

void TCropFrameControl::mouseMoveEvent(QMouseEvent* event) {
    const QPoint point = event->position().toPoint();
    if (FDragHandle == chNone || !(event->buttons() & Qt::LeftButton)) {
        setCursor(FMode == dmCrop
                      ? TCropGeometry::CursorFor(TCropGeometry::HitTest(FRect, point, Grip()))
                      : Qt::ArrowCursor);
        return;
    }
    const QRect moved = TCropGeometry::Drag(FDragHandle, FDragStartRect, point - FDragStart,
                                            EffectiveRestricts(), MinSize);
    if (moved == FRect)
        return;
    FRect = moved;
    update();
    emit RectChanged();
    if (OnRectChanged)
        OnRectChanged();
}

void TCropFrameControl::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        FDragHandle = chNone;
}
