#pragma once
// The playback and seek workers. Both drive the main window's one decoder on their own thread and
// hand every picture to the main window through a synchronous hand-over on the main thread, so the
// window may read the decoder and the picture freely inside its frame callback. The window never
// runs both at once and frees one (terminate, wait while serving hand-overs) before starting the
// other.
//
// The fields the owner sets are set after construction and before `Start`; afterwards only the
// worker touches them (and the main thread inside a hand-over, while the worker waits).

#include "common/SafeThread.h"
#include "decoder/CustomDecoder.h"
#include "playback/PlayClock.h"

#include <QImage>
#include <QPointer>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

// The frame callback: runs on the main thread with the worker's decoder and picture.
using TFrameEvent = std::function<void(TCustomDecoder* decoder, QImage& picture)>;

// Plays from the decoder's current frame: shows each frame when it is due by its time stamp,
// measured from the moment the first one was shown. Late frames are shown at once, none skipped.
class TDecodePlayThread : public TSafeThread {
public:
    TDecodePlayThread();
    ~TDecodePlayThread() override;

    // Positions the decoder at `pts` and, only when that succeeds, starts playing from the frame
    // found there. Set `Decoder` and the callbacks first. A thread that did not start is simply
    // freed later.
    bool LocateAndStart(int64_t pts);

    // Time of the frame last handed to the window; AV_NOPTS_VALUE before the first one. Main
    // thread (it is written inside the hand-over).
    int64_t GetLastPTS() const { return LastPTS; }

    // Set by the owner before `Start`.
    TCustomDecoder* Decoder = nullptr; // not owned
    int64_t StartPTS = 0;              // the decoder's CurrentPTS after the start locate
    TFrameEvent OnFrame;
    int EndMessage = 0; // posted to NotifyWindow when no further frame decodes
    QPointer<QObject> NotifyWindow;
    TPlayClock* Clock = &SystemPlayClock();

protected:
    void Execute() override;
    void SafeDestroy() override;

private:
    // Sleeps `ms` in slices of at most 100 ms, giving up as soon as termination is requested.
    void SleepUntilDue(int64_t ms);

    QImage Picture;
    uint32_t StartTick = 0; // tick count when the first frame was taken
    bool Clocked = false;   // StartTick is set (a tick count of 0 is a valid start)
    int64_t LastPTS = AV_NOPTS_VALUE;
};

// One scrubbing request.
struct TSeekObj {
    int64_t PTS = 0;
};

// Serves scrubbing requests, newest first: shows the key frame near the requested time at once,
// then the exact frame, and abandons a request as soon as a newer one arrives.
class TDecoderSeek : public TSafeThread {
public:
    TDecoderSeek();
    ~TDecoderSeek() override;

    // Main thread: replaces any request still waiting with one for `pts` and tells the request
    // being served (if any) to give up.
    void RequestSeek(int64_t pts);

    // Set by the owner before `Start`.
    TCustomDecoder* Decoder = nullptr; // not owned
    TFrameEvent OnFrame;
    TPlayClock* Clock = &SystemPlayClock();

protected:
    void Execute() override;
    void SafeDestroy() override;

private:
    // Whether the request taken last is still worth working on.
    bool GoOn() const { return Busy.load(std::memory_order_acquire) && !Terminated(); }
    // The three landing attempts near `pts`, then the decode of the frame there.
    bool NearSeek(int64_t pts);
    // Copies the current frame and hands it over while the request is still wanted; returns the
    // time shown, or nothing when a newer request made the frame pointless.
    std::optional<int64_t> Show();

    QImage Picture;
    std::atomic<bool> Busy{false}; // written under Lock, read without it by GoOn and Show
    std::mutex Lock;               // guards Pending and Busy
    std::unique_ptr<TSeekObj> Pending;
};
