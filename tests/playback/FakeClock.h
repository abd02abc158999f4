#pragma once
// A clock that only moves when slept on or advanced by the test, and remembers every sleep.

#include "playback/PlayClock.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class TFakeClock : public TPlayClock {
public:
    explicit TFakeClock(uint32_t start = 1000) : FTick(start) {}

    uint32_t TickCount() override { return FTick.load(); }

    void Sleep(uint32_t ms) override {
        {
            std::lock_guard<std::mutex> guard(FLock);
            FSleeps.push_back(ms);
        }
        FTick += ms;
        if (OnSlept)
            OnSlept(FTick.load());
        // A moment of real time, so a worker polling this clock does not spin a core.
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }

    void Advance(uint32_t ms) { FTick += ms; }

    std::vector<uint32_t> Sleeps() const {
        std::lock_guard<std::mutex> guard(FLock);
        return FSleeps;
    }
    uint64_t TotalSlept() const {
        uint64_t total = 0;
        for (uint32_t ms : Sleeps())
            total += ms;
        return total;
    }

    // Runs on the sleeping thread after each sleep, with the tick count then. Set before use.
    std::function<void(uint32_t tick)> OnSlept;

private:
    std::atomic<uint32_t> FTick;
    mutable std::mutex FLock;
    std::vector<uint32_t> FSleeps;
};
