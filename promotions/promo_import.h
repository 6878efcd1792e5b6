#pragma once
// AtualizaPromo: brings the store's promotion tables in line with the promotions the cloud lists
// for the store as rejected and as accepted, in that order, then reloads the settings and marks.
//
// Rejected phase: the list of getPromoRejeitadas marks promotions rejected (REJEITADA set to the
// current time) in the rows already present: the promotion row of a promotion with payment forms,
// the basket of a basket promotion with condition items, the promotion row of a plain promotion
// (no benefits, no payment forms) with at least one condition article. Success logs
// "[R- dd/mm/yyyy]Ok:Promos Varenta rejeitadas com sucesso".
//
// Accepted phase: every promotion of getPromoAceitas takes its routes (PromoShape) in the order
// payment-form route (GravaPromocao with BIN rows), basket route (GravaCesta), plain route
// (GravaPromocao without them). Success logs "[P- dd/mm/yyyy]Ok:Promos Varenta atualizadas com
// sucesso" and moves the promotion mark (varenta_verificapromo) to the database's current time.
//
// An empty body or "[]" skips a phase without a word (the accepted phase still moves the mark). A
// failure inside a phase is logged ("Erro RejeitaPromo: " / "Erro AtualizaPromo: ", the error's
// type, CR LF, "Mensagem: " and its message) and ends that phase, the rows written before it
// staying. A failed accepted phase leaves the mark where it was and holds the import off for an
// hour in this process (`hold`), so that a promotion the database refuses every time no longer
// takes every tick from the sales. A failure of a cloud call, a list answer that is not the cloud's
// list (ENotAList: a status other than 2xx, the login error, a body that is not JSON), a failure
// of the mark update after an empty body or of the reload is thrown to the cycle, which holds the
// import; the mark stays.

#include "base/not_before.h"
#include "tasks/task_context.h"

namespace varenta {

struct PromoImport {
  TaskContext task;
  NotBefore& hold;  // set when the accepted phase fails; the cycle asks it before running the import
};

void AtualizaPromo(const PromoImport& import);

}  // namespace varenta
