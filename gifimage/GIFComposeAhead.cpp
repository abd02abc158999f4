#include "gifimage/GIFComposeAhead.h"

TGIFComposeAhead::TGIFComposeAhead(std::unique_ptr<TGIFComposer> composer,
                                   std::function<void()> ready)
    : FComposer(std::move(composer)), FReady(std::move(ready)), FThread([this] { Run(); }) {}

TGIFComposeAhead::~TGIFComposeAhead() {
    {
        const std::lock_guard lock(FLock);
        FStop = true;
    }
    FChanged.notify_all();
    FThread.join();
}

std::optional<TGIFComposedFrame> TGIFComposeAhead::Take() {
    std::optional<TGIFComposedFrame> frame;
    {
        const std::lock_guard lock(FLock);
        frame.swap(FNext);
    }
    if (frame)
        FChanged.notify_all();
    return frame;
}

void TGIFComposeAhead::Run() {
    std::unique_lock lock(FLock);
    for (;;) {
        FChanged.wait(lock, [this] { return FStop || !FNext; });
        if (FStop)
            return;
        lock.unlock();
        // The picture handed out shares the canvas; the next frame's first change copies it here,
        // on this thread, so the shown picture never changes under the viewer.
        TGIFComposedFrame frame;
        frame.Index = FComposer->Advance();
        frame.Picture = FComposer->Canvas();
        lock.lock();
        FNext = std::move(frame);
        if (FReady)
            FReady();
    }
}
