#pragma once
// The time source of the playback and seek workers: a 32-bit millisecond tick count that wraps
// and a way to sleep. The workers take it as a replaceable object so their pacing can be checked
// against a clock that only moves when told to.

#include <cstdint>

class TPlayClock {
public:
    virtual ~TPlayClock() = default;
    // Milliseconds from a fixed point, wrapping at 2^32.
    virtual uint32_t TickCount() = 0;
    // Blocks the calling thread for about `ms` milliseconds.
    virtual void Sleep(uint32_t ms) = 0;
};

// The system's monotonic tick count and a real sleep. Shared by every worker; stateless.
TPlayClock& SystemPlayClock();
