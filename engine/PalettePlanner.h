#pragma once
// The palette stage: one palette per scene, from the scene's frames in the spill. The scene with
// the most frames in the GIF gets the file's global palette; the others are written with their
// frames. The frames' colours are gathered in parts side by side on the threads of the engine's
// pool (a long scene in several parts), then each scene's palette is chosen, scenes side by side.

#include "engine/ConversionStage.h"
#include "engine/Quantizer.h"

#include <QRgb>
#include <QVector>
#include <map>

struct TGifSequence;
class TWorkPool;
class TSequenceReader;

struct TPalettePlan {
    std::vector<QVector<QRgb>> Palettes; // the global palette first
    std::map<int, int> PaletteOfScene;
    // The colours each palette was searched from, when kept (TPaletteOptions::KeepColours):
    // palettes of another size come from them without reading a frame again.
    std::vector<TWeightedColours> Colours;
    int PaletteOf(int scene) const { return PaletteOfScene.at(scene); }
};

// How a palette is chosen: how many colours at most (of 255) and how hard the search works.
struct TPaletteOptions {
    int MaxColors = 255;
    int Speed = 5;             // 1 (best) to 10 (fastest)
    TWorkPool* Pool = nullptr; // whose threads share the work; null: the program's pool
    // Each frame gets colours of its own, as if it were a scene: the most faithful colours, for
    // a colour table a frame (768 bytes) and a palette search a frame.
    bool PerFrame = false;
    // Whether the plan keeps the colours each palette was searched from (a few hundred kB a
    // scene): for a size limit, which tries several qualities and so several colour counts.
    bool KeepColours = false;
    // Plans made with equal options are equal: the key a plan is kept under for another use.
    int PlanKey() const { return PerFrame ? -MaxColors : MaxColors; }
};

// The scenes of the frames shown (spill indices, a frame shown twice counting twice) with how
// many of them each has, most first.
std::vector<std::pair<int, int>> ScenesByFrameCount(const std::vector<int>& sceneOf,
                                                    const std::vector<int>& shown);

// Fills `plan` when the stage goes on; on a stop (cancel, failed read, no palette) leaves it as
// it was.
[[nodiscard]] TStop PlanPalettes(const TConversionContext& context, const TPreparedFrames& frames,
                                 const TGifSequence& sequence, const TPaletteOptions& options,
                                 TSequenceReader& reader, TPalettePlan& plan);
// The palettes of `from`'s scenes searched again with `options` from the colours `from` kept:
// what PlanPalettes makes with those options from the same frames, without reading them.
[[nodiscard]] TStop ReplanPalettes(const TConversionContext& context, const TPalettePlan& from,
                                   const TPaletteOptions& options, TPalettePlan& plan);
