#pragma once
// Knowing the GIF before making it: its size estimated from a few short stretches of the clip,
// decoded, prepared and encoded exactly as the conversion does, and scaled to the whole clip;
// with a size limit, what the limit will choose. A clip of few frames is made whole in memory
// and measured.

#include "engine/Video2Gif.h"

#include <QSize>
#include <QString>
#include <atomic>

struct TGifEstimate {
    QString Error; // for the user; when set, nothing else counts
    bool Cancelled = false;
    qint64 Bytes = 0;   // the GIF's size
    bool Exact = false; // the whole GIF was made: Bytes is its size
    int Frames = 0;     // GIF frames
    int DurationCs = 0; // how long it plays once, in hundredths of a second
    QSize Size;         // of the GIF
    double Fps = 0;     // GIF frames per second of playback
    int SampledFrames = 0;
    // With a size limit: what the limit will choose, and the GIF's size then.
    bool Limited = false;
    bool Fits = false; // the limit can be met
    qint64 FittedBytes = 0;
    int FittedQuality = 0;
    double FittedFps = 0;
    QSize FittedSize;

    bool Ok() const { return Error.isEmpty() && !Cancelled; }
};

// The estimate for `request` (its GIF file is not written; its folder holds the frames meanwhile,
// or the system's temporary folder when it has none). `cancel` is polled often.
[[nodiscard]] TGifEstimate EstimateGif(const TConversionRequest& request,
                                       const std::atomic<bool>& cancel,
                                       const TDecoderFactory& decoderFactory = {});

// For the user: "about 2.4 MB · 96 frames · 8.0 s"; with a limit, what it chooses is added:
// "fits: about 1.9 MB at 10 fps, 640 × 360" (or that it cannot be met).
QString DescribeEstimate(const TGifEstimate& estimate);
