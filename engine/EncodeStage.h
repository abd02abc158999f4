#pragma once
// The encoding stage: the GIF's frames, in its order, read back from the spill, remapped to their
// scene's palette, compressed and written. Consecutive frames that show the same source frame
// become one image shown as long.

#include "engine/ConversionStage.h"
#include "engine/GifEncoder.h"
#include "engine/GifSequence.h"
#include "engine/PalettePlanner.h"

class QIODevice;

// What the encoding wrote.
struct TEncoded {
    int Images = 0; // GIF images, after merging frames that show the same picture
    // Per position of the sequence: the bytes of the images drawn up to and including it, the
    // file's header and trailer aside.
    std::vector<qint64> BytesAfterPosition;
};

// Writing the output file to `device` failed: what to tell the user.
TConversionResult WriteFailure(const TConversionContext& context, const QIODevice& device);

// Writes the whole GIF of `sequence` to `device` (open for writing).
[[nodiscard]] TStop EncodeGif(const TConversionContext& context, const TPreparedFrames& frames,
                              const TGifSequence& sequence, const TPalettePlan& palettes,
                              const TGifEncoderOptions& options, TSequenceReader& reader,
                              QIODevice& device, TEncoded& encoded);

// Palettes and encoding of `sequence` at `quality` into `device`. The palettes come from every
// prepared frame at full size; with `palettes`, those planned before with the same palette
// options (their PlanKey) are used, and kept there when new.
[[nodiscard]] TStop MakeGif(const TConversionContext& context, const TPreparedFrames& frames,
                            const TGifSequence& sequence, int quality, QIODevice& device,
                            TEncoded& encoded, std::map<int, TPalettePlan>* palettes = nullptr);

// The GIF that `make` writes, to the request's file, which replaces
// what is there only once it is whole.
[[nodiscard]] TStop WriteOutputFile(const TConversionContext& context,
                                    const std::function<TStop(QIODevice&)>& make);
