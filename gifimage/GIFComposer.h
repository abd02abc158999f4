#pragma once
// Composing a GIF picture's frames for display, one after the other, as browsers show them.

#include "gifimage/GIFImage.h"

#include <QImage>
#include <memory>
#include <vector>

// Composes the frames of a picture one after the other on a canvas of the logical screen's size.
class TGIFComposer {
public:
    explicit TGIFComposer(std::shared_ptr<const TGIFImage> image);

    // Back to before the first frame: the canvas is cleared (only where frames drew).
    void Reset();
    // Disposes of the frame shown, then draws the next one (after the last frame: the first,
    // on a cleared canvas). Returns the index of the frame now shown.
    int Advance();
    // Composes frames until `index` is shown (from the start when it lies behind).
    void ShowFrame(int index);
    int CurrentIndex() const { return FIndex; }
    // What a viewer sees now (ARGB32, transparent where nothing was drawn).
    const QImage& Canvas() const { return FCanvas; }
    const TGIFImage& Image() const { return *FImage; }
    // Bytes of canvas saved, restored and cleared so far by disposals and Reset: the work beyond
    // decoding that frames cost, bounded by what they draw rather than by the canvas's size.
    qint64 CanvasBytesTouched() const { return FBytesTouched; }

private:
    void Dispose();
    void Draw(const TGIFFrameInfo& frame);
    void Clear(const QRect& area);
    std::shared_ptr<const TGIFImage> FImage;
    QImage FCanvas;
    QImage FSaved; // the area under a frame that restores what was there before it
    // Where frames drew since the canvas was last cleared; once they add up to more than the
    // canvas, the whole canvas is cleared instead.
    std::vector<QRect> FDrawn;
    qint64 FDrawnPixels = 0;
    int FIndex = -1;
    qint64 FBytesTouched = 0;
};
