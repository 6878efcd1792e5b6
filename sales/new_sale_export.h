#pragma once
// EnviarVendasVarenta: the new-sale export, one sale per call. It sends the sale with the lowest
// number above the sale mark that is dated on or after the start date, as a batch of one movement
// to the sale's register, logs the cloud's verdict ("[Venda= "), and moves the sale mark to it in
// memory and in `padrao`, whatever the cloud answered. With no sale waiting, the call runs the
// cancelled-sale export instead.
//
// Errors of the database and of the post propagate and leave the mark where it was, so the same
// sale is tried again; the cycle timer is left running with the exports' period in every case.

#include "sales/sales_export_context.h"

namespace varenta {

void EnviarVendasVarenta(const SalesExportContext& context);

}  // namespace varenta
