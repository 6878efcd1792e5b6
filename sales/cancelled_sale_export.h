#pragma once
// EnviarVendasCanceladas: the cancelled-sale export, one cancellation per call. It finds the lowest
// cancellation code above the cancellation mark on a line dated on or after the start date, and
// sends that line's sale as a cancellation movement holding every line of the sale cancelled so
// far: a sale left without live lines as a cancellation of the whole sale ("[CancT= ", on its own
// register, under its number with a leading "-"), otherwise as a partial cancellation ("[CancP= ",
// register 9999, under a drawn number). A cancellation dated after its sale's day has that day's
// closing sent again for the line's register. Then the mark moves and the settings and marks are
// reloaded, also when no cancellation was waiting.
//
// The mark moves to the last code of the unbroken run of this sale's codes that starts at the code
// found; a code held by another sale's line ends the run. Everything up to the mark has then been
// sent: a cancellation may be sent twice, never skipped.
//
// Errors of the database, the post and the closing resend propagate and leave the mark where it
// was; the cycle timer is left running with the exports' period in every case.

#include "sales/sales_export_context.h"

namespace varenta {

void EnviarVendasCanceladas(const SalesExportContext& context);

}  // namespace varenta
