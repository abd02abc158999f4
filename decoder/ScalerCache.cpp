#include "decoder/ScalerCache.h"

SwsContext* TScalerCache::Get(const TScalerKey& key) {
    if (FContext && key == FKey)
        return FContext.get();
    FContext.reset(sws_getContext(key.SrcWidth, key.SrcHeight, AVPixelFormat(key.SrcFormat),
                                  key.DstWidth, key.DstHeight, AVPixelFormat(key.DstFormat),
                                  key.Flags, nullptr, nullptr, nullptr));
    FKey = key;
    if (FContext && key.Colorspace >= 0)
        sws_setColorspaceDetails(FContext.get(), sws_getCoefficients(key.Colorspace),
                                 key.FullRange ? 1 : 0, sws_getCoefficients(SWS_CS_DEFAULT), 1, 0,
                                 1 << 16, 1 << 16);
    return FContext.get();
}

void TScalerCache::Reset() {
    FContext.reset();
    FKey = TScalerKey();
}
