#pragma once
// The palette stage: one palette per scene, from the scene's frames in the spill. The scene with
// the most frames in the GIF gets the file's global palette; the others are written with their
// frames.

#include "engine/ConversionStage.h"

#include <QRgb>
#include <QVector>
#include <map>

struct TPalettePlan {
    std::vector<QVector<QRgb>> Palettes; // the global palette first
    std::map<int, int> PaletteOfScene;
    int PaletteOf(int scene) const { return PaletteOfScene.at(scene); }
};

// How a palette is chosen: how many colours at most (of 255) and how hard the search works.
struct TPaletteOptions {
    int MaxColors = 255;
    int Speed = 5; // 1 (best) to 10 (fastest)
};

// The scenes the GIF shows with how many of its frames each has, most first; `order` indexes the
// frames from `first` on.
std::vector<std::pair<int, int>> ScenesByFrameCount(const std::vector<int>& sceneOf, int first,
                                                    const std::vector<int>& order);

[[nodiscard]] TStop PlanPalettes(const TConversionContext& context, const TPreparedFrames& frames,
                                 const std::vector<int>& order, const TPaletteOptions& options,
                                 TPalettePlan& plan);
