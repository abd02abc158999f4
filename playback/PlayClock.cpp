#include "playback/PlayClock.h"

#include "common/SysInfo.h"

#include <chrono>
#include <thread>

namespace {

class TSystemPlayClock : public TPlayClock {
public:
    uint32_t TickCount() override { return GetTickCount(); }
    void Sleep(uint32_t ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
};

} // namespace

TPlayClock& SystemPlayClock() {
    static TSystemPlayClock clock;
    return clock;
}
