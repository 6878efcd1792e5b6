#include "closing/closing_document.h"

#include <string_view>

namespace varenta {
namespace {

std::string document(const ClosingRecord& r, std::string_view afterCount) {
  return "[{\"montoVentaLiquida\": " + closingAmount(r.montoVentaLiquida) +
         ", \"montoCancelaciones\": " + closingAmount(r.montoCancelaciones) +
         ", \"cantidadMovimientos\": " + std::to_string(r.cantidadMovimientos) + std::string(afterCount) +
         "\"fechaVentas\": \"" + r.fechaVentas.format("yyyy-mm-dd") +
         "\", \"cantidadCancelaciones\": " + std::to_string(r.cantidadCancelaciones) + " }]";
}

}  // namespace

ClosingRecord registerRecord(DateTime day, Decimal live, std::int64_t liveSales, Decimal partlyCancelled,
                             Decimal wholeCancelled, std::int64_t wholeCount) {
  return {live + partlyCancelled, wholeCancelled, liveSales + wholeCount, day, wholeCount};
}

ClosingRecord storeWideRecord(DateTime day, Decimal partial, std::int64_t partialCount) {
  return {-partial, partial, 0, day, partialCount};
}

// Decimal rounds its exact ten-thousandths half away from zero and writes no sign on a zero, so
// no double (and none of its binary misses, such as 2.675 falling to 2.67) comes in between.
std::string closingAmount(Decimal amount) {
  return amount.toFixed(2);
}

std::string closingDocument(const ClosingRecord& record) {
  return document(record, ", ");
}

std::string resendStoreWideDocument(const ClosingRecord& record) {
  return document(record, " , ");
}

}  // namespace varenta
