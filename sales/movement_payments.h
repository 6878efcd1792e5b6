#pragma once
// The payment list of a movement and the sales channel it implies.

#include <string>
#include <vector>

#include "sales/movement_builder.h"
#include "sales/movement_json.h"

namespace varenta {

// The amounts the payment rules read; the fallback payment resets some of them.
struct RunningTotals {
  Decimal lineTotal;          // sum of the lines' "importe"
  Decimal lineDiscountTotal;  // sum of the lines' "descuento"
  SaleAmounts amounts;
};

struct PaymentList {
  std::vector<MovementPayment> pagos;
  int codigoCanalVenta = 1;
  std::string channelText;  // the suffixes, without the store prefix
};

// Reads the payment row and card rows from input only when they are needed.
PaymentList buildPayments(const MovementInput& input, RunningTotals& totals, PseudoRandom& random);

}  // namespace varenta
