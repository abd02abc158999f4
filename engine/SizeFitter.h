#pragma once
// Meeting a size limit: the prepared frames are encoded again, first at a lower quality (stronger
// lossy compression, fewer colours), then at fewer frames per second, then at a smaller size, each
// lowered as little as fits, and the quality raised again as far as the room left allows. Each try
// is a whole GIF in memory, so what is written is exactly what was measured.

#include "engine/ConversionStage.h"
#include "engine/GifSequence.h"

#include <QByteArray>

// What was chosen.
struct TFittedGif {
    QByteArray Bytes;
    TGifSequence Sequence;
    int Quality = 0;
    int Images = 0;
    QString Report; // "target 8.0 MB: 7.7 MB at quality 62, 10 fps, 480 × 270"
};

// The quality a size limit lowers to before it takes frames away.
constexpr int SizeLimitQualityFloor = 30;
// The frame rate (GIF frames per second) it lowers to before it makes the pictures smaller.
constexpr int SizeLimitFpsFloor = 5;
// The smallest side it makes.
constexpr int SizeLimitSmallestSide = 16;

// A size in bytes as a user reads a limit: "8.0 MB", "750 KB", "900 bytes" (1 MB = 1,000,000).
QString FormatFileSize(qint64 bytes);

[[nodiscard]] TStop FitToSize(const TConversionContext& context, const TPreparedFrames& frames,
                              TFittedGif& fitted);
