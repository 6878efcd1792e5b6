#pragma once
// PseudoRandom: the generator behind the movement's drawn values (card digits the store did not
// record, the numbers of partial cancellations). The same seed gives the same draws on every
// platform, so tests seed it and know what a document holds; the service seeds it from its clock.

#include <cstdint>
#include <random>

namespace varenta {

class PseudoRandom {
 public:
  explicit PseudoRandom(std::uint64_t seed) : engine_(seed) {}

  void seed(std::uint64_t seed) { engine_.seed(seed); }
  // Uniform in [0, bound); bound must be above 0.
  std::uint64_t below(std::uint64_t bound);

 private:
  std::mt19937_64 engine_;
};

}  // namespace varenta
