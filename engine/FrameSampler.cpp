#include "engine/FrameSampler.h"

#include "decoder/CustomDecoder.h"

#include <algorithm>

TSampleQueue::TSampleQueue(qint64 pictureBytes)
    : FCapacity(static_cast<size_t>(
          std::clamp<qint64>((48 << 20) / std::max<qint64>(pictureBytes, 1), 1, 3))) {}

namespace {
// Shown parts bigger than this (above 2560 × 1440) are cut and scaled by the decoder when the GIF
// is smaller (at full size, the whole picture costs less memory than a 16-bit one of that size).
constexpr qint64 oneStepPixels = 4'000'000;
} // namespace

bool TSampleQueue::Push(TSample sample) {
    std::unique_lock lock(FLock);
    FSpace.wait(lock, [&] { return FStopped || FItems.size() < FCapacity; });
    if (FStopped)
        return false;
    FItems.push_back(std::move(sample));
    FReady.notify_one();
    return true;
}

TSample TSampleQueue::Pop() {
    std::unique_lock lock(FLock);
    FReady.wait(lock, [&] { return !FItems.empty(); });
    TSample sample = std::move(FItems.front());
    FItems.pop_front();
    FSpace.notify_one();
    return sample;
}

void TSampleQueue::Stop() {
    std::lock_guard lock(FLock);
    FStopped = true;
    FSpace.notify_all();
}

bool TSampleQueue::Stopped() {
    std::lock_guard lock(FLock);
    return FStopped;
}

TFrameSampler::TFrameSampler(TCustomDecoder& decoder, const TConversionPlan& plan,
                             const std::atomic<bool>& cancel)
    : FDecoder(decoder), FPlan(plan), FCancel(cancel),
      FQueue(static_cast<qint64>(plan.OutSize.width()) * plan.OutSize.height() * 4),
      FOneStep(static_cast<qint64>(plan.SourceRect.width()) * plan.SourceRect.height() >
                   oneStepPixels &&
               static_cast<qint64>(plan.OutSize.width()) * plan.OutSize.height() <
                   static_cast<qint64>(plan.SourceRect.width()) * plan.SourceRect.height()),
      FFrameDuration(NominalFrameDuration(decoder.GetVideoStreamInfo())) {}

TFrameSampler::~TFrameSampler() {
    Stop();
}

void TFrameSampler::Stop() {
    FQueue.Stop();
    if (FThread.joinable())
        FThread.join();
}

bool TFrameSampler::Start() {
    if (!FDecoder.LocateVideoPTSCallback(FPlan.ClipStart, [this] { return !FCancel.load(); }))
        return false;
    FThread = std::thread([this] { Run(); });
    return true;
}

void TFrameSampler::Finish(TSample::TKind kind, int64_t pts) {
    TSample last;
    last.Kind = kind;
    last.Pts = pts;
    FQueue.Push(std::move(last));
}

void TFrameSampler::Advance(bool mayBeShown) {
    FCurrentPts = FNextPts;
    FPictureReady = mayBeShown && Capture();
    FNextValid = FDecoder.Decode();
    FNextPts = FNextValid ? FDecoder.CurrentPTS() : AV_NOPTS_VALUE;
}

bool TFrameSampler::MoveTo(int64_t time) {
    // A GIF frame shows the source frame nearest its time (never one past the clip's end), so
    // equal steps of time take equal steps through the source. A frame is copied only when the
    // one after it does not come by the sample time (by the nominal frame duration).
    while (FNextValid && FNextPts <= time) {
        Advance(!(FFrameDuration > 0 && FNextPts + FFrameDuration <= time));
        if (Stopped())
            return false;
    }
    if (FNextValid && FNextPts <= FPlan.ClipEnd && ShowsNextFrame(time, FCurrentPts, FNextPts))
        Advance(true);
    return true;
}

bool TFrameSampler::Refetch() {
    if (FPictureReady)
        return true;
    if (!FDecoder.LocateVideoPTSCallback(FCurrentPts, [this] { return !Stopped(); }) || !Capture())
        return false;
    FPictureReady = true;
    FNextValid = FDecoder.Decode();
    FNextPts = FNextValid ? FDecoder.CurrentPTS() : AV_NOPTS_VALUE;
    return true;
}

bool TFrameSampler::Capture() {
    if (!FOneStep)
        return FDecoder.CopyToPlanes(FPlanes);
    return FDecoder.CopyToBitmapScaled(FPicture, FPlan.SourceRect, FPlan.OutSize);
}

QImage TFrameSampler::TakePicture() {
    if (FCurrentPts == FHandedPts)
        return {}; // a frame that two samples show goes once
    FHandedPts = FCurrentPts;
    if (FOneStep)
        return FPicture;
    const QRect whole(QPoint(0, 0), FPlanes.Size());
    const QRect part = FPlan.Crop ? FPlan.SourceRect.intersected(whole) : whole;
    if (part.size() == FPlan.OutSize)
        return PackedPart(FPlanes, part);
    return FScaler.Scale(FPlanes, part, FPlan.OutSize);
}

void TFrameSampler::Run() {
    FHandedPts = AV_NOPTS_VALUE;
    FCurrentPts = FDecoder.CurrentPTS();
    FPictureReady = Capture();
    FNextValid = FDecoder.Decode();
    FNextPts = FNextValid ? FDecoder.CurrentPTS() : AV_NOPTS_VALUE;
    const int64_t lastFrameTime = std::max<int64_t>(FFrameDuration, 1);
    int64_t videoEnd = AV_NOPTS_VALUE;
    bool first = true;
    for (const int64_t time : FPlan.SampleTimes()) {
        if (Stopped())
            return Finish(TSample::Cancelled, AV_NOPTS_VALUE);
        // Past the last frame of the video (its duration unknown or wrong): stop there.
        if (!FNextValid && !first && time > FCurrentPts + lastFrameTime) {
            videoEnd = FCurrentPts + lastFrameTime;
            break;
        }
        first = false;
        if (!MoveTo(time))
            return Finish(TSample::Cancelled, AV_NOPTS_VALUE);
        if (!Refetch())
            return Finish(Stopped() ? TSample::Cancelled : TSample::Failed, FCurrentPts);
        TSample sample;
        sample.Time = time;
        sample.Pts = FCurrentPts;
        sample.Picture = TakePicture();
        if (!FQueue.Push(std::move(sample)))
            return;
    }
    Finish(TSample::End, videoEnd);
}
