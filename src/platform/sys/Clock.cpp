#include "platform/sys/Clock.h"

#include <atomic>
#include <chrono>

namespace platform {
namespace {
std::atomic<bool> manual{false};
std::atomic<uint32_t> manualNow{0};
}  // namespace

uint32_t SystemClock::GetTickCount() {
    auto sinceBoot = std::chrono::steady_clock::now().time_since_epoch();
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(sinceBoot).count();
    return static_cast<uint32_t>(ms);  // keeps the low 32 bits: the counter wraps
}

uint32_t GetTickCount() {
    if (manual.load()) {
        return manualNow.load();
    }
    return SystemClock().GetTickCount();
}

void UseManualClock(uint32_t now) {
    manualNow = now;
    manual = true;
}

void AdvanceManualClock(uint32_t milliseconds) {
    manualNow += milliseconds;
}

void UseRealClock() {
    manual = false;
}

}  // namespace platform
