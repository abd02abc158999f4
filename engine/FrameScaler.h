#pragma once
// Scales pictures with a Lanczos filter (sharper than bilinear or box filtering when shrinking, no
// ringing worth mentioning at GIF sizes), each of red, green and blue on its own, so no colour
// conversion takes place and no colour bleeds into another. Rows shrunk by a whole factor go
// through our own filter, the other sizes through the scaling library's.

#include "decoder/PlanarRgb.h"
#include "decoder/ScalerCache.h"
#include "engine/LanczosScaler.h"

#include <QImage>

class TFrameScaler {
public:
    // `part` of `planes` at `size`, RGB888.
    QImage Scale(const TRgbPlanes& planes, const QRect& part, const QSize& size);
    // `image` at `size`, RGB888.
    QImage Scale(const QImage& image, const QSize& size);

private:
    // Each colour of `part` into FOut, by the library; false when it fails.
    bool ScaleByLibrary(const TRgbPlanes& planes, const QRect& part, const QSize& size);

    TLanczosScaler FOwn;
    TScalerCache FScaler;
    TRgbPlanes FIn, FOut;
};
