#pragma once
// SeededRandom: SplitMix64, the same numbers from the same seed on every platform and library, so
// that a seed names the same store and the same faults wherever the tests run.

#include <cstdint>
#include <string>

namespace varenta::e2e {

class SeededRandom {
 public:
  explicit SeededRandom(std::uint64_t seed) : state_(seed) {}
  std::uint64_t next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  int below(int n) { return static_cast<int>(next() % static_cast<std::uint64_t>(n)); }
  int between(int low, int high) { return low + below(high - low + 1); }
  bool chance(int percent) { return below(100) < percent; }
  // `count` decimal digits, the first not 0.
  std::string digits(int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += static_cast<char>('0' + below(10));
    if (text[0] == '0') text[0] = '1';
    return text;
  }

 private:
  std::uint64_t state_;
};

}  // namespace varenta::e2e
