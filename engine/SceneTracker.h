#pragma once
// Scene tracking: each scene of the clip gets a palette of its own. A new scene starts where the
// colours change a lot from one frame to the next, once the current scene has a few frames.

#include <QtGlobal>
#include <array>

// A coarse colour histogram of a frame (4 × 4 × 4 bins of every 4th pixel).
using TColorSignature = std::array<float, 64>;

TColorSignature ColorSignature(const uchar* rgb, qsizetype pixels);
// 0 (the same colours) to 2 (nothing in common).
float SignatureDistance(const TColorSignature& a, const TColorSignature& b);

class TSceneTracker {
public:
    // The scene of the next frame of the sequence (`rgb`, `pixels` red-green-blue pixels); a
    // frame the one before showed already (`samePicture`) stays in its scene.
    int Add(const uchar* rgb, qsizetype pixels, bool samePicture);

private:
    static constexpr float cutDistance = 0.6f; // of at most 2
    static constexpr int shortestScene = 3;
    TColorSignature FLast{}, FCurrent{};
    int FFrames = 0;
    int FScene = 0;
    int FSceneLength = 0;
};
