#include "engine/EncodeStage.h"

#include <QDir>
#include <QSaveFile>

namespace {

TConversionResult WriteFailure(const TConversionContext& context, const QIODevice& device) {
    return Failure(
        QStringLiteral("Writing the GIF file \"%1\" failed: %2. Is the disk full?")
            .arg(QDir::toNativeSeparators(context.Request.GifFile), device.errorString()));
}

} // namespace

TStop EncodeGif(const TConversionContext& context, const TPreparedFrames& frames,
                const std::vector<int>& order, const TPalettePlan& palettes,
                const TGifEncoderOptions& options, QIODevice& device, TEncoded& encoded) {
    const int first = frames.First(context.Plan);
    TGifEncoder encoder(&device, context.Plan.FinalSize, context.Plan.LoopCount, palettes.Palettes,
                        options);
    if (!encoder.Start())
        return WriteFailure(context, device);
    std::vector<int64_t> sourceOfPosition;
    for (int index : order)
        sourceOfPosition.push_back(frames.PtsOf[static_cast<size_t>(first + index)]);
    std::vector<uchar> frame(static_cast<size_t>(context.Plan.FrameBytes));
    for (const TImageRun& run : MergeRepeatedFrames(sourceOfPosition, context.Plan.PeriodCs)) {
        if (context.Cancel)
            return CancelledResult();
        const int index = first + order[static_cast<size_t>(run.Position)];
        if (!context.Spill.Read(index, frame.data()))
            return Failure(QStringLiteral("Reading back the frames failed: %1.")
                               .arg(context.Spill.ErrorString()));
        const int palette = palettes.PaletteOf(frames.SceneOf[static_cast<size_t>(index)]);
        if (!encoder.AddFrame(frame.data(), run.DelayCs, palette))
            return WriteFailure(context, device);
        context.Progress.Done(static_cast<double>(run.Position + run.Frames) / order.size());
    }
    if (!encoder.Finish())
        return WriteFailure(context, device);
    encoded.Images = encoder.ImagesWritten();
    return {};
}

TStop WriteGifFile(const TConversionContext& context, const TPreparedFrames& frames,
                   const std::vector<int>& order, const TPalettePlan& palettes,
                   const TGifEncoderOptions& options, TEncoded& encoded) {
    QSaveFile output(context.Request.GifFile);
    if (!output.open(QIODevice::WriteOnly))
        return Failure(
            QStringLiteral("The GIF file \"%1\" cannot be written: %2")
                .arg(QDir::toNativeSeparators(context.Request.GifFile), output.errorString()));
    if (TStop stop = EncodeGif(context, frames, order, palettes, options, output, encoded)) {
        output.cancelWriting();
        return stop;
    }
    if (!output.commit())
        return WriteFailure(context, output);
    return {};
}
