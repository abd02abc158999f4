#include "engine/BackgroundJob.h"

TBackgroundJob::~TBackgroundJob() {
    if (!FThread.joinable())
        return;
    {
        std::unique_lock lock(FMutex);
        FDone.wait(lock, [this] { return !FBusy; });
        FStop = true;
    }
    FWake.notify_one();
    FThread.join();
}

void TBackgroundJob::Start(std::function<void()> job) {
    Wait();
    if (!FThread.joinable())
        FThread = std::thread([this] { Loop(); });
    {
        const std::lock_guard lock(FMutex);
        FJob = std::move(job);
        FBusy = true;
    }
    FWake.notify_one();
}

void TBackgroundJob::Wait() {
    std::unique_lock lock(FMutex);
    FDone.wait(lock, [this] { return !FBusy; });
}

void TBackgroundJob::Loop() {
    std::unique_lock lock(FMutex);
    for (;;) {
        FWake.wait(lock, [this] { return FStop || FJob; });
        if (FStop)
            return;
        const std::function<void()> job = std::move(FJob);
        FJob = nullptr;
        lock.unlock();
        job();
        lock.lock();
        FBusy = false;
        FDone.notify_all();
    }
}
