#include "engine/GifEstimate.h"

#include "decoder/FFDecoder.h"
#include "engine/ConversionStage.h"
#include "engine/FrameSampler.h"
#include "engine/GifSequence.h"
#include "engine/OutputEncode.h"
#include "engine/PrepareStage.h"
#include "engine/SizeFitter.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <cmath>

namespace {

// A GIF of at most this many frames is made whole: exact. A clip that short is decoded mostly or
// wholly by a sample too (the stretches' key frames lie before them), so a sample would save
// little and cost accuracy (a warm-up longer than a stretch on slow clips).
constexpr int WholeGifFrames = 48;
// Otherwise about a tenth of its frames are made, at least this many, in stretches of about
// StretchFrames consecutive frames (long enough for the frames after a stretch's first, drawn
// almost whole, to be the usual differences), spread evenly over the GIF.
constexpr double SampledShare = 0.1;
constexpr int MinSampledFrames = 24;
constexpr int StretchFrames = 12;
constexpr int MaxStretches = 8;
// The frames after a stretch's first that are still warming up (see Extrapolate).
constexpr int WarmUpFrames = 4;
// No more frames than these are ever sampled (a count with room to double for a ping-pong).
constexpr int Unlimited = 1 << 24;

// Grid samples [First, First + Count) of the plan.
struct TStretch {
    int First = 0;
    int Count = 0;
};

// The grid samples whose source frame the request leaves out (frames the user deleted). The
// frame shown at a time is found from the nominal frame duration: exact on videos of a constant
// frame rate, which is what a filter of frames chosen in the strip is made on.
int LeftOutSamples(const TConversionRequest& request, const std::vector<int64_t>& times,
                   int64_t frameDuration) {
    if (!request.FrameFilter || frameDuration <= 0)
        return 0;
    int leftOut = 0;
    for (const int64_t time : times) {
        const int64_t pts = time / frameDuration * frameDuration;
        if (request.FrameFilter(pts) || request.FrameFilter(pts - 1) ||
            request.FrameFilter(pts + 1))
            ++leftOut;
    }
    return leftOut;
}

// The part of the grid the GIF shows: a forward order the first frames it can show, a reverse
// one the last.
TStretch UsedSamples(const TConversionPlan& plan, int gridSamples) {
    if (plan.SpillSlots > 0)
        return {std::max(0, gridSamples - plan.SpillSlots), std::min(gridSamples, plan.SpillSlots)};
    return {0, std::min(gridSamples, std::max(1, plan.FramesNeeded))};
}

std::vector<TStretch> SampleStretches(const TStretch& used) {
    const int wanted =
        std::max(MinSampledFrames, static_cast<int>(std::lround(used.Count * SampledShare)));
    const int count =
        std::clamp(static_cast<int>(std::lround(double(wanted) / StretchFrames)), 2, MaxStretches);
    const int length = std::max(2, (wanted + count - 1) / count);
    std::vector<TStretch> stretches;
    for (int i = 0; i < count; ++i) {
        const double centre = (i + 0.5) * used.Count / count;
        const int first = std::clamp(static_cast<int>(std::lround(centre - length / 2.0)), 0,
                                     std::max(0, used.Count - length));
        if (!stretches.empty() && first < stretches.back().First + stretches.back().Count)
            continue; // a short GIF: the stretches would overlap
        stretches.push_back({used.First + first, std::min(length, used.Count - first)});
    }
    return stretches;
}

// The GIF's frames of the prepared frames [begin, end), in the plan's order.
TGifSequence StretchSequence(const TConversionPlan& plan, const TGifSequence& model, int begin,
                             int end) {
    TGifSequence sequence = model;
    sequence.Frames.clear();
    for (const int position : OrderFrames(end - begin, plan.Order, Unlimited))
        sequence.Frames.push_back(begin + position);
    return sequence;
}

class TEstimator {
public:
    TEstimator(const TConversionRequest& request, const std::atomic<bool>& cancel)
        : FRequest(request), FCancel(cancel), FProgress(FNoReport) {}

    TGifEstimate Run(const TDecoderFactory& decoderFactory);

private:
    // Prepares the samples of `part` (the plan, or a stretch of it) into the spill after the
    // frames there.
    TStop Prepare(TCustomDecoder& decoder, const TConversionPlan& part);
    TConversionPlan StretchPlan(const TStretch& stretch) const;
    // The bytes of the GIF of `sequence`; with `bytesAfterPosition`, what its frames cost (see
    // TEncoded).
    TStop Measure(const TGifSequence& sequence, int quality, qint64& bytes,
                  std::vector<qint64>* bytesAfterPosition = nullptr);
    TStop MakeWhole(TGifEstimate& estimate);
    TStop Extrapolate(const std::vector<std::pair<int, int>>& prepared, TGifEstimate& estimate);
    // What the size limit chooses, on the prepared frames scaled by `scale` to the whole GIF.
    TStop FitLimit(double scale, TGifEstimate& estimate);
    TConversionContext Context(const TConversionRequest& request) {
        return {request, FSamplePlan, *FSpill, FCancel, FProgress};
    }

    const TConversionRequest& FRequest;
    const std::atomic<bool>& FCancel;
    const std::function<void(int)> FNoReport;
    TStageProgress FProgress;
    TConversionPlan FPlan;       // of the whole GIF
    TConversionPlan FSamplePlan; // of the prepared frames: all of them, in the plan's order
    std::unique_ptr<TFrameSpill> FSpill;
    TPreparedFrames FFrames;
    std::map<int, TPalettePlan> FPalettes;
};

TConversionPlan TEstimator::StretchPlan(const TStretch& stretch) const {
    const std::vector<int64_t> times = FPlan.SampleTimes();
    TConversionPlan part = FSamplePlan;
    part.ClipStart = times[static_cast<size_t>(stretch.First)];
    part.ClipEnd = times[static_cast<size_t>(stretch.First + stretch.Count - 1)];
    part.FramesNeeded = stretch.Count;
    return part;
}

TStop TEstimator::Prepare(TCustomDecoder& decoder, const TConversionPlan& stretch) {
    // The preparing stops at the frames needed, counted over every stretch.
    TConversionPlan part = stretch;
    part.FramesNeeded += FFrames.Count;
    const TConversionContext context{FRequest, part, *FSpill, FCancel, FProgress};
    TFrameSampler sampler(decoder, part, FCancel);
    if (!sampler.Start())
        return FCancel ? CancelledResult()
                       : Failure(QStringLiteral("The video cannot be read at %1.")
                                     .arg(FormatPTS(part.ClipStart, 3)));
    // Each stretch's scenes are its own: the palettes of one never serve another.
    const size_t before = FFrames.SceneOf.size();
    const int sceneBase =
        before == 0 ? 0 : *std::max_element(FFrames.SceneOf.begin(), FFrames.SceneOf.end()) + 1;
    if (TStop stop = PrepareFrames(context, sampler, FFrames))
        return stop;
    for (size_t i = before; i < FFrames.SceneOf.size(); ++i)
        FFrames.SceneOf[i] += sceneBase;
    return {};
}

TStop TEstimator::Measure(const TGifSequence& sequence, int quality, qint64& bytes,
                          std::vector<qint64>* bytesAfterPosition) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    TEncoded encoded;
    if (TStop stop =
            MakeOutput(Context(FRequest), FFrames, sequence, quality, buffer, encoded, &FPalettes))
        return stop;
    bytes = buffer.size();
    if (bytesAfterPosition)
        *bytesAfterPosition = std::move(encoded.BytesAfterPosition);
    return {};
}

TStop TEstimator::MakeWhole(TGifEstimate& estimate) {
    const TGifSequence sequence = PlannedSequence(FPlan, FFrames, FRequest.GifSpeed);
    estimate.Exact = true;
    estimate.Frames = estimate.SampledFrames = static_cast<int>(sequence.Frames.size());
    estimate.DurationCs = 0;
    for (int position = 0; position < estimate.Frames; ++position)
        estimate.DurationCs += FrameDelayCs(position, sequence.PeriodCs);
    if (TStop stop = Measure(sequence, FRequest.GifQuality, estimate.Bytes))
        return stop;
    return FitLimit(1.0, estimate);
}

TStop TEstimator::Extrapolate(const std::vector<std::pair<int, int>>& prepared,
                              TGifEstimate& estimate) {
    // A GIF's first frame is drawn whole; the frames after it draw what changed, little at first
    // (a pixel stays as drawn until its colour moves far enough from it) and more as the picture
    // moves on, until the cost per frame settles. Per stretch, from one encoding of it: its first
    // frame, its first WarmUpFrames and all of it, so the whole GIF is one first frame, one
    // warm-up and then frames at the settled cost.
    const TGifSequence model = PlannedSequence(FSamplePlan, FFrames, FRequest.GifSpeed);
    double firstBytes = 0, warmBytes = 0, settledBytes = 0;
    int stretches = 0, warmFrames = 0, settledFrames = 0;
    for (const auto& [begin, end] : prepared) {
        const TGifSequence sequence = StretchSequence(FSamplePlan, model, begin, end);
        const int count = static_cast<int>(sequence.Frames.size());
        if (count < 2)
            continue;
        const int warm = std::clamp(WarmUpFrames, 1, count - 1);
        qint64 whole = 0;
        std::vector<qint64> after;
        if (TStop stop = Measure(sequence, FRequest.GifQuality, whole, &after))
            return stop;
        if (after.size() != static_cast<size_t>(count)) {
            // An encoder that does not tell what each frame costs: all alike.
            after.resize(static_cast<size_t>(count));
            for (int i = 0; i < count; ++i)
                after[static_cast<size_t>(i)] = whole * (i + 1) / count;
        }
        // The first frame with the file's header and trailer, as in a GIF of its own.
        const qint64 alone = whole - (after.back() - after.front());
        const qint64 warmed = alone + after[static_cast<size_t>(warm - 1)] - after.front();
        firstBytes += static_cast<double>(alone);
        warmBytes += static_cast<double>(std::max<qint64>(0, warmed - alone));
        warmFrames += warm - 1;
        settledBytes += static_cast<double>(std::max<qint64>(0, whole - warmed));
        settledFrames += count - warm;
        ++stretches;
    }
    if (stretches == 0 || settledFrames == 0)
        return MakeWhole(estimate);
    estimate.SampledFrames = static_cast<int>(model.Frames.size());
    const double first = firstBytes / stretches;
    const double warm = warmFrames > 0 ? warmBytes / warmFrames : 0;
    const double settled = settledBytes / settledFrames;
    const int warmInWhole = std::min(estimate.Frames - 1, warmFrames / stretches);
    estimate.Bytes =
        std::llround(first + warmInWhole * warm + (estimate.Frames - 1 - warmInWhole) * settled);
    qint64 sample = 0;
    if (FRequest.GifMaxSize > 0 && estimate.Bytes > FRequest.GifMaxSize) {
        if (TStop stop = Measure(model, FRequest.GifQuality, sample))
            return stop;
        return FitLimit(static_cast<double>(estimate.Bytes) / std::max<qint64>(1, sample),
                        estimate);
    }
    return FitLimit(1.0, estimate);
}

TStop TEstimator::FitLimit(double scale, TGifEstimate& estimate) {
    const qint64 limit = FRequest.GifMaxSize;
    estimate.Limited = limit > 0;
    if (!estimate.Limited)
        return {};
    if (estimate.Bytes <= limit) {
        estimate.Fits = true;
        estimate.FittedBytes = estimate.Bytes;
        estimate.FittedQuality = FRequest.GifQuality;
        estimate.FittedFps = estimate.Fps;
        estimate.FittedSize = estimate.Size;
        return {};
    }
    // The prepared frames stand for the whole GIF at `scale` times their size: the limit, scaled
    // down as much, is met on them as the conversion will meet it on the whole.
    TConversionRequest scaled = FRequest;
    scaled.GifMaxSize = std::max<qint64>(MinGifBytes, std::llround(limit / scale));
    TFittedGif fitted;
    fitted.Sequence = PlannedSequence(FSamplePlan, FFrames, FRequest.GifSpeed);
    fitted.Quality = FRequest.GifQuality;
    TStop stop = FitToSize(Context(scaled), FFrames, fitted);
    if (stop && stop->Cancelled)
        return stop;
    estimate.Fits = !stop.has_value();
    if (!estimate.Fits)
        return {};
    estimate.FittedBytes = std::llround(static_cast<double>(fitted.Bytes.size()) * scale);
    estimate.FittedQuality = fitted.Quality;
    estimate.FittedFps = fitted.Sequence.Fps;
    estimate.FittedSize = fitted.Sequence.Size;
    return {};
}

TGifEstimate Estimated(const TStop& stop) {
    TGifEstimate estimate;
    estimate.Cancelled = stop->Cancelled;
    estimate.Error = stop->Cancelled ? QString() : stop->Error;
    return estimate;
}

TGifEstimate TEstimator::Run(const TDecoderFactory& decoderFactory) {
    if (const QString problem = CheckRequestValues(FRequest); !problem.isEmpty())
        return Estimated(Failure(problem));
    std::unique_ptr<TCustomDecoder> decoder =
        decoderFactory ? decoderFactory() : std::make_unique<TFFDecoder>();
    TStreamFacts facts;
    if (TStop stop = OpenSource(FRequest, *decoder, facts))
        return Estimated(stop);
    FPlan = PlanConversion(FRequest, facts);
    if (!FPlan.Ok())
        return Estimated(Failure(FPlan.Error));
    if (const QString limit = CheckFormatSize(FRequest.Format, FPlan.FinalSize); !limit.isEmpty())
        return Estimated(Failure(limit));
    const std::vector<int64_t> times = FPlan.SampleTimes();
    const int grid = static_cast<int>(times.size());
    TGifEstimate estimate;
    const int kept = grid - LeftOutSamples(FRequest, times, facts.FrameDuration);
    estimate.Frames = static_cast<int>(OrderFrames(kept, FPlan.Order, FPlan.MaxFrames).size());
    for (int position = 0; position < estimate.Frames; ++position)
        estimate.DurationCs += FrameDelayCs(position, FPlan.PeriodCs);
    estimate.Size = FPlan.FinalSize;
    estimate.Fps = FPlan.Rate * FRequest.GifSpeed;
    if (estimate.Frames == 0)
        return Estimated(Failure(QStringLiteral("Every frame of the clip is marked deleted: "
                                                "there is nothing to convert.")));

    QString folder = QFileInfo(FRequest.GifFile).absolutePath();
    if (!QFileInfo(folder).isDir())
        folder = QDir::tempPath();
    FSamplePlan = FPlan;
    FSamplePlan.SpillSlots = 0;
    FSamplePlan.MaxFrames = Unlimited;
    FSpill = std::make_unique<TFrameSpill>(folder, FPlan.FrameBytes, 0);
    if (!FSpill->Open())
        return Estimated(
            Failure(QStringLiteral("The frames cannot be kept in \"%1\": %2")
                        .arg(QDir::toNativeSeparators(folder), FSpill->ErrorString())));
    TStop stop;
    if (estimate.Frames <= WholeGifFrames) {
        FSamplePlan = FPlan;
        stop = Prepare(*decoder, FPlan);
        if (!stop)
            stop = MakeWhole(estimate);
    } else {
        std::vector<std::pair<int, int>> prepared;
        for (const TStretch& stretch : SampleStretches(UsedSamples(FPlan, grid))) {
            const int begin = FFrames.Count;
            if ((stop = Prepare(*decoder, StretchPlan(stretch))))
                break;
            prepared.emplace_back(begin, FFrames.Count);
        }
        if (!stop)
            stop = Extrapolate(prepared, estimate);
    }
    if (stop)
        return Estimated(stop);
    return estimate;
}

} // namespace

TGifEstimate EstimateGif(const TConversionRequest& request, const std::atomic<bool>& cancel,
                         const TDecoderFactory& decoderFactory) {
    // Nothing is written: a request without a GIF name is estimated all the same.
    TConversionRequest named = request;
    if (named.GifFile.isEmpty())
        named.GifFile = QDir::temp().filePath(QStringLiteral("estimate.gif"));
    TEstimator estimator(named, cancel);
    return estimator.Run(decoderFactory);
}

QString DescribeEstimate(const TGifEstimate& estimate) {
    if (estimate.Cancelled)
        return {};
    if (!estimate.Error.isEmpty())
        return estimate.Error;
    QString text = QStringLiteral("%1%2 · %3 frames · %4 s")
                       .arg(estimate.Exact ? QString() : QStringLiteral("about "),
                            FormatFileSize(estimate.Bytes))
                       .arg(estimate.Frames)
                       .arg(QString::number(estimate.DurationCs / 100.0, 'f', 1));
    if (!estimate.Limited || (estimate.Fits && estimate.FittedBytes == estimate.Bytes))
        return text;
    if (!estimate.Fits)
        return text + QStringLiteral("; the size limit cannot be met");
    return text + QStringLiteral("; fits: about %1 at %2 fps, %3 × %4")
                      .arg(FormatFileSize(estimate.FittedBytes),
                           QString::number(estimate.FittedFps, 'g', 3))
                      .arg(estimate.FittedSize.width())
                      .arg(estimate.FittedSize.height());
}
