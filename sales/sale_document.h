#pragma once
// The sale document: from a sale number to the register it is posted to and the batch text posted.
// The new-sale export, the sale resend and the operator's inspection all build it here, with the
// same statements and rules, so that a sale is always sent as the same document.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/clock.h"
#include "base/datetime.h"
#include "base/log.h"
#include "sales/pseudo_random.h"
#include "storedb/query.h"

namespace varenta {

struct SaleDocument {
  std::string caixa;   // the register: the first line's terminal (1 when the store left it empty)
  std::string numero;  // the movement number, as sent in "numero"
  std::string batch;   // "[" + movement + "]"; empty when the build failed (two log lines say why)
};

struct SaleDocumentSource {
  Query& main;    // the line statement, then the payment row
  Query& second;  // the pseudo-line amounts, the cancellation states and the card rows
  DateTime dataInicio;
  PseudoRandom& random;  // card digits the store did not record
  Clock& clock;
  ServiceLog& log;               // the two lines of a failed build
  std::string_view errorPrefix;  // of the second of them: "Erro: " for the export
};

// Runs the sale's statements and builds its movement. Nothing when the line statement finds no row:
// no such sale, or one made only of pseudo-lines, or one dated before the start date. A failed build
// is logged and gives an empty batch; database errors propagate.
std::optional<SaleDocument> buildSaleDocument(const SaleDocumentSource& source, std::int64_t venda);

}  // namespace varenta
