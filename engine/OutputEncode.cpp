#include "engine/OutputEncode.h"

#include "engine/FramePlan.h"

#include <cmath>

TStop MakeOutput(const TConversionContext& context, const TPreparedFrames& frames,
                 const TGifSequence& sequence, int quality, QIODevice& device, TEncoded& encoded,
                 std::map<int, TPalettePlan>* palettes) {
    switch (context.Request.Format) {
    case TOutputFormat::WebP:
        return MakeWebP(context, frames, sequence, quality, device, encoded);
    case TOutputFormat::Mp4:
        return MakeMp4(context, frames, sequence, quality, device, encoded);
    case TOutputFormat::Gif:
        break;
    }
    return MakeGif(context, frames, sequence, quality, device, encoded, palettes);
}

TStop ForEachShownFrame(const TConversionContext& context, const TPreparedFrames& frames,
                        const TGifSequence& sequence,
                        const std::function<TStop(const TShownFrame&)>& take) {
    TSequenceReader reader(context.Spill, context.Plan.FinalSize, sequence.Size);
    std::vector<int64_t> sourceOfPosition;
    for (const int index : sequence.Frames)
        sourceOfPosition.push_back(frames.PtsOf[static_cast<size_t>(index)]);
    const auto atMs = [&](int position) {
        return static_cast<int64_t>(std::llround(position * sequence.PeriodCs * 10.0));
    };
    // The colour conversion reads whole SIMD words: a few bytes past the last pixel stay ours.
    constexpr size_t ReadSlack = 64;
    std::vector<uchar> rgb(static_cast<size_t>(reader.FrameBytes()) + ReadSlack);
    // Runs of one picture, however long: a video holds a frame as long as it likes.
    for (const TImageRun& run : MergeRepeatedFrames(sourceOfPosition, sequence.PeriodCs,
                                                    std::numeric_limits<int>::max())) {
        if (context.Cancel)
            return CancelledResult();
        const int index = sequence.Frames[static_cast<size_t>(run.Position)];
        if (!reader.Read(index, rgb.data()))
            return Failure(
                QStringLiteral("Reading back the frames failed: %1.").arg(reader.ErrorString()));
        const TShownFrame shown{rgb.data(), run.Position, run.Frames, atMs(run.Position),
                                atMs(run.Position + run.Frames)};
        if (TStop stop = take(shown))
            return stop;
        context.Progress.Done(static_cast<double>(run.Position + run.Frames) /
                              static_cast<double>(sequence.Frames.size()));
    }
    return {};
}

QSize EncodedSize(TOutputFormat format, const QSize& size) {
    if (format != TOutputFormat::Mp4)
        return size;
    return {size.width() & ~1, size.height() & ~1};
}

TConversionResult EncoderFailure(TOutputFormat format, const QString& why) {
    return Failure(QStringLiteral("Making the %1 file failed: %2").arg(FormatName(format), why));
}
