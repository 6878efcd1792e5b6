#include "closing/reenvia_caixa.h"

#include <exception>

#include "api/api_errors.h"
#include "api/post_answer.h"
#include "base/error.h"
#include "base/regional.h"
#include "closing/cancelled_totals.h"
#include "closing/closing_document.h"
#include "closing/closing_sql.h"
#include "closing/fechamento_caixa.h"

namespace varenta {
namespace {

// Posts one record under a guard of its own: a failure is logged with the record and `failure`'s
// prefix, and the resend goes on. False when the record was not sent and judged; a transport
// failure is kept in `transport`, for the caller to learn once every record had its chance.
bool post(const TaskContext& context, const std::string& caixa, const std::string& document,
          const std::string& marker, const char* failure, std::exception_ptr& transport) {
  try {
    logPostVerdict(context.log, marker, context.cloud.postFechaCaixa(caixa, document), document);
    return true;
  } catch (const std::exception& e) {
    context.log.DoSaveLog(document);
    context.log.DoSaveLog(errorLine(failure, e));
    if (dynamic_cast<const ERestError*>(&e)) transport = std::current_exception();
    return false;
  }
}

bool resend(const TaskContext& context, DateTime dataCaixa, const std::string& terminal,
            std::exception_ptr& transport) {
  const DateTime day = dataCaixa.date();
  const std::string shown = regionalDate(day);
  Query& totals = *context.db.query1;
  Query& query = *context.db.query2;
  std::string record;  // the register's record last built, for the general failure line
  bool complete = true;
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
    if (totals.eof()) return true;
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
      complete &= post(context, caixa, record, "[REENVIO-CAIXA:" + shown + "]",
                       "Erro Reenvio Caixa Total: ", transport);
    }
    query.setSql(kStoreWidePartialCancellations);
    query.setDate("DATACAIXA", day);
    query.open();
    if (query.eof()) return complete;
    const std::string storeWide = resendStoreWideDocument(
        storeWideRecord(day, query.field("VALOR").asDecimal(), query.field("QUANTIDADE").asInteger()));
    return post(context, "9999", storeWide, "[REENVIO-CAIXA-PARC.:" + shown + "]",
                "Erro Reenvio Caixa Parcial: ", transport) &&
           complete;
  } catch (const std::exception& e) {
    context.log.DoSaveLog(record);
    context.log.DoSaveLog(errorLine("Erro Reenvio Caixa: ", e));
    return false;
  }
}

}  // namespace

bool ReenviaCaixaVarenta(const TaskContext& context, DateTime dataCaixa, const std::string& terminal) {
  std::exception_ptr transport;
  const bool complete = resend(context, dataCaixa, terminal, transport);
  if (transport) std::rethrow_exception(transport);
  return complete;
}

void resendOwedClosing(const TaskContext& context, DateTime dataCaixa, const std::string& terminal) {
  bool judged = false;
  try {
    judged = ReenviaCaixaVarenta(context, dataCaixa, terminal);
  } catch (const std::exception&) {
    // Logged already, or a failure line the log could not take: a failure all the same.
  }
  const DateTime day = dataCaixa.date();
  // A mark at or before that day closes it anyway, with the figures the database holds then.
  if (!judged && context.settings.ultCaixa > day) storeClosingMark(context, day);
}

}  // namespace varenta
