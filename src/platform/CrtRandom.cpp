#include "platform/CrtRandom.h"

#include <cstdint>
#include <deque>

namespace platform {
namespace {
uint32_t state = 1;  // the runtime's state before any srand
std::deque<int> queued;
}  // namespace

void CrtSrand(unsigned int seed) {
    state = seed;
    queued.clear();
}

int CrtRand() {
    if (!queued.empty()) {
        int value = queued.front();
        queued.pop_front();
        return value;
    }
    state = state * 214013u + 2531011u;
    return static_cast<int>((state >> 16) & 0x7FFF);
}

void CrtQueueRandomValues(std::initializer_list<int> values) {
    queued.insert(queued.end(), values.begin(), values.end());
}

}  // namespace platform
