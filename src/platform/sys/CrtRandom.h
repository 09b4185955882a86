#pragma once
// The game's random numbers: the C runtime's srand and rand, values 0..32767.
// glibc's rand() reaches 2^31-1 and would break every draw of the game's
// formulas, so the game uses the classic 15-bit linear congruential generator
// they were written for.

namespace platform {

class Random {
  public:
    virtual ~Random() = default;
    virtual void Srand(unsigned int seed) = 0;
    virtual int Rand() = 0;
};

class CrtRandom final : public Random {
  public:
    void Srand(unsigned int seed) override { state = seed; }
    int Rand() override {
        state = state * 214013u + 2531011u;
        return static_cast<int>((state >> 16) & 0x7FFF);
    }

  private:
    unsigned int state = 1;  // the runtime's state before any srand
};

}  // namespace platform
