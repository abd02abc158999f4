#include "engine/PalettePlanner.h"

#include "engine/GifSequence.h"
#include "engine/Quantizer.h"
#include "engine/WorkPool.h"

#include <algorithm>
#include <mutex>
#include <set>
#include <thread>

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

namespace {

// The palettes of the scenes, side by side: the calling thread and the pool's threads each take the
// next scene not yet taken, read its frames (one reader at a time: the spill has one file position)
// and run the library's search for it. Each search has its own builder, so nothing of the
// library is shared, and no more searches run at once than there are threads. The outcome is the
// one of taking the scenes one after the other: each scene's palette lands in its own place, and
// the stage ends with the stop (failure or cancel) of the first scene in order that had one.
class TScenePalettes {
public:
    TScenePalettes(const TConversionContext& context, const TPreparedFrames& frames,
                   const TGifSequence& sequence, const TPaletteOptions& options,
                   TSequenceReader& reader)
        : FContext(context), FFrames(frames), FOptions(options), FReader(reader),
          FDistinct(sequence.Frames.begin(), sequence.Frames.end()),
          FScenes(ScenesByFrameCount(frames.SceneOf, sequence.Frames)), FPalettes(FScenes.size()),
          FStops(FScenes.size()), FFirstStop(FScenes.size()), FCaller(std::this_thread::get_id()) {}

    TStop Run(TPalettePlan& plan) {
        TWorkPool::Shared().ForRows(static_cast<int>(FScenes.size()), 1,
                                    [this](int s, int) { PlanScene(static_cast<size_t>(s)); });
        if (FFirstStop < FScenes.size())
            return FStops[FFirstStop];
        for (size_t s = 0; s < FScenes.size(); ++s) {
            plan.PaletteOfScene[FScenes[s].first] = static_cast<int>(plan.Palettes.size());
            plan.Palettes.push_back(std::move(FPalettes[s]));
        }
        return {};
    }

private:
    void PlanScene(size_t s) {
        if (s > FFirstStop)
            return; // an earlier scene has ended the stage
        TPaletteBuilder builder(FOptions.MaxColors, FOptions.Speed);
        TStop stop = Fill(s, builder);
        if (!stop) {
            FPalettes[s] = builder.Build(&FContext.Cancel);
            if (FPalettes[s].isEmpty())
                stop = FContext.Cancel
                           ? CancelledResult()
                           : Failure(QStringLiteral("No palette could be made for the GIF."));
        }
        if (!stop)
            return;
        FStops[s] = std::move(stop);
        size_t first = FFirstStop;
        while (s < first && !FFirstStop.compare_exchange_weak(first, s)) {
        }
    }

    // Adds the colours of the scene's frames to `builder`.
    TStop Fill(size_t s, TPaletteBuilder& builder) {
        const auto [scene, gifFrames] = FScenes[s];
        std::vector<uchar> frame(static_cast<size_t>(FReader.FrameBytes()));
        // Every second frame of a long scene is enough to know its colours.
        const int stride = gifFrames > 24 ? 2 : 1;
        int seen = 0;
        for (int i : FDistinct) {
            if (FFrames.SceneOf[static_cast<size_t>(i)] != scene || seen++ % stride != 0)
                continue;
            if (FContext.Cancel)
                return CancelledResult();
            if (s > FFirstStop)
                return CancelledResult(); // never reported: the earlier scene's stop wins
            if (!Read(i, frame.data()))
                return Failure(QStringLiteral("Reading back the frames failed: %1.")
                                   .arg(FReader.ErrorString()));
            builder.AddRgb(frame.data(), static_cast<qsizetype>(frame.size() / 3));
            FFramesRead += stride;
            // Progress is told by the thread it belongs to; the count only grows.
            if (std::this_thread::get_id() == FCaller)
                FContext.Progress.Done(static_cast<double>(FFramesRead) /
                                       static_cast<double>(std::max<size_t>(FDistinct.size(), 1)));
        }
        return {};
    }

    bool Read(int index, uchar* rgb) {
        const std::lock_guard lock(FReading);
        return FReader.Read(index, rgb);
    }

    const TConversionContext& FContext;
    const TPreparedFrames& FFrames;
    const TPaletteOptions& FOptions;
    TSequenceReader& FReader;
    const std::set<int> FDistinct;
    const std::vector<std::pair<int, int>> FScenes; // the global palette's scene first
    std::vector<QVector<QRgb>> FPalettes;           // each written by the thread of its scene
    std::vector<TStop> FStops;
    std::atomic<size_t> FFirstStop; // the first scene in order that ended the stage
    std::atomic<int> FFramesRead{0};
    std::mutex FReading;
    const std::thread::id FCaller;
};

} // namespace

TStop PlanPalettes(const TConversionContext& context, const TPreparedFrames& frames,
                   const TGifSequence& sequence, const TPaletteOptions& options,
                   TSequenceReader& reader, TPalettePlan& plan) {
    return TScenePalettes(context, frames, sequence, options, reader).Run(plan);
}
