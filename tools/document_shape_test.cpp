#include "tools/document_shape.h"

#include <gtest/gtest.h>

#include <string>

namespace varenta {
namespace {

const std::string kMovement =
    R"([{"fecha":"2024-03-05T14:07:09.000-0300","numero":"15","descuentoTotal":0.5,"recargoTotal":0,)"
    R"("codigoMoneda":"986","cotizacion":1,"total":9.5,"cancelacion":false,"documentoCliente":null,)"
    R"("codigoCanalVenta":1,"descripcionCanalVenta":"VENDA NA LOJA-CARTAO DEBITO-DINHEIRO",)"
    R"("detalles":[{"codigoArticulo":"123456","codigoBarras":"7891234567890","descripcionArticulo":"DIPIRONA",)"
    R"("cantidad":1,"importeUnitario":10,"importe":9.5,"descuento":0.5,"recargo":0}],)"
    R"("pagos":[{"codigoTipoPago":13,"codigoMoneda":"986","importe":5,"cotizacion":1,"ultimosDigitosTarjeta":4321,)"
    R"("numeroAutorizacion":"000123","codigoTarjeta":null,"bin":"123456"},)"
    R"({"codigoTipoPago":9,"codigoMoneda":"986","importe":4.5,"cotizacion":1}]}])";

const std::string kClosing =
    R"([{"montoVentaLiquida": 812.50, "montoCancelaciones": 0.00, "cantidadMovimientos": 3, )"
    R"("fechaVentas": "2024-03-04", "cantidadCancelaciones": 0 }])";

std::string replaced(std::string text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

struct Case {
  std::string from;
  std::string to;
  std::string code;
  std::string field;
};

TEST(DocumentShapeTest, AcceptsWellFormedDocuments) {
  EXPECT_EQ(checkMovementBatch(kMovement), std::nullopt);
  EXPECT_EQ(
      checkMovementBatch(replaced(kMovement, R"("documentoCliente":null)", R"("documentoCliente":"123")")),
      std::nullopt);
  EXPECT_EQ(checkMovementBatch(replaced(kMovement, "DIPIRONA", "DIPIRONA 1G\\/10 \\\"\\\\\\t\xC3\x87")),
            std::nullopt);
  EXPECT_EQ(checkMovementBatch(replaced(kMovement, "DIPIRONA", R"(DIPIRONA\u0000\u0001\u000B\u001F)")),
            std::nullopt);
  EXPECT_EQ(checkMovementBatch(
                replaced(kMovement, R"("ultimosDigitosTarjeta":4321)", R"("ultimosDigitosTarjeta":"4321")")),
            std::nullopt);
  EXPECT_EQ(checkMovementBatch(replaced(kMovement, R"("total":9.5)", R"("total":1.5E20)")), std::nullopt);
  EXPECT_EQ(checkClosingDocument(kClosing), std::nullopt);
  EXPECT_EQ(checkClosingDocument(replaced(kClosing, "812.50", "-12.30")), std::nullopt);
  EXPECT_EQ(checkClosingDocument(replaced(kClosing, ": 3, ", ": 3 , ")), std::nullopt);
}

TEST(DocumentShapeTest, NamesTheFaultOfAMovementBatch) {
  const Case cases[] = {
      {kMovement, "", "JSON_INVALIDO", ""},
      {"[{", "[[],{", "LOTE_INVALIDO", ""},
      {"[{", "{\"lote\":[{", "JSON_INVALIDO", ""},
      {R"("numero":"15",)", "", "CAMPO_FALTANTE_O_FUERA_DE_ORDEN", "numero"},
      {R"("numero":"15","descuentoTotal":0.5,)", R"("descuentoTotal":0.5,"numero":"15",)",
       "CAMPO_FALTANTE_O_FUERA_DE_ORDEN", "numero"},
      {R"("numero":"15")", R"("numero":15)", "CAMPO_INVALIDO", "numero"},
      {"14:07:09.000-0300", "14:07:09-03:00", "CAMPO_INVALIDO", "fecha"},
      {"2024-03-05", "2024-02-30", "CAMPO_INVALIDO", "fecha"},
      {R"("total":9.5)", R"("total":"9.5")", "CAMPO_INVALIDO", "total"},
      // Numbers and fixed values exactly as the store's writer puts them.
      {R"("total":9.5)", R"("total":9.50)", "CAMPO_INVALIDO", "total"},
      {R"("importeUnitario":10)", R"("importeUnitario":1e1)", "CAMPO_INVALIDO",
       "detalles[0].importeUnitario"},
      {R"("cotizacion":1,"total")", R"("cotizacion":1.0,"total")", "CAMPO_INVALIDO", "cotizacion"},
      {R"("recargo":0})", R"("recargo":0.5})", "CAMPO_INVALIDO", "detalles[0].recargo"},
      {R"("cancelacion":false)", R"("cancelacion":0)", "CAMPO_INVALIDO", "cancelacion"},
      {R"("codigoCanalVenta":1)", R"("codigoCanalVenta":1.0)", "CAMPO_INVALIDO", "codigoCanalVenta"},
      {R"("codigoMoneda":"986","cotizacion":1,"total")", R"("codigoMoneda":"BRL","cotizacion":1,"total")",
       "CAMPO_INVALIDO", "codigoMoneda"},
      {R"("recargo":0})", R"("recargo":0,"extra":1})", "CAMPO_DESCONOCIDO", "detalles[0].extra"},
      {R"("importe":9.5,"descuento")", R"("importe":null,"descuento")", "CAMPO_INVALIDO",
       "detalles[0].importe"},
      {R"({"codigoArticulo":"123456","codigoBarras":"7891234567890","descripcionArticulo":"DIPIRONA",)"
       R"("cantidad":1,"importeUnitario":10,"importe":9.5,"descuento":0.5,"recargo":0})",
       "", "MOVIMIENTO_SIN_DETALLES", "detalles"},
      {R"("codigoTipoPago":9)", R"("codigoTipoPago":7)", "CAMPO_INVALIDO", "pagos[1].codigoTipoPago"},
      {R"("codigoTarjeta":null)", R"("codigoTarjeta":"")", "CAMPO_INVALIDO", "pagos[0].codigoTarjeta"},
      {R"("ultimosDigitosTarjeta":4321)", R"("ultimosDigitosTarjeta":999)", "CAMPO_INVALIDO",
       "pagos[0].ultimosDigitosTarjeta"},
      {R"("ultimosDigitosTarjeta":4321)", R"("ultimosDigitosTarjeta":"")", "CAMPO_INVALIDO",
       "pagos[0].ultimosDigitosTarjeta"},
      {R"("numeroAutorizacion":"000123")", R"("numeroAutorizacion":"")", "CAMPO_INVALIDO",
       "pagos[0].numeroAutorizacion"},
      {R"("bin":"123456")", R"("bin":"")", "CAMPO_INVALIDO", "pagos[0].bin"},
      {R"("codigoTipoPago":13)", R"("codigoTipoPago":11)", "TARJETA_EN_PAGO_SIN_TARJETA", "pagos[0]"},
      {R"("importe":4.5,"cotizacion":1})", R"("importe":4.5})", "CAMPO_FALTANTE_O_FUERA_DE_ORDEN",
       "pagos[1].cotizacion"},
      // The compact text: no blank between tokens, a slash escaped, only a control character without a
      // short escape as \u.
      {R"("numero":"15",)", R"("numero": "15",)", "FORMATO_INVALIDO", ""},
      {"}]}]", "}]}]\n", "FORMATO_INVALIDO", ""},
      {"DIPIRONA", "DIPIRONA 1G/10", "FORMATO_INVALIDO", ""},
      {"DIPIRONA", R"(DIPIRONA \u00C7)", "FORMATO_INVALIDO", ""},
      {"DIPIRONA", R"(DIPIRONA \u0009)", "FORMATO_INVALIDO", ""},
      {"DIPIRONA", R"(DIPIRONA \u001f)", "FORMATO_INVALIDO", ""},
  };
  for (const Case& c : cases) {
    const std::string body = c.from == kMovement ? "[{\"fecha\":" : replaced(kMovement, c.from, c.to);
    const auto fault = checkMovementBatch(body);
    ASSERT_NE(fault, std::nullopt) << body;
    EXPECT_EQ(fault->code, c.code) << body;
    EXPECT_EQ(fault->field, c.field) << body;
  }
}

TEST(DocumentShapeTest, NamesTheFaultOfAClosingDocument) {
  const Case cases[] = {
      {"812.50", "812.5", "CAMPO_INVALIDO", "montoVentaLiquida"},
      {"0.00", "0", "CAMPO_INVALIDO", "montoCancelaciones"},
      {"0.00", "\"0.00\"", "CAMPO_INVALIDO", "montoCancelaciones"},
      {": 3,", ": 3.0,", "CAMPO_INVALIDO", "cantidadMovimientos"},
      {"2024-03-04", "04/03/2024", "CAMPO_INVALIDO", "fechaVentas"},
      {"2024-03-04", "2023-02-29", "CAMPO_INVALIDO", "fechaVentas"},
      {R"(, "cantidadCancelaciones": 0 )", "", "CAMPO_FALTANTE_O_FUERA_DE_ORDEN", "cantidadCancelaciones"},
      {"}]", "},{}]", "LOTE_INVALIDO", ""},
      // The spacing of the text is fixed.
      {R"(: 0.00, )", R"(:0.00, )", "FORMATO_INVALIDO", ""},
      {R"(, "fechaVentas")", R"(,"fechaVentas")", "FORMATO_INVALIDO", ""},
      {": 0.00, ", ": 0.00 , ", "FORMATO_INVALIDO", ""},
      {" }]", "}]", "FORMATO_INVALIDO", ""},
      {"[{", " [{", "FORMATO_INVALIDO", ""},
  };
  for (const Case& c : cases) {
    const std::string body = replaced(kClosing, c.from, c.to);
    const auto fault = checkClosingDocument(body);
    ASSERT_NE(fault, std::nullopt) << body;
    EXPECT_EQ(fault->code, c.code) << body;
    EXPECT_EQ(fault->field, c.field) << body;
  }
}

}  // namespace
}  // namespace varenta
