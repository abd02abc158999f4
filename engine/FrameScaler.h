#pragma once
// Scales pictures with a Lanczos filter (sharper than bilinear or box filtering when shrinking, no
// ringing worth mentioning at GIF sizes), each of red, green and blue on its own, so no colour
// conversion takes place.

#include "decoder/ScalerCache.h"

#include <QImage>
#include <vector>

class TFrameScaler {
public:
    // `image` at `size`: RGB888 for an RGB888 picture, else RGB32.
    QImage Scale(const QImage& image, const QSize& size);

private:
    void ToPlanes(const QImage& source);
    QImage FromPlanes(const QSize& size, bool packed) const;
    TScalerCache FScaler;
    std::vector<uint8_t> FIn, FOut;
};
