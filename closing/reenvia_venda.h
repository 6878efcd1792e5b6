#pragma once
// The sale resend: the sales of a day the cloud asked for, sent again one by one as exactly the
// documents the new-sale export sends (the same builder, statements and endpoint). A resend moves
// no mark (the new-sale export goes on from where it stood), and sends sale documents only, never
// the cancellations of the day.

#include <cstdint>
#include <string>

#include "base/datetime.h"
#include "closing/resend_context.h"

namespace varenta {

// CarregaVendasReenvioVarenta: switches the cycle timer off, sends again every sale of day
// `dataVenda` (its time of day is ignored) of register `terminal`, or of every register when it is
// empty, then reloads the settings (which switches the timer on). A register that is not an integer
// throws EConvertError before anything is sent, and so does a failure to read the day's sales. A
// failure of one sale (its document, its post, an answer the cloud did not judge) is logged with
// "Erro Reenvio Venda: " and the next sale still goes; the answer is false when any sale failed. A
// transport failure (ERestError) is logged the same way and then ends the resend: it is thrown.
// With the poll's memory, a sale the cloud judged in an earlier ask is passed over, and each one
// it judges now is remembered.
// The sale list is read on statement handle 3, since each sale's document uses handles 1 and 2.
bool CarregaVendasReenvioVarenta(const SaleResendContext& context, DateTime dataVenda,
                                 const std::string& terminal);

// ReenviaVendaVarenta: posts sale `venda` again to its register and logs the cloud's verdict after
// "[REENVIO-VENDA= " and its movement number. A sale dated before the integration start date has no
// document: nothing is posted and one line says so. A failed build is logged ("Erro Reenvio Venda: ")
// and its empty batch still posted, as the new-sale export does. Leaves the timer and the connection
// alone; database and transport errors, and ENotJudged after its line, propagate.
void ReenviaVendaVarenta(const SaleResendContext& context, std::int64_t venda);

}  // namespace varenta
