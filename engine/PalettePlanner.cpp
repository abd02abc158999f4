#include "engine/PalettePlanner.h"

#include "engine/GifSequence.h"
#include "engine/Quantizer.h"
#include "engine/WorkPool.h"

#include <algorithm>
#include <memory>
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

// The palettes of the scenes. Each scene's frames (every second one of a long scene) are cut into
// parts of consecutive frames, as many in all as the pool has threads (fewer for big frames or
// short scenes, and one a scene at least), and the calling thread and the pool's threads each take
// the next part not yet taken, read its frames (at once when the spill allows, else one reader at
// a time) into a builder of the part's own and merge it into its scene's. The thread that merges
// a scene's last part runs the library's search for the scene: scenes' searches too run side by
// side, each on a builder of its own, and nothing of the library is shared. Merged builders choose
// what one builder of all the scene's frames chooses, so the outcome is the one of taking the
// frames one after the other: each scene's palette lands in its own place, and the stage ends
// with the stop (failure or cancel) of the first scene in order that had one. Builders in hand are
// about one a thread and one a scene begun.
class TScenePalettes {
public:
    TScenePalettes(const TConversionContext& context, const TPreparedFrames& frames,
                   const TGifSequence& sequence, const TPaletteOptions& options,
                   TSequenceReader& reader)
        : FContext(context), FFrames(frames), FOptions(options),
          FPool(options.Pool ? *options.Pool : TWorkPool::Shared()), FReader(reader),
          FScenes(ScenesByFrameCount(frames.SceneOf, sequence.Frames)), FColours(FScenes.size()),
          FPalettes(FScenes.size()), FKept(FScenes.size()), FStops(FScenes.size()),
          FFirstStop(FScenes.size()), FCaller(std::this_thread::get_id()) {
        CutParts(std::set<int>(sequence.Frames.begin(), sequence.Frames.end()));
    }

    TStop Run(TPalettePlan& plan) {
        FShared = FReader.PrepareSharedReads();
        // No more parts in hand at once than the memory allows, however many scenes there are.
        FPool.ForRows(
            static_cast<int>(FParts.size()), 1,
            [this](int p, int) { FillPart(static_cast<size_t>(p)); }, FMostInHand);
        if (FFirstStop < FScenes.size())
            return FStops[FFirstStop];
        for (size_t s = 0; s < FScenes.size(); ++s) {
            plan.PaletteOfScene[FScenes[s].first] = static_cast<int>(plan.Palettes.size());
            plan.Palettes.push_back(std::move(FPalettes[s]));
        }
        if (FOptions.KeepColours)
            plan.Colours = std::move(FKept);
        return {};
    }

private:
    struct TPart {
        size_t Scene = 0;
        std::vector<int> Frames; // spill indices, in order
    };
    // A scene's colours as its parts come in.
    struct TSceneColours {
        std::mutex Lock;
        std::unique_ptr<TPaletteBuilder> Builder;
        int PartsLeft = 0;
    };

    // The frames each scene reads, in parts: no part smaller than a few frames (a builder costs
    // its clearing and merging), and enough parts for every thread.
    void CutParts(const std::set<int>& distinct) {
        std::vector<std::vector<int>> read(FScenes.size());
        std::map<int, size_t> order;
        for (size_t s = 0; s < FScenes.size(); ++s)
            order[FScenes[s].first] = s;
        for (int i : distinct)
            read[order.at(FFrames.SceneOf[static_cast<size_t>(i)])].push_back(i);
        size_t total = 0;
        for (size_t s = 0; s < FScenes.size(); ++s) {
            // Every second frame of a long scene is enough to know its colours.
            if (FScenes[s].second > 24) {
                std::vector<int> every;
                for (size_t k = 0; k < read[s].size(); k += 2)
                    every.push_back(read[s][k]);
                read[s] = std::move(every);
            }
            total += read[s].size();
        }
        FFramesToRead = static_cast<int>(total);
        // A part of at least a megapixel's frames: smaller ones cost more in builders than they
        // save (a builder clears and merges 8 MB).
        const qint64 framePixels = std::max<qint64>(FReader.FrameBytes() / 3, 1);
        const size_t fewestFrames = static_cast<size_t>(
            std::max<qint64>(4, ((qint64{1} << 20) + framePixels - 1) / framePixels));
        // Each part in hand holds a frame and a builder: no more parts than fit in this many
        // bytes (two for 4K frames), so that many threads do not add up to much memory.
        constexpr qint64 partsBytes = 96 << 20;
        const qint64 partBytes = FReader.FrameBytes() + TPaletteBuilder::GatheringBytes;
        const size_t wanted = static_cast<size_t>(
            std::clamp<qint64>(partsBytes / std::max<qint64>(partBytes, 1), 1, FPool.Threads()));
        FMostInHand = static_cast<int>(wanted);
        for (size_t s = 0; s < FScenes.size(); ++s) {
            const size_t frames = read[s].size();
            // This scene's share of the parts, by its frames.
            size_t parts = total > 0 ? (wanted * frames + total - 1) / total : 1;
            parts = std::clamp<size_t>(std::min(parts, frames / fewestFrames), 1, wanted);
            FColours[s].PartsLeft = static_cast<int>(parts);
            for (size_t p = 0; p < parts; ++p) {
                TPart part;
                part.Scene = s;
                part.Frames.assign(read[s].begin() + static_cast<qsizetype>(frames * p / parts),
                                   read[s].begin() +
                                       static_cast<qsizetype>(frames * (p + 1) / parts));
                FParts.push_back(std::move(part));
            }
        }
    }

    void FillPart(size_t p) {
        const TPart& part = FParts[p];
        auto builder = std::make_unique<TPaletteBuilder>(FOptions.MaxColors, FOptions.Speed);
        // Past an earlier scene's stop there is nothing to gather, but the part still counts.
        if (part.Scene < FFirstStop)
            if (TStop stop = Fill(part, *builder))
                Stop(part.Scene, std::move(stop));
        TSceneColours& scene = FColours[part.Scene];
        int left = 0;
        {
            const std::lock_guard lock(scene.Lock);
            if (!scene.Builder)
                scene.Builder = std::move(builder);
            else
                scene.Builder->Merge(*builder);
            left = --scene.PartsLeft;
        }
        builder.reset();
        if (left == 0)
            BuildScene(part.Scene);
    }

    void BuildScene(size_t s) {
        const std::unique_ptr<TPaletteBuilder> builder = std::move(FColours[s].Builder);
        if (s >= FFirstStop)
            return; // this scene or an earlier one has ended the stage
        if (FOptions.KeepColours) {
            FKept[s] = builder->Colours();
            FPalettes[s] = TPaletteBuilder::Search(FKept[s], FOptions.MaxColors, FOptions.Speed,
                                                   &FContext.Cancel);
        } else {
            FPalettes[s] = builder->Build(&FContext.Cancel);
        }
        if (FPalettes[s].isEmpty())
            Stop(s, FContext.Cancel
                        ? CancelledResult()
                        : Failure(QStringLiteral("No palette could be made for the GIF.")));
    }

    void Stop(size_t s, TStop stop) {
        const std::lock_guard lock(FStopping);
        if (FStops[s])
            return; // the scene's first stop stands
        FStops[s] = std::move(stop);
        size_t first = FFirstStop;
        while (s < first && !FFirstStop.compare_exchange_weak(first, s)) {
        }
    }

    // Adds the colours of the part's frames to its builder.
    TStop Fill(const TPart& part, TPaletteBuilder& builder) {
        std::vector<uchar> frame(static_cast<size_t>(FReader.FrameBytes()));
        for (int i : part.Frames) {
            if (FContext.Cancel)
                return CancelledResult();
            if (part.Scene > FFirstStop)
                return CancelledResult(); // never reported: the earlier scene's stop wins
            if (!Read(i, frame.data()))
                return Failure(QStringLiteral("Reading back the frames failed: %1.")
                                   .arg(FReader.ErrorString()));
            builder.AddRgb(frame.data(), static_cast<qsizetype>(frame.size() / 3));
            const int read = ++FFramesRead;
            // Progress is told by the thread it belongs to; the count only grows.
            if (std::this_thread::get_id() == FCaller)
                FContext.Progress.Done(static_cast<double>(read) /
                                       static_cast<double>(std::max(FFramesToRead, 1)));
        }
        return {};
    }

    bool Read(int index, uchar* rgb) {
        if (FShared)
            return FReader.ReadShared(index, rgb);
        const std::lock_guard lock(FReading);
        return FReader.Read(index, rgb);
    }

    const TConversionContext& FContext;
    const TPreparedFrames& FFrames;
    const TPaletteOptions& FOptions;
    TWorkPool& FPool;
    TSequenceReader& FReader;
    const std::vector<std::pair<int, int>> FScenes; // the global palette's scene first
    std::vector<TPart> FParts;                      // each scene's parts one after the other
    std::vector<TSceneColours> FColours;            // of each scene
    std::vector<QVector<QRgb>> FPalettes;           // each written by the thread of its scene
    std::vector<TWeightedColours> FKept;            // the same, when the colours are kept
    std::vector<TStop> FStops;
    std::atomic<size_t> FFirstStop; // the first scene in order that ended the stage
    std::atomic<int> FFramesRead{0};
    int FFramesToRead = 0;
    int FMostInHand = 1; // parts being gathered at once
    bool FShared = false;
    std::mutex FReading, FStopping;
    const std::thread::id FCaller;
};

} // namespace

TStop PlanPalettes(const TConversionContext& context, const TPreparedFrames& frames,
                   const TGifSequence& sequence, const TPaletteOptions& options,
                   TSequenceReader& reader, TPalettePlan& plan) {
    return TScenePalettes(context, frames, sequence, options, reader).Run(plan);
}

TStop ReplanPalettes(const TConversionContext& context, const TPalettePlan& from,
                     const TPaletteOptions& options, TPalettePlan& plan) {
    // Each scene's search on a thread of the pool, as PlanPalettes runs them.
    std::vector<QVector<QRgb>> palettes(from.Colours.size());
    TWorkPool& pool = options.Pool ? *options.Pool : TWorkPool::Shared();
    pool.ForRows(static_cast<int>(palettes.size()), 1, [&](int begin, int end) {
        for (int s = begin; s < end; ++s)
            palettes[static_cast<size_t>(s)] =
                TPaletteBuilder::Search(from.Colours[static_cast<size_t>(s)], options.MaxColors,
                                        options.Speed, &context.Cancel);
    });
    if (context.Cancel)
        return CancelledResult();
    if (palettes.empty() || std::any_of(palettes.begin(), palettes.end(),
                                        [](const QVector<QRgb>& p) { return p.isEmpty(); }))
        return Failure(QStringLiteral("No palette could be made for the GIF."));
    plan.Palettes = std::move(palettes);
    plan.PaletteOfScene = from.PaletteOfScene;
    context.Progress.Done(1.0);
    return {};
}
