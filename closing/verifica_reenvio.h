#pragma once
// VerificaReenvio: the daily poll of the cloud's resend requests. It fetches the list of movement
// requests and answers each "MOVIMIENTOS" request by sending that day's sales again (of the
// register named, or of every register), then the list of closing requests, answering each
// "CIERRES_DIARIOS" request with the closing resend; nothing else acknowledges a request. Then it
// stores the poll mark (the database's current time), logs "[R: dd/mm/yyyy]Renvios enviados com
// sucesso" and reloads the settings, which switches the cycle timer back on.
//
// A list that is JSON but not an array is logged ("Error on parse \"Reenvios\".") and taken as
// empty. A request that cannot be read (not an object, no "tipo"; for a request of the list's own
// kind, no "fecha", a "fecha" that is no ISO 8601 date, a "codigoCaja" that is no register number)
// is logged with the list's error line and passed over. A request whose answer failed (a post
// answered 500 or not judged, a transport or database failure) is logged; the requests after it
// are still answered, but the mark is not stored: "[R: dd/mm/yyyy]Renvios incompletos: a lista
// será pedida de novo" is logged and the poll holds itself off, to ask for the lists again after.
//
// A list answer that is not JSON at all (empty, an HTML page, a raw NUL byte anywhere) ends the poll
// at once: the other list is not fetched and the mark is not stored, so the requests are asked for
// again. One line names the list and shows the answer's first 100 characters, and the poll holds
// itself off for its hold time in this process, so the cycle runs the other tasks meanwhile instead
// of asking again on every tick. A list answered with a status other than 2xx or with the cloud's
// login error is no list either: ENotAList, like a failed fetch, a mark update or a reload that
// fails, propagates to the cycle, which holds the poll.

#include "closing/resend_context.h"

namespace varenta {

void VerificaReenvio(const ResendPollContext& context);

}  // namespace varenta
