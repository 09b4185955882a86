#pragma once
// The millisecond tick count every game timing is measured in: the game
// compares it with its deadlines on each 100 ms tick.
#include <cstdint>

namespace platform {

class Clock {
  public:
    virtual ~Clock() = default;
    // Milliseconds as an unsigned 32-bit counter that wraps after about 49.7
    // days.
    virtual uint32_t GetTickCount() = 0;
};

// The system's monotonic clock.
class SystemClock final : public Clock {
  public:
    uint32_t GetTickCount() override;
};

// True once `now` is at or past `deadline`. The counter wraps, so the two are
// compared by their signed difference: comparing the raw values as signed
// numbers would end every wait early once the counter passes 2^31.
inline bool DeadlineReached(uint32_t now, uint32_t deadline) {
    return static_cast<int32_t>(now - deadline) >= 0;
}

}  // namespace platform
