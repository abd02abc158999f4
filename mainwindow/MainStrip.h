#pragma once
// The frame strip and the still view of the main window: filling the strip from the project's
// frame extraction, growing it by groups at either end, the focused frame shown large with its
// overlays, crop area and time, the deleted and in-clip marks, and dragging a caption or the logo
// in the still view.

#include <QImage>
#include <QObject>
#include <QPoint>
#include <QPointF>
#include <QRect>
#include <QRectF>
#include <QSet>
#include <QSize>
#include <cstdint>
#include <vector>

class QPainter;
class QMouseEvent;
class TMainForm;
class TPhotoData;
class TVGElement;
class TVGFrame;

class TMainStrip : public QObject {
    Q_OBJECT
public:
    // The window's fields the strip is responsible for and alone writes: the frame in the still
    // view and its pictures, the strip's time range and the overlay drag. They stay fields of
    // the form, which everything else reads through the form's accessors.
    struct TFields {
        TVGFrame*& FCurFrame;
        QImage& FFrameBitmap;
        QImage& FShotGraphic;
        int64_t& FStripFirstPTS;
        int64_t& FStripLastPTS;
        QPoint& FDragStart;
        QPoint& FDragOrigin;
        TVGElement*& FDragElement;
        bool& FDragging;
    };

    TMainStrip(TMainForm& form, TFields own) : F(form), Own(own) {}

    void LoadStripAtPosition(QObject* sender);
    void AppendNextGroup(bool focusLast);
    void PrependPriorGroup(bool focusFirst);
    void UpdateStripRange();
    // The strip shows the frames up to `pts` (the clip's end), the last of them focused.
    void LoadStripEndingAt(int64_t pts);
    // Empties the strip and the still view (their frames belong to a project that goes).
    void Clear();
    // Tells the frame writer which pictures the window shows (they stay in the work folder).
    void KeepShownPictures();
    // A thumbnail found no picture: made again from the video when the folder let it go.
    void PictureMissing(TPhotoData* item);
    void SelectedChange();
    void RefreshShot(bool keepBitmap);
    void NextMore();
    void PriorMore();

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

signals:
    // A frame of the strip was focused while the video plays: playback jumps to it.
    void FrameChosenWhilePlaying(int64_t pts);
    // The still view shows the frame at `pts`.
    void FrameFocused(int64_t pts);
    // Frames were marked deleted or kept again, or a caption or the logo was dragged elsewhere.
    void GifChanged();

private:
    // Replaces the strip by `frames` and focuses the first (or the last) of them.
    void ShowFrames(const std::vector<TVGFrame*>& frames, bool focusLast);
    // Selected frames marked deleted and not: what Delete and Restore could change.
    void CountSelected(int& deleted, int& kept) const;
    void FocusItem(TPhotoData* item, bool toEnd);
    int DecodeCount() const;
    // True while a worker drives the decoder (pictures cannot be made again from the video).
    bool DecoderBusy() const;

    TMainForm& F;
    TFields Own;
    // Frames whose thumbnail failed once although their picture was there when asked again.
    QSet<const TVGFrame*> FRetried;
};
