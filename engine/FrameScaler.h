#pragma once
// Scales pictures with a Lanczos filter (sharper than bilinear or box filtering when shrinking, no
// ringing worth mentioning at GIF sizes), each of red, green and blue on its own, so no colour
// conversion takes place and no colour bleeds into another. Our own filter does it where it can
// (rows shrunk by at most four, or grown, on a processor with AVX2), the scaling library's
// otherwise.

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
