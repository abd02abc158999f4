#pragma once
// Composes a GIF's frames ahead of time on a thread of its own, so that a picture with a huge
// canvas or huge frames never holds up the thread that shows it: one frame is composed while the
// one before it is on show.

#include "gifimage/GIFComposer.h"

#include <QImage>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

struct TGIFComposedFrame {
    int Index = -1;
    QImage Picture; // shares the canvas as it was; composing on detaches from it
};

class TGIFComposeAhead {
public:
    // Takes over `composer` (showing any frame) and composes the frames after it, looping, keeping
    // one ready at a time. `ready` is called on the composing thread whenever a frame is ready.
    TGIFComposeAhead(std::unique_ptr<TGIFComposer> composer, std::function<void()> ready);
    // Waits for the frame being composed, if any, to be finished.
    ~TGIFComposeAhead();
    TGIFComposeAhead(const TGIFComposeAhead&) = delete;
    TGIFComposeAhead& operator=(const TGIFComposeAhead&) = delete;

    // The next frame if it is composed (the one after it is then started), else nothing.
    std::optional<TGIFComposedFrame> Take();

private:
    void Run();
    std::unique_ptr<TGIFComposer> FComposer;
    std::function<void()> FReady;
    std::mutex FLock;
    std::condition_variable FChanged;
    std::optional<TGIFComposedFrame> FNext;
    bool FStop = false;
    std::thread FThread; // last: starts once everything above is in place
};
