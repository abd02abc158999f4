#pragma once
// The encoding stage: the GIF's frames, in its order, read back from the spill, remapped to their
// scene's palette, compressed and written. Consecutive frames that show the same source frame
// become one image shown as long.

#include "engine/ConversionStage.h"
#include "engine/GifEncoder.h"
#include "engine/PalettePlanner.h"

class QIODevice;

// What the encoding wrote.
struct TEncoded {
    int Images = 0; // GIF images, after merging frames that show the same picture
};

// Writes the whole GIF to `device` (open for writing); `order` indexes the prepared frames from
// their first usable one.
[[nodiscard]] TStop EncodeGif(const TConversionContext& context, const TPreparedFrames& frames,
                              const std::vector<int>& order, const TPalettePlan& palettes,
                              const TGifEncoderOptions& options, QIODevice& device,
                              TEncoded& encoded);

// The GIF written to the request's file, which replaces what is there only once it is whole.
[[nodiscard]] TStop WriteGifFile(const TConversionContext& context, const TPreparedFrames& frames,
                                 const std::vector<int>& order, const TPalettePlan& palettes,
                                 const TGifEncoderOptions& options, TEncoded& encoded);
