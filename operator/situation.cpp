#include "operator/situation.h"

#include <chrono>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "base/clock.h"
#include "base/error.h"
#include "base/regional.h"
#include "operator/backlog.h"
#include "servicelog/error_lines.h"
#include "servicelog/log_tail.h"
#include "storedb/operator_session.h"
#include "tasks/cycle_schedule.h"

namespace varenta {
namespace {

constexpr int kInStep = 0;
constexpr int kUnreachable = 1;
constexpr int kWaiting = 3;

// How much of the log's end is searched for errors: a few days of a busy store's lines.
constexpr std::size_t kLogTail = 1024 * 1024;
constexpr std::size_t kErrorsShown = 5;

std::string day(DateTime at) {
  return at.isZero() ? "" : at.format("dd/mm/yyyy");
}
std::string moment(DateTime at) {
  return at.isZero() ? "" : at.format("dd/mm/yyyy hh:nn:ss");
}
std::string number(std::int64_t n) {
  return n == 0 ? "" : std::to_string(n);
}

// "2 d 3 h", "3 h 26 min", "1 min 10 s", "40 s": the two largest units, a zero second one left out.
std::string duration(std::chrono::seconds total) {
  const auto two = [](std::int64_t big, const char* bigUnit, std::int64_t small, const char* smallUnit) {
    std::string text = std::to_string(big) + " " + bigUnit;
    return small == 0 ? text : text + " " + std::to_string(small) + " " + smallUnit;
  };
  const std::int64_t s = total.count();
  if (s >= 86400) return two(s / 86400, "d", s % 86400 / 3600, "h");
  if (s >= 3600) return two(s / 3600, "h", s % 3600 / 60, "min");
  if (s >= 60) return two(s / 60, "min", s % 60, "s");
  return std::to_string(s) + " s";
}

// When the resend poll and the promotion import come next, in words: "em" / "após" a time still
// ahead, "devida desde" one already passed (the service is behind, or not running).
std::string comingTasks(const VarentaSettings& marks, DateTime now) {
  const DateTime poll = resendPollDueAt(marks);
  const DateTime promotions = promotionImportDueAfter(marks);
  return (resendPollDue(marks, now) ? "consulta de reenvios devida desde "
                                    : "próxima consulta de reenvios em ") +
         moment(poll) +
         (promotionImportDue(marks, now) ? ", importação de promoções devida desde "
                                         : ", próxima importação de promoções após ") +
         moment(promotions);
}

std::string headline(const Backlog& backlog, const VarentaSettings& marks, DateTime now,
                     std::chrono::seconds estimate) {
  if (backlog.inStep())
    return "Em dia: nenhuma venda, cancelamento ou dia a fechar aguardando envio; " +
           comingTasks(marks, now) + ".";
  return "Aguardando envio: " + waitingInWords(backlog, marks, true) + "; ao menos " + duration(estimate) +
         ", a uma tarefa a cada " +
         std::to_string(std::chrono::duration_cast<std::chrono::seconds>(kAfterTask).count()) + " s; " +
         comingTasks(marks, now) + ".";
}

// The log's latest errors; a log that cannot be read is said on err and shows none.
std::vector<LoggedError> loggedErrors(const std::string& programDir, std::ostream& err) {
  const std::string path = programDir + "Varenta.log";
  try {
    const std::optional<std::string> tail = readLogTail(path, kLogTail);
    return tail ? lastErrors(regionalText(*tail), kErrorsShown) : std::vector<LoggedError>{};
  } catch (const std::exception& e) {
    err << "prjSrvVarenta: " << path << ": " << e.what() << '\n';
    return {};
  }
}

void printErrors(const std::vector<LoggedError>& errors, std::ostream& out) {
  for (std::size_t i = 0; i < errors.size(); ++i)
    out << "erro_" << i + 1 << '=' << errors[i].timestamp << " - " << oneLine(errors[i].message, 500) << '\n';
}

}  // namespace

int printSituation(const std::string& programDir, std::ostream& out, std::ostream& err) {
  std::optional<Backlog> backlog;
  OperatorSession session;
  const DateTime now = systemClock().now();
  try {
    OperatorLog log(err);
    if (session.connect(programDir, log, err))
      backlog = countBacklog(*session.db.query1, session.settings, now);
  } catch (const std::exception& e) {
    operatorFailure(err, e);
  }
  const std::vector<LoggedError> errors = loggedErrors(programDir, err);
  if (!backlog) {
    out << "Sem acesso ao banco de dados do Olvessa: nada foi contado.\n"
        << "situacao=sem_banco\n";
    printErrors(errors, out);
    return kUnreachable;
  }

  const VarentaSettings& marks = session.settings;
  // The resend poll and the promotion import, when due, each take a tick before the rest.
  const std::int64_t ticks = backlog->inStep() ? 0
                                               : backlog->ticks() + (resendPollDue(marks, now) ? 1 : 0) +
                                                     (promotionImportDue(marks, now) ? 1 : 0);
  const auto estimate = std::chrono::duration_cast<std::chrono::seconds>(kAfterTask * ticks);
  out << headline(*backlog, marks, now, estimate) << '\n'
      << "situacao=" << (backlog->inStep() ? "em_dia" : "aguardando") << '\n'
      << "vendas_aguardando=" << backlog->sales << '\n'
      << "venda_primeira=" << number(backlog->firstSale) << '\n'
      << "venda_ultima=" << number(backlog->lastSale) << '\n'
      << "venda_mais_antiga=" << day(backlog->oldestSaleDay) << '\n'
      << "cancelamentos_aguardando=" << backlog->cancellations << '\n'
      << "cancelamento_codigo_primeiro=" << number(backlog->firstCancellationCode) << '\n'
      << "cancelamento_codigo_ultimo=" << number(backlog->lastCancellationCode) << '\n'
      << "cancelamento_mais_antigo=" << moment(backlog->oldestCancellation) << '\n'
      << "dias_a_fechar=" << backlog->daysToClose << '\n'
      << "dias_a_fechar_sem_venda=" << backlog->daysWithoutSales << '\n'
      << "fechamento_proximo_dia=" << day(marks.ultCaixa) << '\n'
      << "reenvio_devido_em=" << moment(resendPollDueAt(marks)) << '\n'
      << "promocoes_devidas_apos=" << moment(promotionImportDueAfter(marks)) << '\n'
      << "tarefas_aguardando=" << ticks << '\n'
      << "segundos_por_tarefa=" << std::chrono::duration_cast<std::chrono::seconds>(kAfterTask).count()
      << '\n'
      << "estimativa_segundos=" << estimate.count() << '\n';
  printErrors(errors, out);
  return backlog->inStep() ? kInStep : kWaiting;
}

}  // namespace varenta
