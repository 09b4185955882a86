#include "platform/sys/CrtRandom.h"

#include <deque>

namespace platform {
namespace {
CrtRandom generator;
std::deque<int> queued;
}  // namespace

void CrtSrand(unsigned int seed) {
    generator.Srand(seed);
    queued.clear();
}

int CrtRand() {
    if (!queued.empty()) {
        int value = queued.front();
        queued.pop_front();
        return value;
    }
    return generator.Rand();
}

void CrtQueueRandomValues(std::initializer_list<int> values) {
    queued.insert(queued.end(), values.begin(), values.end());
}

}  // namespace platform
