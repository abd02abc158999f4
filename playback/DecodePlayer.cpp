#include "playback/DecodePlayer.h"

#include "common/Messages.h"

#include <cmath>

// ---------------------------------------------------------------------------------------------
// Playback

TDecodePlayThread::TDecodePlayThread() = default;

TDecodePlayThread::~TDecodePlayThread() {
    // The body uses the picture and the callback: it must be gone before they are.
    TerminateAndWait();
}

bool TDecodePlayThread::LocateAndStart(int64_t pts) {
    if (Started() || !LocateVideoPTS(Decoder, pts))
        return false;
    StartPTS = Decoder->CurrentPTS();
    Start();
    return Started();
}

void TDecodePlayThread::SafeDestroy() {
    Picture = QImage();
    TSafeThread::SafeDestroy();
}

void TDecodePlayThread::SleepUntilDue(int64_t ms) {
    while (ms > 100 && !Terminated()) {
        Clock->Sleep(100);
        ms -= 100;
    }
    if (ms > 0 && !Terminated())
        Clock->Sleep(uint32_t(ms));
}

void TDecodePlayThread::Execute() {
    if (Decoder == nullptr)
        return;
    while (!Terminated()) {
        Decoder->CopyToBitmap(Picture);
        const int64_t pts = Decoder->CurrentPTS();
        if (!Clocked) {
            // The first frame is shown at once and starts the clock.
            StartTick = Clock->TickCount();
            Clocked = true;
        } else if (pts != AV_NOPTS_VALUE && StartPTS != AV_NOPTS_VALUE) {
            const int64_t due = std::llround(double(pts - StartPTS) / 1000.0);
            // Unsigned 32-bit difference: right across a wrap of the tick counter.
            const uint32_t elapsed = Clock->TickCount() - StartTick;
            const int64_t wait = due - int64_t(elapsed);
            if (wait > 0)
                SleepUntilDue(wait);
        }
        if (Terminated())
            break;
        Synchronize([this] {
            LastPTS = Decoder->CurrentPTS();
            if (OnFrame)
                OnFrame(Decoder, Picture);
        });
        // A stop during the hand-over leaves the decoder on the frame just shown, and posts no end
        // message the window would take for the end of the video later.
        if (Terminated())
            break;
        if (!Decoder->Decode(-1)) {
            CheckPostMessage(NotifyWindow, EndMessage, 0, 0);
            break;
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Scrubbing

TDecoderSeek::TDecoderSeek() = default;

TDecoderSeek::~TDecoderSeek() {
    TerminateAndWait();
}

void TDecoderSeek::SafeDestroy() {
    Picture = QImage();
    {
        std::lock_guard<std::mutex> guard(Lock);
        Pending.reset();
    }
    TSafeThread::SafeDestroy();
}

void TDecoderSeek::RequestSeek(int64_t pts) {
    auto request = std::make_unique<TSeekObj>();
    request->PTS = pts;
    std::lock_guard<std::mutex> guard(Lock);
    Pending = std::move(request); // frees the request still waiting, if any
    Busy.store(false, std::memory_order_release);
}

bool TDecoderSeek::NearSeek(int64_t pts) {
    bool landed = false;
    if (GoOn())
        landed = Decoder->Seek(pts, TSeekFlags());
    if (!landed && GoOn())
        landed = Decoder->Seek(pts, TSeekFlag::Backward);
    if (!landed && GoOn())
        landed = Decoder->Seek(pts, TSeekFlag::Any);
    return landed && Decoder->Decode(-1);
}

std::optional<int64_t> TDecoderSeek::Show() {
    Decoder->CopyToBitmap(Picture);
    if (!Busy.load(std::memory_order_acquire))
        return std::nullopt; // a newer request came: it is served next
    const int64_t shown = Decoder->CurrentPTS();
    const bool handedOver = Synchronize([this] {
        if (OnFrame)
            OnFrame(Decoder, Picture);
    });
    if (!handedOver)
        return std::nullopt; // stopped meanwhile: the window never saw it
    return shown;
}

void TDecoderSeek::Execute() {
    if (Decoder == nullptr)
        return;
    const TGoOnFunc goOn = [this] { return GoOn(); };
    while (!Terminated()) {
        std::unique_ptr<TSeekObj> request;
        {
            std::lock_guard<std::mutex> guard(Lock);
            request = std::move(Pending);
            Busy.store(true, std::memory_order_release);
        }
        if (!request) {
            Clock->Sleep(10);
            continue;
        }
        if (!NearSeek(request->PTS))
            continue;
        const std::optional<int64_t> shown = Show();
        if (!shown)
            continue;
        // The exact frame replaces the key frame, unless they are the same frame.
        if (LocateVideoPTSCallback(Decoder, request->PTS, goOn) && Decoder->CurrentPTS() != *shown)
            Show();
    }
}
