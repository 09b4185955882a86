#pragma once
// The millisecond tick count of the system. Every game timing compares it with
// deadlines on each 100 ms tick. Tests drive it by hand.
#include <cstdint>

namespace platform {

// The game's clock: GetTickCount as the game reads it. The desktop's is
// SystemClock; tests move a clock of their own by hand.
class Clock {
  public:
    virtual ~Clock() = default;
    virtual uint32_t GetTickCount() = 0;
};

class SystemClock final : public Clock {
  public:
    uint32_t GetTickCount() override;
};

// Milliseconds from a monotonic clock, as an unsigned 32-bit counter that wraps
// after about 49.7 days.
uint32_t GetTickCount();

// True once `now` is at or past `deadline`. The counter wraps, so the two are
// compared by their signed difference: comparing the raw values as signed
// numbers would end every wait early once the counter passes 2^31.
inline bool DeadlineReached(uint32_t now, uint32_t deadline) {
    return static_cast<int32_t>(now - deadline) >= 0;
}

// Tests: freeze the clock at `now`; later calls move it by hand.
void UseManualClock(uint32_t now);
void AdvanceManualClock(uint32_t milliseconds);
void UseRealClock();

}  // namespace platform
