#include "closing/closing_document.h"

#include <gtest/gtest.h>

namespace varenta {
namespace {

TEST(ClosingDocumentTest, AmountsAreWrittenFromTheExactValue) {
  // 107 lines of 0.025 make exactly 2.675, which a double holds as 2.67499... and would write 2.67.
  Decimal manyLines;
  for (int i = 0; i < 107; ++i) manyLines += Decimal::parse("0.025");
  struct Case {
    Decimal amount;
    const char* text;
  };
  const Case cases[] = {
      {Decimal::parse("1234.5"), "1234.50"},
      {Decimal(), "0.00"},
      {Decimal::parse("-12.3"), "-12.30"},
      {Decimal::parse("0.005"), "0.01"},
      {Decimal::parse("-0.005"), "-0.01"},
      {Decimal::parse("-0.004"), "0.00"},
      {Decimal::parse("0.0049"), "0.00"},
      {Decimal::parse("812.4951"), "812.50"},
      {Decimal::parse("-1234567.891"), "-1234567.89"},
      {manyLines, "2.68"},
  };
  for (const Case& c : cases) EXPECT_EQ(closingAmount(c.amount), c.text) << c.amount.toString();
}

TEST(ClosingDocumentTest, RecordsAreLaidOutWithTheirFixedSpacing) {
  const DateTime day = DateTime::fromParts(2024, 3, 4);
  // Register 2 sold 7.25 live on one sale, whose other line of 3.10 was cancelled, and had one sale
  // of 12.00 cancelled whole.
  EXPECT_EQ(closingDocument(registerRecord(day, Decimal::parse("7.25"), 1, Decimal::parse("3.1"),
                                           Decimal::parse("12"), 1)),
            R"([{"montoVentaLiquida": 10.35, "montoCancelaciones": 12.00, "cantidadMovimientos": 2, )"
            R"("fechaVentas": "2024-03-04", "cantidadCancelaciones": 1 }])");
  EXPECT_EQ(closingDocument(storeWideRecord(day, Decimal::parse("3.1"), 1)),
            R"([{"montoVentaLiquida": -3.10, "montoCancelaciones": 3.10, "cantidadMovimientos": 0, )"
            R"("fechaVentas": "2024-03-04", "cantidadCancelaciones": 1 }])");
  EXPECT_EQ(resendStoreWideDocument(storeWideRecord(day, Decimal::parse("3.1"), 1)),
            R"([{"montoVentaLiquida": -3.10, "montoCancelaciones": 3.10, "cantidadMovimientos": 0 , )"
            R"("fechaVentas": "2024-03-04", "cantidadCancelaciones": 1 }])");
}

}  // namespace
}  // namespace varenta
