#include "promotions/promotion_rows.h"

#include <chrono>
#include <string_view>

#include "base/error.h"
#include "promotions/promo_params.h"

namespace varenta {
namespace {

constexpr const char* kPromotionUpsert =
    "UPDATE OR INSERT INTO VARENTA_PROMOCOES(  CODIGOPROMOCAO,  DATAINICIAL,  DATAFINAL,  LIMITE,  "
    "TIPOPROMOCAO,  QUANTIDADEMINIMA,  DESCONTOPORCENTAGEM,  DESCONTOFIXO,  PRECOFIXO,  LEVE,  PAGUE,  "
    "DESCRICAO,  REJEITADA  )VALUES( :CODIGOPROMOCAO, :DATAINICIAL, :DATAFINAL, :LIMITE, :TIPOPROMOCAO, "
    ":QUANTIDADEMINIMA, :DESCONTOPORCENTAGEM, :DESCONTOFIXO, :PRECOFIXO, :LEVE, :PAGUE, :DESCRICAO,  "
    "NULL)MATCHING (CODIGOPROMOCAO)";
constexpr const char* kProductUpsert =
    "UPDATE OR INSERT INTO VARENTA_PROMOCOES_PRODUTOS( CODIGOPROMOCAO, CODIGOPRODUTO)"
    "VALUES( :CODIGOPROMOCAO, :CODIGOPRODUTO) MATCHING (CODIGOPROMOCAO, CODIGOPRODUTO)";
constexpr const char* kBinUpsert =
    "UPDATE OR INSERT INTO VARENTA_PROMOCOES_BIN(CODIGOPROMOCAO, BIN, CREDITODEBITO )"
    "VALUES( :CODIGOPROMOCAO, :BIN, :CREDITODEBITO )MATCHING( CODIGOPROMOCAO, BIN)";

constexpr std::int32_t kDebitCard = 13;
constexpr std::int32_t kCreditCard = 10;

// The type's letter and its one value; every other value parameter stays null.
void bindType(Query& query, const TResults& promotion, const TDetalles& detalles, std::int32_t cantidad) {
  const std::string_view tipo = promotion.Tipo();
  if (tipo == "DESCUENTO_VARIABLE") {
    query.setString("TIPOPROMOCAO", "N");
    query.setDecimal("DESCONTOPORCENTAGEM", descuentoDecimal(detalles.Descuento()));
  } else if (tipo == "PRECIO_FIJO") {
    query.setString("TIPOPROMOCAO", "K");
    query.setDecimal("PRECOFIXO", detalles.Precio());
  } else if (tipo == "DESCUENTO_FIJO") {
    query.setString("TIPOPROMOCAO", "F");
    query.setDecimal("DESCONTOFIXO", descuentoDecimal(detalles.Descuento()));
  } else if (tipo == "LLEVA_PAGA") {
    query.setString("TIPOPROMOCAO", "P");
    query.setInteger("PAGUE", detalles.Paga());
    query.setInteger("LEVE", cantidad);
  }
}

void writePromotionRow(Query& query, const TResults& promotion, const TDetalles& detalles,
                       const TItems& item) {
  query.setSql(kPromotionUpsert);
  query.setInteger("CODIGOPROMOCAO", promotion.Id());
  bindDay(query, "DATAINICIAL", promotion.VigenciaDesde());
  bindDay(query, "DATAFINAL", promotion.VigenciaHasta() - std::chrono::days(1));
  bindType(query, promotion, detalles, item.Cantidad());
  query.setString("DESCRICAO", promotion.Descripcion());
  query.setInteger("QUANTIDADEMINIMA", item.Cantidad());
  query.setInteger("LIMITE", promotion.LimitePromocionesPorTicket());
  query.execute();
}

// Runs a row's upsert whose refusal only costs that row. Only the database's refusal is passed
// over; anything else still ends the import's phase.
template <class Bind>
void writeOptionalRow(Query& query, const char* sql, Bind bind) {
  query.setSql(sql);
  bind();
  try {
    query.execute();
  } catch (const EDatabaseError&) {
  }
}

const char* cardKind(std::int32_t codigoTipoPago) {
  if (codigoTipoPago == kDebitCard) return "D";
  if (codigoTipoPago == kCreditCard) return "C";
  return nullptr;
}

void writeBinRows(Query& query, const TResults& promotion, TCondiciones& condiciones) {
  for (const auto& forma : condiciones.FormasPago()) {
    const char* kind = cardKind(forma->CodigoTipoPago());
    for (const std::string& bin : forma->Bines()) {
      writeOptionalRow(query, kBinUpsert, [&] {
        query.setInteger("CODIGOPROMOCAO", promotion.Id());
        query.setString("BIN", bin);
        if (kind) query.setString("CREDITODEBITO", kind);
      });
    }
  }
}

}  // namespace

void GravaPromocao(Query& query, TResults& promotion, bool withBins, const std::function<void()>& alive) {
  TDetalles* detalles = promotion.Detalles();
  TCondiciones* condiciones = detalles ? detalles->Condiciones() : nullptr;
  if (!condiciones) return;
  for (const auto& item : condiciones->Items()) {
    writePromotionRow(query, promotion, *detalles, *item);
    for (const auto& articulo : item->Articulos()) {
      alive();
      writeOptionalRow(query, kProductUpsert, [&] {
        query.setInteger("CODIGOPROMOCAO", promotion.Id());
        query.setString("CODIGOPRODUTO", articulo->CodigoBarras());
      });
      if (withBins) writeBinRows(query, promotion, *condiciones);
    }
  }
}

}  // namespace varenta
