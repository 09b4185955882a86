#pragma once
// The C runtime's pseudo-random generator as the game's formulas expect it:
// values 0..32767. glibc's rand() reaches 2^31-1 and would break every draw, so
// the game uses this classic 15-bit linear congruential generator instead.
#include <initializer_list>

namespace platform {

constexpr int kCrtRandMax = 32767;

void CrtSrand(unsigned int seed);
int CrtRand();

// Tests: the next CrtRand calls answer these values, in order, before the
// generator takes over again.
void CrtQueueRandomValues(std::initializer_list<int> values);

}  // namespace platform
