#pragma once
// The movement of one sale or cancellation, built from its rows by the document's rules: the line
// amounts, the running totals, the payment list and the sales channel, the movement number and the
// customer document. Every export fills a MovementInput from its own queries and gets the same
// bytes for the same rows. Nothing is kept between movements but the generator's state.

#include <functional>
#include <string>
#include <vector>

#include "base/clock.h"
#include "sales/movement_rows.h"
#include "sales/pseudo_random.h"

namespace varenta {

struct MovementInput {
  MovementKind kind = MovementKind::kSale;
  SaleAmounts amounts;
  std::vector<SaleLine> lines;  // in the order the line query returned them
  // Asked for only when the payment rules need them, so their queries run only then; errors they
  // raise pass through buildMovement. A partial cancellation reads neither.
  std::function<PaymentRow()> paymentRow;
  std::function<std::vector<CardRow>()> cardRows;
};

struct Movement {
  std::string numero;  // as sent in "numero"
  std::string json;    // the movement object
  // What is posted: a JSON array holding the one movement.
  std::string batch() const { return "[" + json + "]"; }
};

// The number the sale rule gives for the first line ("venda" of a non-fiscal sale, otherwise
// "numerocoo", trimmed), with "-" in front for either kind of cancellation.
std::string movementNumber(MovementKind kind, const SaleLine& first);

// Builds the movement. A partial cancellation gets "-" and a nine-digit number drawn right after
// the generator is seeded afresh from the clock. Throws EConvertError for a sale without lines and
// EOverflowError when an amount leaves the Decimal range.
Movement buildMovement(const MovementInput& input, PseudoRandom& random, Clock& clock);

}  // namespace varenta
