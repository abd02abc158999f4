#pragma once
// The preparing stage: a sampled picture (already cropped and scaled) is turned and mirrored,
// gets the captions and logo, and is packed into red-green-blue bytes as the encoder takes them.

#include "engine/Video2Gif.h"

#include <QImage>

class TFramePreparer {
public:
    explicit TFramePreparer(const TConversionRequest& request) : FRequest(request) {}
    // Writes the finished frame to `rgb` (its width × height × 3 bytes once turned).
    void Prepare(QImage picture, uchar* rgb) const;

private:
    // Draws on the turned `picture`; `unturned` is its size before turning.
    void DrawOverlays(QImage& picture, const QSize& unturned) const;
    const TConversionRequest& FRequest;
};

// Copies a picture's rows into tightly packed red-green-blue bytes.
void PackRgb(const QImage& image, uchar* out);
