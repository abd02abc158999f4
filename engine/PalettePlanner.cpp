#include "engine/PalettePlanner.h"

#include "engine/Quantizer.h"

#include <algorithm>

std::vector<std::pair<int, int>> ScenesByFrameCount(const std::vector<int>& sceneOf, int first,
                                                    const std::vector<int>& order) {
    std::map<int, int> framesOfScene;
    for (int index : order)
        ++framesOfScene[sceneOf[static_cast<size_t>(first + index)]];
    std::vector<std::pair<int, int>> scenes(framesOfScene.begin(), framesOfScene.end());
    std::stable_sort(scenes.begin(), scenes.end(),
                     [](const auto& a, const auto& b) { return a.second > b.second; });
    return scenes;
}

TStop PlanPalettes(const TConversionContext& context, const TPreparedFrames& frames,
                   const std::vector<int>& order, const TPaletteOptions& options,
                   TPalettePlan& plan) {
    const int first = frames.First(context.Plan);
    const int available = frames.Count - first;
    std::vector<uchar> frame(static_cast<size_t>(context.Plan.FrameBytes));
    const qsizetype pixels = context.Plan.FrameBytes / 3;
    int framesDone = 0;
    for (const auto& [scene, gifFrames] : ScenesByFrameCount(frames.SceneOf, first, order)) {
        TPaletteBuilder builder(options.MaxColors, options.Speed);
        // Every second frame of a long scene is enough to know its colours.
        const int stride = gifFrames > 24 ? 2 : 1;
        int seen = 0;
        for (int i = first; i < frames.Count; ++i) {
            if (frames.SceneOf[static_cast<size_t>(i)] != scene || seen++ % stride != 0)
                continue;
            if (context.Cancel)
                return CancelledResult();
            if (!context.Spill.Read(i, frame.data()))
                return Failure(QStringLiteral("Reading back the frames failed: %1.")
                                   .arg(context.Spill.ErrorString()));
            builder.AddRgb(frame.data(), pixels);
            framesDone += stride;
            context.Progress.Done(static_cast<double>(framesDone) / std::max(available, 1));
        }
        const QVector<QRgb> colors = builder.Build();
        if (colors.isEmpty())
            return Failure(QStringLiteral("No palette could be made for the GIF."));
        plan.PaletteOfScene[scene] = static_cast<int>(plan.Palettes.size());
        plan.Palettes.push_back(colors);
    }
    return {};
}
