#pragma once
// The sampling stage: decodes the clip on a thread of its own and hands over, for each time of
// the plan's grid, the source frame shown then, through a short queue; the receiving thread makes
// its picture (converted, cropped and scaled to the output size), so decoding goes on meanwhile
// (4K pictures are made on the decoding thread, so that frames do not wait in memory twice).

#include "engine/ConversionPlan.h"
#include "engine/FrameScaler.h"

#include <QImage>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

class TCustomDecoder;
class TFramePictures;
class TKeptFrame;

// A picture sampled from the clip, or how the sampling ended.
struct TSample {
    enum TKind { Sampled, End, Cancelled, Failed } Kind = Sampled;
    int64_t Time = 0; // the sample's time
    int64_t Pts = 0;  // of the video frame shown then; for the end, where the video ended before
                      // the clip did (else AV_NOPTS_VALUE); for a failure, where
    QImage Picture;   // null when the sample before showed the same source frame
    // On the way: the decoded frame whose picture the receiver makes.
    std::shared_ptr<const TKeptFrame> Frame;
};

// Hands samples from one thread to another, a few at a time (fewer of big pictures, so memory
// stays bounded at any size).
class TSampleQueue {
public:
    // Room for samples of `itemBytes` each.
    explicit TSampleQueue(qint64 itemBytes = 0);
    // False when the consumer stopped listening.
    bool Push(TSample sample);
    TSample Pop();
    // Whether the queue has no room left (the next Push would wait).
    bool Full();
    // Wakes and refuses every producer from now on.
    void Stop();
    bool Stopped();

private:
    size_t FCapacity;
    std::mutex FLock;
    std::condition_variable FReady, FSpace;
    std::deque<TSample> FItems;
    bool FStopped = false;
};

class TFrameSampler {
public:
    TFrameSampler(TCustomDecoder& decoder, const TConversionPlan& plan,
                  const std::atomic<bool>& cancel);
    // Stops the thread and waits for it.
    ~TFrameSampler();
    TFrameSampler(const TFrameSampler&) = delete;
    TFrameSampler& operator=(const TFrameSampler&) = delete;
    // Finds the clip's start on the calling thread, then samples on a thread of its own. False
    // when the start cannot be read (or the search was cancelled).
    [[nodiscard]] bool Start();
    // The next sample with its picture, in time order; the last one is End, Cancelled or
    // Failed. Called on one thread only (the pictures are made there).
    TSample Next();
    // Stops sampling early and waits for the thread.
    void Stop();

private:
    void Run();
    bool Stopped() { return FCancel || FQueue.Stopped(); }
    void Finish(TSample::TKind kind, int64_t pts);
    // Moves on to the next decoded frame, copying its picture when it may be shown.
    void Advance(bool mayBeShown);
    // Decodes up to the frame shown at `time`; false when stopped meanwhile.
    bool MoveTo(int64_t time);
    // Fetches the current frame again when the decoding skipped keeping it.
    bool Refetch();
    // Keeps the current frame for its picture.
    bool Capture();
    // The current frame, or null when it was handed over already.
    std::shared_ptr<const TKeptFrame> TakeFrame();
    // What makes pictures on one thread: the decoder's converter with its settings, and the
    // scaler with its buffers.
    struct TPictureMaker {
        std::unique_ptr<TFramePictures> Pictures;
        TFrameScaler Scaler;
        TRgbPlanes Planes; // the whole picture, when it is scaled here
    };
    // The picture of `frame` as the GIF shows it.
    bool MakePicture(TPictureMaker& maker, const TKeptFrame& frame, QImage& picture);
    // Whether the decoding thread makes the picture of the sample it hands over next.
    bool DecoderMakesPicture();

    TCustomDecoder& FDecoder;
    const TConversionPlan& FPlan;
    const std::atomic<bool>& FCancel;
    TSampleQueue FQueue;
    std::thread FThread;
    // Big pictures (4K) are cut and scaled by the decoder in one step from the decoded planes,
    // which saves converting the whole picture to RGB (twice as fast there). Smaller ones are
    // converted whole and scaled in RGB, which keeps fine colour detail (text on screen
    // recordings) as exact as the source has it.
    bool FOneStep = false;
    // Pictures are made on the receiving thread, except pictures of 4K and more: then the
    // decoded frames waiting in the queue would be kept on top of the big pictures. When the
    // receiver falls behind (the queue is full), the decoding thread makes them too.
    bool FMadeByReceiver = true;
    // A frame's expected duration lets the sampler skip keeping frames that the next sample will
    // not show; when a gap proves the guess wrong, the frame is located again.
    int64_t FFrameDuration = 0;
    std::vector<int64_t> FTimes;             // the plan's sample times
    std::shared_ptr<const TKeptFrame> FKept; // the current frame, when kept
    int64_t FCurrentPts = 0, FNextPts = 0, FHandedPts = 0;
    TPictureMaker FReceiverMaker, FDecoderMaker;
    bool FNextValid = false;
};
