// The pseudo-random pauses the benchmark commands put between their requests.
#pragma once

#include <cstdint>

namespace veldan::bench {

// A fixed sequence, the same on every machine and library (unlike std::uniform_int_distribution),
// so that runs of a command can be compared.
class Sequence {
 public:
  explicit Sequence(uint64_t seed) : state_(seed) {}
  uint32_t Next(uint32_t bound) {
    state_ = state_ * 6364136223846793005u + 1442695040888963407u;
    return static_cast<uint32_t>((state_ >> 33) % bound);
  }

 private:
  uint64_t state_;
};

}  // namespace veldan::bench
