#include "engine/PalettePlanner.h"

#include "engine/GifSequence.h"
#include "engine/Quantizer.h"

#include <algorithm>
#include <set>

std::vector<std::pair<int, int>> ScenesByFrameCount(const std::vector<int>& sceneOf,
                                                    const std::vector<int>& shown) {
    std::map<int, int> framesOfScene;
    for (int index : shown)
        ++framesOfScene[sceneOf[static_cast<size_t>(index)]];
    std::vector<std::pair<int, int>> scenes(framesOfScene.begin(), framesOfScene.end());
    std::stable_sort(scenes.begin(), scenes.end(),
                     [](const auto& a, const auto& b) { return a.second > b.second; });
    return scenes;
}

TStop PlanPalettes(const TConversionContext& context, const TPreparedFrames& frames,
                   const TGifSequence& sequence, const TPaletteOptions& options,
                   TSequenceReader& reader, TPalettePlan& plan) {
    const std::set<int> distinct(sequence.Frames.begin(), sequence.Frames.end());
    std::vector<uchar> frame(static_cast<size_t>(reader.FrameBytes()));
    const qsizetype pixels = reader.FrameBytes() / 3;
    int framesDone = 0;
    for (const auto& [scene, gifFrames] : ScenesByFrameCount(frames.SceneOf, sequence.Frames)) {
        TPaletteBuilder builder(options.MaxColors, options.Speed);
        // Every second frame of a long scene is enough to know its colours.
        const int stride = gifFrames > 24 ? 2 : 1;
        int seen = 0;
        for (int i : distinct) {
            if (frames.SceneOf[static_cast<size_t>(i)] != scene || seen++ % stride != 0)
                continue;
            if (context.Cancel)
                return CancelledResult();
            if (!reader.Read(i, frame.data()))
                return Failure(QStringLiteral("Reading back the frames failed: %1.")
                                   .arg(reader.ErrorString()));
            builder.AddRgb(frame.data(), pixels);
            framesDone += stride;
            context.Progress.Done(static_cast<double>(framesDone) /
                                  std::max<size_t>(distinct.size(), 1));
        }
        const QVector<QRgb> colors = builder.Build();
        if (colors.isEmpty())
            return Failure(QStringLiteral("No palette could be made for the GIF."));
        plan.PaletteOfScene[scene] = static_cast<int>(plan.Palettes.size());
        plan.Palettes.push_back(colors);
    }
    return {};
}
