#pragma once
// The daily closing document: a JSON array holding one record of a register's day (or of the
// store-wide partial cancellations, sent for register "9999"), put together as text with the fixed
// spacing the cloud has always received:
//   [{"montoVentaLiquida": 812.50, "montoCancelaciones": 0.00, "cantidadMovimientos": 3,
//     "fechaVentas": "2024-03-04", "cantidadCancelaciones": 0 }]
// (on one line).

#include <cstdint>
#include <string>

#include "base/datetime.h"
#include "base/decimal.h"

namespace varenta {

struct ClosingRecord {
  Decimal montoVentaLiquida;
  Decimal montoCancelaciones;
  std::int64_t cantidadMovimientos = 0;
  DateTime fechaVentas;
  std::int64_t cantidadCancelaciones = 0;
};

// The figures of one register's day: the live lines' amount `live` over `liveSales` sales, the
// cancelled lines of its partly cancelled sales `partlyCancelled`, and its sales cancelled whole,
// `wholeCount` of them worth `wholeCancelled`. A partly cancelled sale still counts as sold in
// full: its cancelled lines come back through the store-wide record.
ClosingRecord registerRecord(DateTime day, Decimal live, std::int64_t liveSales, Decimal partlyCancelled,
                             Decimal wholeCancelled, std::int64_t wholeCount);
// The store-wide record of the day's partial cancellations, `partialCount` sales worth `partial`.
ClosingRecord storeWideRecord(DateTime day, Decimal partial, std::int64_t partialCount);

// An amount with two decimals and a point, rounded half away from zero from the exact value:
// "1234.50", "0.00", "-12.30", "0.01" for 0.005; never "-0.00". Whatever the host's decimal
// separator: the store system formats under the host's number settings and then turns every comma
// into a point, which gives this text on hosts that write a point or a comma; on a host whose
// separator is another character (the Arabic "٫") that rule would post an amount the cloud cannot
// read as a number, while the closing counts as sent.
std::string closingAmount(Decimal amount);

// The document as the daily closing export posts it.
std::string closingDocument(const ClosingRecord& record);
// The store-wide document as the closing resend posts it: one blank more, before the comma after
// cantidadMovimientos ("0 , "). It parses to the same JSON; the resend has always sent it so.
std::string resendStoreWideDocument(const ClosingRecord& record);

}  // namespace varenta
