#pragma once
// What a quality of 1 to 100 means to the colour reduction and the encoder. The engine's balance
// (DefaultGifQuality) gives their own defaults; above it, lossy compression and the tolerance for
// pixels that stay as they are shrink to nothing at 100; below it, both grow, and from 50 down the
// palettes have fewer colours too.

#include "engine/GifEncoder.h"
#include "engine/PalettePlanner.h"

struct TQualitySettings {
    TPaletteOptions Palette;
    TGifEncoderOptions Encoder;
};

TQualitySettings SettingsForQuality(int quality);
