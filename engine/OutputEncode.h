#pragma once
// The file a conversion makes, in the request's format: the GIF (EncodeStage.h), an animated
// WebP (libwebp's animation encoder) or an MP4 video (H.264 through libavcodec and libx264).
// The same frames in the same order at the same times go into each; only the encoding differs.

#include "engine/EncodeStage.h"
#include "engine/OutputFormat.h"

#include <QIODevice>

// The output of `sequence` at `quality` (1 to 100, each format's own scale behind it) in the
// request's format, written to `device`. `palettes` serves the GIF only.
[[nodiscard]] TStop MakeOutput(const TConversionContext& context, const TPreparedFrames& frames,
                               const TGifSequence& sequence, int quality, QIODevice& device,
                               TEncoded& encoded, std::map<int, TPalettePlan>* palettes = nullptr);

[[nodiscard]] TStop MakeWebP(const TConversionContext& context, const TPreparedFrames& frames,
                             const TGifSequence& sequence, int quality, QIODevice& device,
                             TEncoded& encoded);
[[nodiscard]] TStop MakeMp4(const TConversionContext& context, const TPreparedFrames& frames,
                            const TGifSequence& sequence, int quality, QIODevice& device,
                            TEncoded& encoded);

// A picture of the sequence as a video encoder takes it: shown from StartMs to EndMs (in
// milliseconds from the start, exact, without the GIF's hundredths), standing for `Frames`
// positions of the sequence from `Position` (a picture repeated is given once, for longer).
struct TShownFrame {
    const uchar* Rgb = nullptr; // rows of width × 3 bytes
    int Position = 0;
    int Frames = 1;
    int64_t StartMs = 0;
    int64_t EndMs = 0;
};

// Reads the pictures of `sequence` in showing order and hands each to `take` (false: stop, the
// encoder failed; `take` says why in its own result). Reports progress and stops on cancel.
[[nodiscard]] TStop ForEachShownFrame(const TConversionContext& context,
                                      const TPreparedFrames& frames, const TGifSequence& sequence,
                                      const std::function<TStop(const TShownFrame&)>& take);

// The size of the pictures a file of `format` holds for frames of `size`: an MP4's 4:2:0
// pictures have even sides, so an odd side loses its last column or row (a pixel, where scaling
// would soften the whole picture).
QSize EncodedSize(TOutputFormat format, const QSize& size);

// Why `format` cannot hold pictures of `size`, or empty (a WebP is at most 16383 pixels a side).
QString CheckFormatSize(TOutputFormat format, const QSize& size);

// The failure of an encoder of `format`: "Making the WebP file failed: <why>".
TConversionResult EncoderFailure(TOutputFormat format, const QString& why);
