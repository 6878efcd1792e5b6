#include "sales/pseudo_random.h"

#include <stdexcept>

namespace varenta {

std::uint64_t PseudoRandom::below(std::uint64_t bound) {
  if (bound == 0) throw std::invalid_argument("PseudoRandom::below needs a bound above 0");
  // Rejecting the top partial range keeps every value equally likely; std::uniform_int_distribution
  // would too, but its sequence differs between standard libraries.
  const std::uint64_t limit = UINT64_MAX - UINT64_MAX % bound;
  std::uint64_t draw;
  do draw = engine_();
  while (draw >= limit);
  return draw % bound;
}

}  // namespace varenta
