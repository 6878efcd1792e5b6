#include "sales/movement_json.h"

#include <gtest/gtest.h>

namespace varenta {
namespace {

TEST(MovementJson, DateTimeIsTheWallClockWithTheFixedOffset) {
  EXPECT_EQ(DateTimeToISO8601(DateTime::fromParts(2024, 3, 5, 14, 7, 9)), "2024-03-05T14:07:09.000-0300");
  EXPECT_EQ(DateTimeToISO8601(DateTime::fromParts(2023, 12, 31, 23, 59, 59, 7)),
            "2023-12-31T23:59:59.007-0300");
  EXPECT_EQ(DateTimeToISO8601(DateTime()), "1899-12-30T00:00:00.000-0300");
}

TEST(MovementJson, KeysInOrderAndNullOnlyWhereAllowed) {
  const std::vector<MovementLine> lines = {{"", "789", "", Decimal::parse("0"), Decimal::parse("1.5"),
                                            Decimal::parse("-1"), Decimal::parse("0.0001")}};
  const std::vector<MovementPayment> pagos = {
      {13, Decimal::parse("10"), CardKeys{1234, "000001", "123456"}},
      {10, Decimal::parse("2.5"), CardKeys{std::string("0042"), "A/B", ""}},
      {9, Decimal::parse("0"), std::nullopt}};
  EXPECT_EQ(
      JsonVenda("f", "-7", 0, 0.5, "986", 1, 1E-6, true, " \t\r", 3, "", lines, pagos),
      R"({"fecha":"f","numero":"-7","descuentoTotal":0,"recargoTotal":0.5,"codigoMoneda":"986",)"
      R"("cotizacion":1,"total":1E-6,"cancelacion":true,"documentoCliente":null,"codigoCanalVenta":3,)"
      R"("descripcionCanalVenta":"","detalles":[{"codigoArticulo":"","codigoBarras":"789",)"
      R"("descripcionArticulo":"","cantidad":0,"importeUnitario":1.5,"importe":-1,"descuento":0.0001,)"
      R"("recargo":0}],"pagos":[{"codigoTipoPago":13,"codigoMoneda":"986","importe":10,"cotizacion":1,)"
      R"("ultimosDigitosTarjeta":1234,"numeroAutorizacion":"000001","codigoTarjeta":null,"bin":"123456"},)"
      R"({"codigoTipoPago":10,"codigoMoneda":"986","importe":2.5,"cotizacion":1,)"
      R"("ultimosDigitosTarjeta":"0042","numeroAutorizacion":"A\/B","codigoTarjeta":null,"bin":""},)"
      R"({"codigoTipoPago":9,"codigoMoneda":"986","importe":0,"cotizacion":1}]})");
  // A document with something in it besides blanks is written as given.
  EXPECT_NE(JsonVenda("f", "1", 0, 0, "986", 1, 0, false, " 12 ", 1, "", {}, {})
                .find(R"("documentoCliente":" 12 ")"),
            std::string::npos);
}

}  // namespace
}  // namespace varenta
