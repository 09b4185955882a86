#include "platform/sys/Clock.h"

#include <chrono>

namespace platform {

uint32_t SystemClock::GetTickCount() {
    auto sinceBoot = std::chrono::steady_clock::now().time_since_epoch();
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(sinceBoot).count();
    return static_cast<uint32_t>(ms);  // keeps the low 32 bits: the counter wraps
}

}  // namespace platform
