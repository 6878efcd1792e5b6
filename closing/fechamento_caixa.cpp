#include "closing/fechamento_caixa.h"

#include <chrono>
#include <exception>
#include <string>

#include "api/post_answer.h"
#include "api/transport_failure.h"
#include "base/error.h"
#include "base/regional.h"
#include "closing/cancelled_totals.h"
#include "closing/closing_document.h"
#include "closing/closing_sql.h"

namespace varenta {
namespace {

constexpr std::chrono::hours kOneDay{24};

void post(const TaskContext& task, const std::string& caixa, const std::string& document, const char* marker,
          DateTime day) {
  const TVarentaRetornos answer = task.cloud.postFechaCaixa(caixa, document);
  logPostVerdict(task.log, marker + regionalDate(day) + "]", answer, document);
}

void moveMark(const TaskContext& task) {
  storeClosingMark(task, task.settings.ultCaixa.date() + kOneDay);
}

enum class DayClosed { WithRecords, Empty, NotOverForTheDatabase };

// Whether the database's today is after `day`: its statements see no sale of a day that is not.
bool overForTheDatabase(Query& query, DateTime day) {
  query.setSql(kDatabaseToday);
  query.open();
  return query.field("HOJE").asDateTime() > day;
}

// Closes the mark's day and moves the mark on; a day without a live sale moves the mark all the
// same, unless the database still calls it today or later (its clock behind ours, or in another
// time zone): its sales are not over yet, and the day is closed once they are. `posting` holds
// the record on its way to the cloud, for the failure line.
DayClosed closeMarkDay(const TaskContext& task, std::string& posting) {
  Query& totals = *task.db.query1;
  Query& query = *task.db.query2;
  totals.setSql(kClosingLiveTotals);
  totals.setDate("VARENTA_ULTCAIXA", task.settings.ultCaixa);
  totals.open();
  if (totals.eof()) {
    if (!overForTheDatabase(query, task.settings.ultCaixa)) return DayClosed::NotOverForTheDatabase;
    moveMark(task);
    return DayClosed::Empty;
  }
  DateTime day;
  for (; !totals.eof(); totals.next()) {
    day = totals.field("DATA").asDateTime();
    const std::string caixa = totals.field("TERMINAL").asString();
    const std::int64_t terminal = totals.field("TERMINAL").asInteger();
    const CancelledTotals partly =
        cancelledTotals(query, kClosingPartialCancellations, "VARENTA_ULTCAIXA", day, terminal);
    const CancelledTotals whole =
        cancelledTotals(query, kClosingWholeCancellations, "VARENTA_ULTCAIXA", day, terminal);
    posting = closingDocument(registerRecord(day, totals.field("VALOR").asDecimal(),
                                             totals.field("QUANTIDADE").asInteger(), partly.valor,
                                             whole.valor, whole.quantidade));
    post(task, caixa, posting, "[F.Dia- ", day);
    posting.clear();
  }
  query.setSql(kStoreWidePartialCancellations);
  query.setDate("DATACAIXA", day);
  query.open();
  if (!query.eof()) {
    posting = closingDocument(
        storeWideRecord(day, query.field("VALOR").asDecimal(), query.field("QUANTIDADE").asInteger()));
    post(task, "9999", posting, "[F.Parc- ", day);
    posting.clear();
  }
  moveMark(task);
  return DayClosed::WithRecords;
}

}  // namespace

void storeClosingMark(const TaskContext& task, DateTime day) {
  Query& query = *task.db.query2;
  query.setSql(kClosingMarkUpdate);
  query.setDate("varenta_ultcaixa", day);
  query.execute();
  task.settings.ultCaixa = day;
}

void FechamentoCaixaVarenta(const ClosingContext& context) {
  const TaskContext& task = context.task;
  struct TimerBackOn {
    Timer& timer;
    ~TimerBackOn() { timer.setEnabled(true); }
  } timerBackOn{task.timer};
  task.timer.setEnabled(false);

  const auto caughtUp = [&task] { return !(task.clock.today() > task.settings.ultCaixa); };
  if (caughtUp()) return context.enviarVendas();

  std::string posting;
  try {
    // Day after day within this call: a day that sold nothing ends it, a caught-up mark hands over,
    // and so does a day the database does not yet take as over, so that the sales go on meanwhile.
    for (;;) {
      const DayClosed closed = closeMarkDay(task, posting);
      if (closed == DayClosed::Empty) return;
      if (closed == DayClosed::NotOverForTheDatabase || caughtUp()) break;
    }
  } catch (const std::exception& e) {
    // A name that does not resolve is no fault of the closing: the cycle pauses everything for it.
    if (nameNotResolved(e)) throw;
    // A day that failed is closed again in full, but not at once: what failed (a register's
    // endpoint answering 500, a refused login) would most likely fail again on every tick, and
    // keep the sales and cancellations waiting behind it.
    context.hold.hold(task.clock.now());
    task.log.DoSaveLog(posting);
    task.log.DoSaveLog(errorLine("Erro: ", e));
    return;
  }
  // The sale export fails as it fails on its own: to the cycle.
  context.enviarVendas();
}

}  // namespace varenta
