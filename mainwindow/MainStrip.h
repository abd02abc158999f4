#pragma once
// The frame strip and the still view of the main window: filling the strip from the project's
// frame extraction, growing it by groups at either end, the focused frame shown large with its
// overlays, crop area and time, the deleted and in-clip marks, and dragging a caption or the logo
// in the still view.

#include <QPoint>
#include <QPointF>
#include <QRect>
#include <QRectF>
#include <QSize>
#include <vector>

class QObject;
class QPainter;
class QMouseEvent;
class TMainForm;
class TPhotoData;
class TVGFrame;

class TMainStrip {
public:
    explicit TMainStrip(TMainForm& form) : F(form) {}

    void LoadStripAtPosition(QObject* sender);
    void AppendNextGroup(bool focusLast);
    void PrependPriorGroup(bool focusFirst);
    void UpdateStripRange();
    // Tells the frame writer which pictures the window shows (they stay in the work folder).
    void KeepShownPictures();
    // A thumbnail found no picture: made again from the video when the folder let it go.
    void PictureMissing(TPhotoData* item);
    void SelectedChange();
    void RefreshShot(bool keepBitmap);
    void NextMore();
    void PriorMore();
    // Replaces the strip by `frames` and focuses the first (or the last) of them.
    void ShowFrames(const std::vector<TVGFrame*>& frames, bool focusLast);

    void PaintShot(QPainter& painter);
    void ShotMouseDown(QMouseEvent* event);
    void ShotMouseMove(QMouseEvent* event);
    void ShotMouseUp();
    void DrawPhoto(TPhotoData* item, const QRectF& imageRect, const QRect& textRect,
                   QPainter& painter);
    void KeyDown(int key);
    void DeleteSelected(bool deleted);
    void Popup(const QPoint& globalPoint);
    // Enables the strip menu's items for the selection.
    void UpdatePopupStates();
    void PlaceProgressLabel();

    static TVGFrame* FrameOf(const TPhotoData* item);
    // Where a video picture shows in the still view.
    QRect ShotImageRect() const;

private:
    // Selected frames marked deleted and not: what Delete and Restore could change.
    void CountSelected(int& deleted, int& kept) const;
    void FocusItem(TPhotoData* item, bool toEnd);
    int DecodeCount() const;

    TMainForm& F;
};
