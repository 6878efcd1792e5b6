#pragma once
// GravaCesta: one accepted promotion of the basket route ("ADICIONAL_DESCUENTO" or
// "ADICIONAL_REGALO" with condition items) as a promotional basket of the store, through statement
// handle 1.
//
// The basket's code is the CODIGO of the header whose CODIGOVARENTA is the promotion's Id, or, for
// a promotion seen for the first time, "CPROM" and the next value of GEN_CESTASPROMOCIONAIS; it is
// given once and kept. For every condition item, at position j, in order: the header
// (CESTASPROMOCIONAIS: description, the days of VigenciaDesde and VigenciaHasta) is written again,
// then one row per article of the item (ITENSCESTASPROMOCIONAIS: its Cantidad, discount kind "N",
// no discounts, the description), then, when the promotion has benefit items, one row per article
// of benefit item j (its Cantidad, kind "P", both discounts the promotion's Descuento for
// "ADICIONAL_DESCUENTO", 100 for "ADICIONAL_REGALO"; the row's description is left as it was).
// A benefit item missing at position j throws EListError once the condition rows of j are
// written. REJEITADA is never touched: a basket rejected earlier stays rejected.
//
// Every failure is thrown; rows already written stay.

#include <functional>

#include "base/error.h"
#include "promotions/promo_varenta.h"
#include "storedb/query.h"

namespace varenta {

VARENTA_ERROR_TYPE(EListError);  // a list has no element at the position asked for

// `alive` is called as the rows go on being written.
void GravaCesta(
    Query& query, TResults& promotion, const std::function<void()>& alive = [] {});

}  // namespace varenta
