#include "engine/FrameSampler.h"

#include "decoder/CustomDecoder.h"
#include "decoder/KeptFrame.h"
#include "decoder/PlanarRgb.h"

#include <algorithm>

namespace {
// The decoded frames waiting between the sampling thread and the one that prepares them: as many
// as fit in this many bytes, one at least and three at most (more only adds memory, not speed).
constexpr qint64 queueBytes = 48 << 20;
constexpr qint64 mostQueued = 3;
} // namespace

TSampleQueue::TSampleQueue(qint64 itemBytes)
    : FCapacity(static_cast<size_t>(
          std::clamp<qint64>(queueBytes / std::max<qint64>(itemBytes, 1), 1, mostQueued))) {}

namespace {
qint64 Area(const QSize& size) {
    return static_cast<qint64>(size.width()) * size.height();
}

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

bool TSampleQueue::Full() {
    std::lock_guard lock(FLock);
    return FItems.size() >= FCapacity;
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
      // A queued sample holds a decoded frame (about 2 bytes a pixel at most of the shown part,
      // more when cut) until its picture is made.
      FQueue(std::max(Area(plan.OutSize) * 4, Area(plan.SourceRect.size()) * 2)),
      FOneStep(Area(plan.SourceRect.size()) > oneStepPixels &&
               Area(plan.OutSize) < Area(plan.SourceRect.size())),
      FMadeByReceiver(Area(plan.OutSize) <= oneStepPixels),
      FFrameDuration(NominalFrameDuration(decoder.GetVideoStreamInfo())) {}

TFrameSampler::~TFrameSampler() {
    Stop();
}

void TFrameSampler::Stop() {
    FQueue.Stop();
    if (FThread.joinable())
        FThread.join();
    FDecoder.SkipUnwantedFrames(nullptr);
}

bool TFrameSampler::Start() {
    if (!FDecoder.LocateVideoPTSCallback(FPlan.ClipStart, [this] { return !FCancel.load(); }))
        return false;
    FReceiverMaker.Pictures = FDecoder.NewFramePictures();
    FDecoderMaker.Pictures = FDecoder.NewFramePictures();
    // Frames no sample shows and nothing is predicted from are not even decoded.
    FTimes = FPlan.SampleTimes();
    FDecoder.SkipUnwantedFrames(
        [this](int64_t pts) { return MayBeShown(FTimes, pts, FFrameDuration); });
    FThread = std::thread([this] { Run(); });
    return true;
}

void TFrameSampler::Finish(TSample::TKind kind, int64_t pts) {
    TSample last;
    last.Kind = kind;
    last.Pts = pts;
    FQueue.Push(std::move(last));
}

TSample TFrameSampler::Next() {
    TSample sample = FQueue.Pop();
    if (sample.Frame) {
        if (!MakePicture(FReceiverMaker, *sample.Frame, sample.Picture))
            sample.Kind = TSample::Failed;
        sample.Frame.reset();
    }
    return sample;
}

void TFrameSampler::Advance(bool mayBeShown) {
    FCurrentPts = FNextPts;
    FKept.reset();
    if (mayBeShown)
        Capture();
    FNextValid = FDecoder.Decode();
    FNextPts = FNextValid ? FDecoder.CurrentPTS() : AV_NOPTS_VALUE;
}

bool TFrameSampler::MoveTo(int64_t time) {
    // A GIF frame shows the source frame nearest its time (never one past the clip's end), so
    // equal steps of time take equal steps through the source. A frame is kept only when the
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
    if (FKept)
        return true;
    if (!FDecoder.LocateVideoPTSCallback(FCurrentPts, [this] { return !Stopped(); }) || !Capture())
        return false;
    FNextValid = FDecoder.Decode();
    FNextPts = FNextValid ? FDecoder.CurrentPTS() : AV_NOPTS_VALUE;
    return true;
}

bool TFrameSampler::Capture() {
    FKept = FDecoder.KeepCurrent();
    return FKept != nullptr;
}

std::shared_ptr<const TKeptFrame> TFrameSampler::TakeFrame() {
    if (FCurrentPts == FHandedPts)
        return nullptr; // a frame that two samples show goes once
    FHandedPts = FCurrentPts;
    return FKept;
}

bool TFrameSampler::MakePicture(TPictureMaker& maker, const TKeptFrame& frame, QImage& picture) {
    if (!maker.Pictures)
        return false;
    if (FOneStep)
        return maker.Pictures->Scaled(frame, FPlan.SourceRect, FPlan.OutSize, picture);
    if (!maker.Pictures->Planes(frame, maker.Planes))
        return false;
    const QRect whole(QPoint(0, 0), maker.Planes.Size());
    const QRect part = FPlan.Crop ? FPlan.SourceRect.intersected(whole) : whole;
    picture = part.size() == FPlan.OutSize ? PackedPart(maker.Planes, part)
                                           : maker.Scaler.Scale(maker.Planes, part, FPlan.OutSize);
    return !picture.isNull();
}

bool TFrameSampler::DecoderMakesPicture() {
    // With the queue full the receiver is behind: rather than wait for room, this thread makes
    // the picture. (Making it whenever a sample waits held up the decoding of clips whose
    // receiver keeps up: bbb 12 % slower.)
    return !FMadeByReceiver || FQueue.Full();
}

void TFrameSampler::Run() {
    FHandedPts = AV_NOPTS_VALUE;
    FCurrentPts = FDecoder.CurrentPTS();
    Capture();
    FNextValid = FDecoder.Decode();
    FNextPts = FNextValid ? FDecoder.CurrentPTS() : AV_NOPTS_VALUE;
    const int64_t lastFrameTime = std::max<int64_t>(FFrameDuration, 1);
    int64_t videoEnd = AV_NOPTS_VALUE;
    bool first = true;
    for (const int64_t time : FTimes) {
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
        sample.Frame = TakeFrame();
        if (sample.Frame && DecoderMakesPicture()) {
            if (!MakePicture(FDecoderMaker, *sample.Frame, sample.Picture))
                return Finish(Stopped() ? TSample::Cancelled : TSample::Failed, FCurrentPts);
            sample.Frame.reset();
        }
        if (!FQueue.Push(std::move(sample)))
            return;
    }
    FKept.reset();
    Finish(TSample::End, videoEnd);
}
