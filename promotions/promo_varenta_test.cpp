#include "promotions/promo_varenta.h"

#include <gtest/gtest.h>

#include "promotions/json_pretty.h"

namespace varenta {
namespace {

// One promotion with every key, in another order than the classes declare them, with an unknown
// key, numbers where texts are expected and a date with an offset.
constexpr std::string_view kPromotion = R"({
  "id": 501, "estado": "ACEPTADA", "tipo": "ADICIONAL_DESCUENTO", "titulo": "Leve 2/3",
  "descripcion": "Promoção Ação", "limitePromocionesPorTicket": 2,
  "vigenciaDesde": "2024-03-01", "vigenciaHasta": "2024-03-31T23:59:59.999-03:00",
  "autor": {"descripcion": "Laboratório"},
  "detalles": {
    "precio": 9.9, "paga": 2, "descuento": 15.5,
    "condiciones": {
      "items": [{"cantidad": 2, "articulos": [{"codigoBarras": 7891000100103, "nombre": "Dipirona"},
                                              {"codigoBarras": "7891000100110", "nombre": "Ibuprofeno"}]}],
      "gruposCliente": [{"id": 7, "descripcion": "Idosos", "tipo": "CONVENIO"}],
      "formasPago": [{"descripcion": "Débito", "codigoTipoPago": 13, "codigoTarjeta": "VISA",
                      "codigoMoneda": "BRL", "bines": ["411111", 422222]}]
    },
    "beneficios": {"items": [{"cantidad": 1, "articulos": [{"codigoBarras": "7891000100127", "nombre": "Vitamina C"}]}]}
  }
})";

std::string promotionList(std::size_t count) {
  std::string json = R"({"total":)" + std::to_string(count) + R"(,"results":[)";
  for (std::size_t i = 0; i < count; ++i) (json += i ? "," : "") += kPromotion;
  return json + "]}";
}

TEST(PromoVarenta, FullDocumentFillsTheTree) {
  TRoot root;
  root.AsJson(promotionList(1));
  EXPECT_EQ(root.Total(), 1);
  ASSERT_EQ(root.Results().size(), 1u);
  const TResults& p = *root.Results()[0];
  EXPECT_EQ(p.Id(), 501);
  EXPECT_EQ(p.Tipo(), "ADICIONAL_DESCUENTO");
  EXPECT_EQ(p.Titulo(), "Leve 2/3");
  EXPECT_EQ(p.Descripcion(), "Promoção Ação");
  EXPECT_EQ(p.LimitePromocionesPorTicket(), 2);
  EXPECT_EQ(p.VigenciaDesde(), DateTime::fromParts(2024, 3, 1));
  EXPECT_EQ(p.VigenciaHasta(), DateTime::fromParts(2024, 4, 1, 2, 59, 59, 999));
  EXPECT_EQ(p.Autor()->Descripcion(), "Laboratório");

  TDetalles& d = *p.Detalles();
  EXPECT_EQ(d.Precio(), Decimal::parse("9.9"));
  EXPECT_EQ(d.Paga(), 2);
  EXPECT_DOUBLE_EQ(d.Descuento(), 15.5);
  TCondiciones& c = *d.Condiciones();
  ASSERT_EQ(c.Items().size(), 1u);
  EXPECT_EQ(c.Items()[0]->Cantidad(), 2);
  ASSERT_EQ(c.Items()[0]->Articulos().size(), 2u);
  EXPECT_EQ(c.Items()[0]->Articulos()[0]->CodigoBarras(), "7891000100103");
  EXPECT_EQ(c.Items()[0]->Articulos()[1]->Nombre(), "Ibuprofeno");
  ASSERT_EQ(c.GruposCliente().size(), 1u);
  EXPECT_EQ(c.GruposCliente()[0]->Id(), "7");
  ASSERT_EQ(c.FormasPago().size(), 1u);
  const TFormasPago& f = *c.FormasPago()[0];
  EXPECT_EQ(f.CodigoTipoPago(), 13);
  EXPECT_EQ(f.Descripcion(), "Débito");
  EXPECT_EQ(f.CodigoTarjeta(), "VISA");
  EXPECT_EQ(f.CodigoMoneda(), "BRL");
  EXPECT_EQ(f.Bines(), (std::vector<std::string>{"411111", "422222"}));
  ASSERT_EQ(d.Beneficios()->Items().size(), 1u);
  EXPECT_EQ(d.Beneficios()->Items()[0]->Articulos()[0]->CodigoBarras(), "7891000100127");
}

TEST(PromoVarenta, WritesBackCompactInDeclarationOrder) {
  TRoot root;
  root.AsJson(promotionList(1));
  const std::string expected =
      R"({"results":[{"autor":{"descripcion":"Laborat\u00F3rio"},"descripcion":"Promo\u00E7\u00E3o A\u00E7\u00E3o",)"
      R"("detalles":{"beneficios":{"items":[{"articulos":[{"codigoBarras":"7891000100127","nombre":"Vitamina C"}],)"
      R"("cantidad":1}]},"condiciones":{"formasPago":[{"descripcion":"D\u00E9bito","codigoTipoPago":13,)"
      R"("codigoTarjeta":"VISA","codigoMoneda":"BRL","bines":["411111","422222"]}],"gruposCliente":[{)"
      R"("descripcion":"Idosos","id":"7","tipo":"CONVENIO"}],"items":[{"articulos":[{"codigoBarras":)"
      R"("7891000100103","nombre":"Dipirona"},{"codigoBarras":"7891000100110","nombre":"Ibuprofeno"}],)"
      R"("cantidad":2}]},"descuento":15.5,"paga":2,"precio":9.9},"id":501,"limitePromocionesPorTicket":2,)"
      R"("tipo":"ADICIONAL_DESCUENTO","titulo":"Leve 2\/3","vigenciaDesde":"2024-03-01T00:00:00.000Z",)"
      R"("vigenciaHasta":"2024-04-01T02:59:59.999Z"}],"total":1})";
  EXPECT_EQ(root.AsJson(), expected);
  EXPECT_EQ(root.ToString(), expected);

  // Empty texts, lists and dates stay in the text; a missing member object is written as null.
  TRoot sparse;
  sparse.AsJson(R"({"results":[{"detalles":{"condiciones":null}}]})");
  EXPECT_EQ(
      sparse.AsJson(),
      R"({"results":[{"autor":{"descripcion":""},"descripcion":"","detalles":{"beneficios":{"items":[]},)"
      R"("condiciones":null,"descuento":0,"paga":0,"precio":0},"id":0,"limitePromocionesPorTicket":0,)"
      R"("tipo":"","titulo":"","vigenciaDesde":"","vigenciaHasta":""}],"total":0})");
  EXPECT_EQ(PrettyPrintJSON(TRoot().AsJson()), "{\r\n  \"results\": [\r\n  ],\r\n  \"total\": 0\r\n}\r\n");
}

TEST(PromoVarenta, MemberObjectsExistUnlessTheTextGivesNull) {
  TRoot root;
  root.AsJson(
      R"({"results":[{}, {"detalles":null}, {"detalles":{"beneficios":null,"condiciones":null}},)"
      R"({"autor":null,"vigenciaHasta":""},{"detalles":{"condiciones":{"items":[{"articulos":[{}]}]}}}]})");
  const auto& r = root.Results();
  ASSERT_EQ(r.size(), 5u);
  // Nothing given: every member object there, empty.
  ASSERT_NE(r[0]->Autor(), nullptr);
  ASSERT_NE(r[0]->Detalles(), nullptr);
  ASSERT_NE(r[0]->Detalles()->Beneficios(), nullptr);
  EXPECT_TRUE(r[0]->Detalles()->Beneficios()->Items().empty());
  EXPECT_TRUE(r[0]->Detalles()->Condiciones()->FormasPago().empty());
  EXPECT_EQ(r[0]->Id(), 0);
  EXPECT_EQ(r[0]->Detalles()->Precio(), Decimal());
  EXPECT_TRUE(r[0]->VigenciaDesde().isZero());

  EXPECT_EQ(r[1]->Detalles(), nullptr);
  EXPECT_EQ(r[2]->Detalles()->Beneficios(), nullptr);
  EXPECT_EQ(r[2]->Detalles()->Condiciones(), nullptr);
  EXPECT_EQ(r[3]->Autor(), nullptr);
  EXPECT_TRUE(r[3]->VigenciaHasta().isZero());
  TItems& item = *r[4]->Detalles()->Condiciones()->Items()[0];
  EXPECT_EQ(item.Cantidad(), 0);
  EXPECT_EQ(item.Articulos()[0]->CodigoBarras(), "");
  EXPECT_TRUE(TRoot().Results().empty());
}

TEST(PromoVarenta, HostileInputEndsInADefinedResult) {
  // Nesting beyond what a walk may recurse into is refused like text that is not JSON.
  TRoot deep;
  deep.AsJson(R"({"total":1,"x":)" + std::string(100'000, '[') + std::string(100'000, ']') + "}");
  EXPECT_EQ(deep.Total(), 0);
  EXPECT_EQ(PrettyPrintJSON(std::string(100'000, '[') + std::string(100'000, ']')), "");
  deep.AsJson(R"({"total":1,"x":)" + std::string(500, '[') + std::string(500, ']') + "}");
  EXPECT_EQ(deep.Total(), 1);

  // Some 5 MB of promotions are all read.
  TRoot big;
  const std::string list = promotionList(5'500);
  ASSERT_GT(list.size(), 5'000'000u);
  big.AsJson(list);
  ASSERT_EQ(big.Results().size(), 5'500u);
  EXPECT_EQ(big.Results().back()->Detalles()->Beneficios()->Items()[0]->Cantidad(), 1);

  // Bytes that are not UTF-8 are kept as read and written as U+FFFD.
  TRoot latin;
  latin.AsJson("{\"results\":[{\"descripcion\":\"Promo\xE7\xE3o\"}]}");
  EXPECT_EQ(latin.Results()[0]->Descripcion(), "Promo\xE7\xE3o");
  EXPECT_NE(latin.AsJson().find(R"("descripcion":"Promo\uFFFD\uFFFDo")"), std::string::npos);

  // Numbers beyond 64 bits: 0 for numeric members, the digits for a text; a number too large for
  // a double at all makes the text unreadable.
  TRoot huge;
  huge.AsJson(R"({"total":99999999999999999999,"results":[{"id":-99999999999999999999,)"
              R"("detalles":{"precio":99999999999999999999,"descuento":1e308,"paga":1e400}}]})");
  EXPECT_EQ(huge.Total(), 0);
  huge.AsJson(R"({"total":99999999999999999999,"results":[{"id":-99999999999999999999,"titulo":1e300,)"
              R"("detalles":{"precio":99999999999999999999,"descuento":1e308}}]})");
  const TResults& p = *huge.Results()[0];
  EXPECT_EQ(p.Id(), 0);
  EXPECT_EQ(p.Titulo(), "1e300");
  EXPECT_EQ(p.Detalles()->Precio(), Decimal());
  EXPECT_DOUBLE_EQ(p.Detalles()->Descuento(), 1e308);
}

}  // namespace
}  // namespace varenta
