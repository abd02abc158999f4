#include "engine/GifSequence.h"

#include "engine/FramePreparer.h"

#include <QImage>
#include <cmath>
#include <cstring>

namespace {

TGifSequence Ordered(const TConversionPlan& plan, std::vector<int> picked, double rate,
                     double speed) {
    TGifSequence sequence;
    for (int position : OrderFrames(static_cast<int>(picked.size()), plan.Order, plan.MaxFrames))
        sequence.Frames.push_back(picked[static_cast<size_t>(position)]);
    sequence.PeriodCs = 100.0 / (rate * speed);
    sequence.Fps = rate * speed;
    sequence.Size = plan.FinalSize;
    return sequence;
}

} // namespace

TGifSequence PlannedSequence(const TConversionPlan& plan, const TPreparedFrames& frames,
                             double speed) {
    std::vector<int> all;
    for (int i = frames.First(plan); i < frames.Count; ++i)
        all.push_back(i);
    return Ordered(plan, std::move(all), plan.Rate, speed);
}

TGifSequence ResampledSequence(const TConversionPlan& plan, const TPreparedFrames& frames,
                               double speed, double rate) {
    std::vector<int> picked;
    const int first = frames.First(plan);
    if (first >= frames.Count || rate <= 0)
        return Ordered(plan, picked, rate, speed);
    const double step = 1e6 / rate;
    const int64_t last = frames.TimeOf.back();
    int i = first;
    for (int64_t k = 0;; ++k) {
        const int64_t t = plan.ClipStart + std::llround(static_cast<double>(k) * step);
        if (t > last)
            break;
        // The prepared frame nearest t (the earlier of two as near): frames are in time order.
        while (i + 1 < frames.Count && std::llabs(frames.TimeOf[static_cast<size_t>(i + 1)] - t) <
                                           std::llabs(frames.TimeOf[static_cast<size_t>(i)] - t))
            ++i;
        const int64_t off = std::llabs(frames.TimeOf[static_cast<size_t>(i)] - t);
        if (static_cast<double>(off) <= step / 2 && (picked.empty() || picked.back() != i))
            picked.push_back(i);
    }
    return Ordered(plan, std::move(picked), rate, speed);
}

TSequenceReader::TSequenceReader(TFrameSpill& spill, const QSize& preparedSize, const QSize& size)
    : FSpill(spill), FPreparedSize(preparedSize), FSize(size) {}

bool TSequenceReader::Read(int index, uchar* rgb) {
    if (FSize == FPreparedSize)
        return FSpill.Read(index, rgb);
    FPrepared.resize(static_cast<size_t>(FSpill.FrameBytes()));
    if (!FSpill.Read(index, FPrepared.data()))
        return false;
    const QImage prepared(FPrepared.data(), FPreparedSize.width(), FPreparedSize.height(),
                          FPreparedSize.width() * 3, QImage::Format_RGB888);
    PackRgb(FScaler.Scale(prepared, FSize), rgb);
    return true;
}
