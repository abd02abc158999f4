#include "engine/EncodeStage.h"

#include "engine/FrameSpill.h"
#include "engine/QualityScale.h"

#include <QDir>
#include <QSaveFile>
#include <numeric>

TConversionResult WriteFailure(const TConversionContext& context, const QIODevice& device) {
    return Failure(QStringLiteral("Writing the %1 file \"%2\" failed: %3. Is the disk full?")
                       .arg(FormatName(context.Request.Format),
                            QDir::toNativeSeparators(context.Request.GifFile),
                            ShortWriteReason(device, -1, 0)));
}

TStop EncodeGif(const TConversionContext& context, const TPreparedFrames& frames,
                const TGifSequence& sequence, const TPalettePlan& palettes,
                const TGifEncoderOptions& options, TSequenceReader& reader, QIODevice& device,
                TEncoded& encoded) {
    TGifEncoder encoder(&device, sequence.Size, context.Plan.LoopCount, palettes.Palettes, options);
    if (!encoder.Start())
        return WriteFailure(context, device);
    std::vector<int64_t> sourceOfPosition;
    for (int index : sequence.Frames)
        sourceOfPosition.push_back(frames.PtsOf[static_cast<size_t>(index)]);
    std::vector<uchar> frame(static_cast<size_t>(reader.FrameBytes()));
    const std::vector<TImageRun> runs = MergeRepeatedFrames(sourceOfPosition, sequence.PeriodCs);
    for (const TImageRun& run : runs) {
        if (context.Cancel)
            return CancelledResult();
        const int index = sequence.Frames[static_cast<size_t>(run.Position)];
        if (!reader.Read(index, frame.data()))
            return Failure(
                QStringLiteral("Reading back the frames failed: %1.").arg(reader.ErrorString()));
        const int palette = palettes.PaletteOf(frames.SceneOf[static_cast<size_t>(index)]);
        if (!encoder.AddFrame(frame.data(), run.DelayCs, palette))
            return WriteFailure(context, device);
        context.Progress.Done(static_cast<double>(run.Position + run.Frames) /
                              static_cast<double>(sequence.Frames.size()));
    }
    if (!encoder.Finish())
        return WriteFailure(context, device);
    encoded.Images = encoder.ImagesWritten();
    // One frame drawn per run: its bytes stand for each position of the run.
    const std::vector<qint64>& drawn = encoder.BytesAfterFrame();
    encoded.BytesAfterPosition.clear();
    for (size_t i = 0; i < runs.size() && i < drawn.size(); ++i)
        encoded.BytesAfterPosition.insert(encoded.BytesAfterPosition.end(),
                                          static_cast<size_t>(runs[i].Frames), drawn[i]);
    return {};
}

namespace {
// `frames` with each frame a scene of its own, in `copy`.
const TPreparedFrames& EachFrameAScene(const TPreparedFrames& frames, TPreparedFrames& copy) {
    copy = frames;
    std::iota(copy.SceneOf.begin(), copy.SceneOf.end(), 0);
    return copy;
}
// A plan of `plans` that kept the colours its palettes came from; null when none did.
const TPalettePlan* WithColours(const std::map<int, TPalettePlan>& plans) {
    for (const auto& [key, plan] : plans)
        if (!plan.Colours.empty())
            return &plan;
    return nullptr;
}
} // namespace

TStop MakeGif(const TConversionContext& context, const TPreparedFrames& sampled,
              const TGifSequence& sequence, int quality, QIODevice& device, TEncoded& encoded,
              std::map<int, TPalettePlan>* palettes) {
    const TQualitySettings settings = SettingsForQuality(quality);
    TPreparedFrames ownScenes;
    const TPreparedFrames& frames =
        settings.Palette.PerFrame ? EachFrameAScene(sampled, ownScenes) : sampled;
    TSequenceReader reader(context.Spill, context.Plan.FinalSize, sequence.Size);
    const double begin = context.Progress.Begin(), end = context.Progress.End();
    // A third of the stage for the palettes, the rest for the encoding.
    context.Progress.Enter(begin, begin + (end - begin) / 3);
    std::map<int, TPalettePlan> own;
    TPalettePlan& plan = (palettes ? *palettes : own)[settings.Palette.PlanKey()];
    if (plan.Palettes.empty()) {
        // A plan kept before with its colours gives palettes of another size without reading
        // the frames again (a size limit tries several qualities).
        const TPalettePlan* gathered = palettes ? WithColours(*palettes) : nullptr;
        if (gathered && !settings.Palette.PerFrame) {
            if (TStop stop = ReplanPalettes(context, *gathered, settings.Palette, plan))
                return stop;
        } else {
            // From every frame at full size, so fewer frames or smaller pictures share them.
            TPaletteOptions options = settings.Palette;
            options.KeepColours = palettes && !options.PerFrame;
            TSequenceReader full(context.Spill, context.Plan.FinalSize, context.Plan.FinalSize);
            const TGifSequence all =
                PlannedSequence(context.Plan, frames, context.Request.GifSpeed);
            if (TStop stop = PlanPalettes(context, frames, all, options, full, plan))
                return stop;
        }
    }
    context.Progress.Enter(begin + (end - begin) / 3, end);
    return EncodeGif(context, frames, sequence, plan, settings.Encoder, reader, device, encoded);
}

TStop WriteOutputFile(const TConversionContext& context,
                      const std::function<TStop(QIODevice&)>& make) {
    QSaveFile output(context.Request.GifFile);
    if (!output.open(QIODevice::WriteOnly))
        return Failure(QStringLiteral("The %1 file \"%2\" cannot be written: %3")
                           .arg(FormatName(context.Request.Format),
                                QDir::toNativeSeparators(context.Request.GifFile),
                                output.errorString()));
    if (TStop stop = make(output)) {
        output.cancelWriting();
        return stop;
    }
    if (!output.commit())
        return WriteFailure(context, output);
    return {};
}
