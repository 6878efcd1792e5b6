#pragma once
// GravaPromocao: one accepted promotion of the payment-form route or the plain route into the
// store's promotion tables, through statement handle 1. Every write is an upsert, so writing the
// same promotion again leaves the same rows.
//
// For every condition item, in order: the promotion row (VARENTA_PROMOCOES, REJEITADA cleared),
// then for every article of the item its product row (VARENTA_PROMOCOES_PRODUTOS) and, with BIN
// rows, after each article every BIN of every payment form (VARENTA_PROMOCOES_BIN, "D" for debit
// cards, code 13, "C" for credit cards, code 10, null otherwise; a BIN under two forms keeps the
// later form's kind). Hence a promotion without condition items writes nothing, the last item's
// Cantidad stays in the promotion row, and BIN rows exist only when some item has an article.
//
// The promotion row's values by Tipo: "DESCUENTO_VARIABLE" N with DESCONTOPORCENTAGEM,
// "PRECIO_FIJO" K with PRECOFIXO, "DESCUENTO_FIJO" F with DESCONTOFIXO, "LLEVA_PAGA" P with PAGUE
// and LEVE; any other type leaves TIPOPROMOCAO and all four values null. DATAINICIAL is the day of
// VigenciaDesde, DATAFINAL the day before VigenciaHasta (a promotion without dates gets 30 and 29
// December 1899).
//
// A product or BIN row the database refuses is skipped; a refused promotion row, or any other
// failure, is thrown, the rows written before it staying.

#include <functional>

#include "promotions/promo_varenta.h"
#include "storedb/query.h"

namespace varenta {

// `alive` is called as the rows go on being written (a card promotion's BIN rows are written again
// for each of its articles: hundreds of thousands of statements are possible).
void GravaPromocao(
    Query& query, TResults& promotion, bool withBins, const std::function<void()>& alive = [] {});

}  // namespace varenta
