#pragma once
// The C runtime's pseudo-random generator as the game's formulas expect it:
// values 0..32767. glibc's rand() reaches 2^31-1 and would break every draw, so
// the game uses this classic 15-bit linear congruential generator instead.
#include <initializer_list>

namespace platform {

// The game's random numbers: the C runtime's srand and rand, 0..32767.
class Random {
  public:
    virtual ~Random() = default;
    virtual void Srand(unsigned int seed) = 0;
    virtual int Rand() = 0;
};

// The classic generator below, as a service.
class CrtRandom final : public Random {
  public:
    void Srand(unsigned int seed) override { state = seed; }
    int Rand() override {
        state = state * 214013u + 2531011u;
        return static_cast<int>((state >> 16) & 0x7FFF);
    }

  private:
    unsigned int state = 1;
};

constexpr int kCrtRandMax = 32767;

void CrtSrand(unsigned int seed);
int CrtRand();

// Tests: the next CrtRand calls answer these values, in order, before the
// generator takes over again.
void CrtQueueRandomValues(std::initializer_list<int> values);

}  // namespace platform
