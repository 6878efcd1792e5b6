#include "closing/reenvia_caixa.h"

#include <exception>

#include "api/verdict.h"
#include "base/error.h"
#include "base/regional.h"
#include "closing/cancelled_totals.h"
#include "closing/closing_document.h"
#include "closing/closing_sql.h"

namespace varenta {
namespace {

// Posts one record under a guard of its own: a failure is logged with the record and `failure`'s
// prefix, and the resend goes on.
void post(const TaskContext& context, const std::string& caixa, const std::string& document,
          const std::string& marker, const char* failure) {
  try {
    const TVarentaRetornos answer = context.cloud.postFechaCaixa(caixa, document);
    context.log.DoSaveLog(marker + VerificarErroJSON(answer.json_retorno, document, context.log));
  } catch (const std::exception& e) {
    context.log.DoSaveLog(document);
    context.log.DoSaveLog(errorLine(failure, e));
  }
}

}  // namespace

void ReenviaCaixaVarenta(const TaskContext& context, DateTime dataCaixa, const std::string& terminal) {
  const DateTime day = dataCaixa.date();
  const std::string shown = regionalDate(day);
  Query& totals = *context.db.query1;
  Query& query = *context.db.query2;
  std::string record;  // the register's record last built, for the general failure line
  try {
    // Without a register, every register with live sales that day: the closing's own totals.
    if (terminal.empty()) {
      totals.setSql(kClosingLiveTotals);
      totals.setDate("VARENTA_ULTCAIXA", day);
    } else {
      totals.setSql(kResendLiveTotals);
      totals.setDate("DATACAIXA", day);
      totals.setString("TERMINAL", terminal);
    }
    totals.open();
    if (totals.eof()) return;
    for (; !totals.eof(); totals.next()) {
      const std::string caixa = totals.field("TERMINAL").asString();
      const std::int64_t registerNumber = totals.field("TERMINAL").asInteger();
      const CancelledTotals partly =
          cancelledTotals(query, kResendPartialCancellations, "DATACAIXA", day, registerNumber);
      const CancelledTotals whole =
          cancelledTotals(query, kResendWholeCancellations, "DATACAIXA", day, registerNumber);
      record = closingDocument(registerRecord(day, totals.field("VALOR").asDecimal(),
                                              totals.field("QUANTIDADE").asInteger(), partly.valor,
                                              whole.valor, whole.quantidade));
      post(context, caixa, record, "[REENVIO-CAIXA:" + shown + "]", "Erro Reenvio Caixa Total: ");
    }
    query.setSql(kStoreWidePartialCancellations);
    query.setDate("DATACAIXA", day);
    query.open();
    if (query.eof()) return;
    const std::string storeWide = resendStoreWideDocument(
        storeWideRecord(day, query.field("VALOR").asDecimal(), query.field("QUANTIDADE").asInteger()));
    post(context, "9999", storeWide, "[REENVIO-CAIXA-PARC.:" + shown + "]", "Erro Reenvio Caixa Parcial: ");
  } catch (const std::exception& e) {
    context.log.DoSaveLog(record);
    context.log.DoSaveLog(errorLine("Erro Reenvio Caixa: ", e));
  }
}

}  // namespace varenta
