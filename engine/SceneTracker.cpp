#include "engine/SceneTracker.h"

#include <algorithm>
#include <cmath>

TColorSignature ColorSignature(const uchar* rgb, qsizetype pixels) {
    TColorSignature bins{};
    int counted = 0;
    for (qsizetype i = 0; i < pixels; i += 4, ++counted) {
        const uchar* p = rgb + i * 3;
        bins[static_cast<size_t>((p[0] >> 6) * 16 + (p[1] >> 6) * 4 + (p[2] >> 6))] += 1;
    }
    for (float& bin : bins)
        bin /= static_cast<float>(std::max(counted, 1));
    return bins;
}

float SignatureDistance(const TColorSignature& a, const TColorSignature& b) {
    float sum = 0;
    for (size_t i = 0; i < a.size(); ++i)
        sum += std::fabs(a[i] - b[i]);
    return sum;
}

int TSceneTracker::Add(const uchar* rgb, qsizetype pixels, bool samePicture) {
    if (!samePicture || FFrames == 0)
        FCurrent = ColorSignature(rgb, pixels);
    if (FFrames > 0 && FSceneLength >= shortestScene &&
        SignatureDistance(FLast, FCurrent) > cutDistance) {
        ++FScene;
        FSceneLength = 0;
    }
    FLast = FCurrent;
    ++FSceneLength;
    ++FFrames;
    return FScene;
}
