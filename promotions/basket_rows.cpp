#include "promotions/basket_rows.h"

#include <string>

#include "promotions/promo_params.h"

namespace varenta {
namespace {

constexpr const char* kBasketLookup =
    "SELECT FIRST 1 CODIGO, CODIGOVARENTA FROM CESTASPROMOCIONAIS WHERE CODIGOVARENTA = :CODIGOVARENTA";
constexpr const char* kBasketCode = "SELECT GEN_ID(GEN_CESTASPROMOCIONAIS, 1) AS CODIGO FROM RDB$DATABASE";
constexpr const char* kBasketUpsert =
    "UPDATE OR INSERT INTO CESTASPROMOCIONAIS(CODIGO, DESCRICAO, DATAINICIOPROMOCAO, DATAFINALPROMOCAO, "
    "CODIGOVARENTA  )VALUES( :CODIGO, :DESCRICAO, :DATAINICIOPROMOCAO, :DATAFINALPROMOCAO, :CODIGOVARENTA)  "
    "MATCHING(CODIGO)";
constexpr const char* kConditionItemUpsert =
    "UPDATE OR INSERT INTO ITENSCESTASPROMOCIONAIS(CODIGOCESTA, CODIGOPRODUTO, QUANTIDADE, TIPODESCONTO, "
    "DESCONTOVISTA, DESCONTOPRAZO, DESCRICAO )VALUES( :CODIGOCESTA, :CODIGOPRODUTO, :QUANTIDADE, "
    ":TIPODESCONTO, :DESCONTOVISTA, :DESCONTOPRAZO, :DESCRICAO)  MATCHING(CODIGOCESTA, CODIGOPRODUTO)";
constexpr const char* kBenefitItemUpsert =
    "UPDATE OR INSERT INTO ITENSCESTASPROMOCIONAIS(CODIGOCESTA, CODIGOPRODUTO, QUANTIDADE, TIPODESCONTO, "
    "DESCONTOVISTA, DESCONTOPRAZO )VALUES( :CODIGOCESTA, :CODIGOPRODUTO, :QUANTIDADE, :TIPODESCONTO, "
    ":DESCONTOVISTA, :DESCONTOPRAZO)  MATCHING(CODIGOCESTA, CODIGOPRODUTO)";

// The code of the promotion's basket: the one its header already has, else a new one.
std::string basketCode(Query& query, const TResults& promotion) {
  query.setSql(kBasketLookup);
  query.setInteger("CODIGOVARENTA", promotion.Id());
  query.open();
  if (!query.eof()) return query.field("CODIGO").asString();
  query.setSql(kBasketCode);
  query.open();
  return "CPROM" + query.field("CODIGO").asString();
}

void writeHeader(Query& query, const TResults& promotion, const std::string& code) {
  query.setSql(kBasketUpsert);
  query.setString("CODIGO", code);
  query.setString("DESCRICAO", promotion.Descripcion());
  bindDay(query, "DATAINICIOPROMOCAO", promotion.VigenciaDesde());
  bindDay(query, "DATAFINALPROMOCAO", promotion.VigenciaHasta());
  query.setInteger("CODIGOVARENTA", promotion.Id());
  query.execute();
}

// The benefit rows' discount: the promotion's own, or all of it for a gift.
Decimal benefitDiscount(const TResults& promotion, const TDetalles& detalles) {
  return promotion.Tipo() == "ADICIONAL_DESCUENTO" ? descuentoDecimal(detalles.Descuento())
                                                   : Decimal::fromInt(100);
}

}  // namespace

void GravaCesta(Query& query, TResults& promotion, const std::function<void()>& alive) {
  TDetalles* detalles = promotion.Detalles();
  TCondiciones* condiciones = detalles ? detalles->Condiciones() : nullptr;
  if (!condiciones) return;
  TBeneficios* beneficios = detalles->Beneficios();
  const auto& conditionItems = condiciones->Items();
  for (std::size_t j = 0; j < conditionItems.size(); ++j) {
    const std::string code = basketCode(query, promotion);
    writeHeader(query, promotion, code);
    for (const auto& articulo : conditionItems[j]->Articulos()) {
      alive();
      query.setSql(kConditionItemUpsert);
      query.setString("CODIGOCESTA", code);
      query.setString("CODIGOPRODUTO", articulo->CodigoBarras());
      query.setInteger("QUANTIDADE", conditionItems[j]->Cantidad());
      query.setString("TIPODESCONTO", "N");
      query.setString("DESCRICAO", promotion.Descripcion());
      query.execute();
    }
    if (!beneficios || beneficios->Items().empty()) continue;
    const auto& benefitItems = beneficios->Items();
    if (j >= benefitItems.size())
      throw EListError("List index out of bounds (" + std::to_string(j) + "): the promotion " +
                       std::to_string(promotion.Id()) + " has " + std::to_string(benefitItems.size()) +
                       " benefit item(s) for " + std::to_string(conditionItems.size()) + " condition items");
    TItems& benefit = *benefitItems[j];
    for (const auto& articulo : benefit.Articulos()) {
      alive();
      query.setSql(kBenefitItemUpsert);
      query.setString("CODIGOCESTA", code);
      query.setString("CODIGOPRODUTO", articulo->CodigoBarras());
      query.setInteger("QUANTIDADE", benefit.Cantidad());
      query.setString("TIPODESCONTO", "P");
      const Decimal discount = benefitDiscount(promotion, *detalles);
      query.setDecimal("DESCONTOVISTA", discount);
      query.setDecimal("DESCONTOPRAZO", discount);
      query.execute();
    }
  }
}

}  // namespace varenta
