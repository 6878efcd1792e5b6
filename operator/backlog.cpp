#include "operator/backlog.h"

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "closing/closing_sql.h"
#include "sales/waiting_sql.h"
#include "tasks/cycle_schedule.h"

namespace varenta {
namespace {

const std::string kSalesWaitingSql =
    std::string(
        "select count(distinct v.venda) as vendas, min(v.venda) as primeira, max(v.venda) as ultima, "
        "min(v.data) as mais_antiga from vendas v where ")
        .append(kSaleWaiting);

// The export takes the lowest code waiting, and with it the codes of the same sale up to the first
// code of another sale (any line's); the next call takes the next code waiting after those. So a
// code waiting starts a call of its own unless an earlier code waiting of the same sale comes
// before it with no other sale's code between the two.
const std::string kCancellationsWaitingSql =
    std::string(
        "with w as (select v.venda, v.codigocancelamento as codigo, v.cancelamento from vendas v where ")
        .append(kCancellationWaiting) +
    "), r as (select w.codigo, w.cancelamento, iif(exists (select 1 from w p where p.venda = w.venda and "
    "p.codigo < w.codigo and not exists (select 1 from vendas o where o.venda <> w.venda and "
    "o.codigocancelamento > p.codigo and o.codigocancelamento < w.codigo)), 0, 1) as inicio from w) "
    "select coalesce(sum(r.inicio), 0) as cancelamentos, min(r.codigo) as primeiro, max(r.codigo) as "
    "ultimo, min(r.cancelamento) as mais_antigo from r";

const std::string kDaysWithSalesSql =
    std::string("select count(distinct v.data) as dias, max(v.data) as ultimo from vendas v where ")
        .append(kClosingLiveLines)
        .append(" and v.data >= :varenta_ultcaixa");

std::string counted(std::int64_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string since(DateTime day) {
  return " (desde " + day.format("dd/mm/yyyy") + ")";
}

}  // namespace

std::string waitingInWords(const Backlog& backlog, const VarentaSettings& marks, bool withDays) {
  std::vector<std::string> parts;
  if (backlog.sales > 0)
    parts.push_back(counted(backlog.sales, "venda", "vendas") +
                    (withDays ? since(backlog.oldestSaleDay) : ""));
  if (backlog.cancellations > 0)
    parts.push_back(counted(backlog.cancellations, "cancelamento", "cancelamentos"));
  if (backlog.daysToClose > 0)
    parts.push_back(counted(backlog.daysToClose, "dia a fechar", "dias a fechar") +
                    (withDays ? since(marks.ultCaixa) : ""));
  // "a, b e c".
  std::string text;
  for (std::size_t i = 0; i < parts.size(); ++i)
    text += (i == 0 ? "" : i + 1 == parts.size() ? " e " : ", ") + parts[i];
  return text;
}

std::int64_t Backlog::ticks() const {
  return daysWithoutSales + std::max<std::int64_t>(sales + cancellations, lastDaySold ? 1 : 0);
}

Backlog countBacklog(Query& query, const VarentaSettings& marks, DateTime now) {
  Backlog backlog;
  query.setSql(kSalesWaitingSql);
  query.setInteger("varenta_ultvenda", marks.ultVenda);
  query.setDate("datainicio", marks.dataInicio);
  query.open();
  backlog.sales = query.field("vendas").asInteger();
  backlog.firstSale = query.field("primeira").asInteger();
  backlog.lastSale = query.field("ultima").asInteger();
  backlog.oldestSaleDay = query.field("mais_antiga").asDateTime();

  query.setSql(kCancellationsWaitingSql);
  query.setInteger("varenta_ultcancelamento", marks.ultCancelamento);
  query.setDate("datainicio", marks.dataInicio);
  query.open();
  backlog.cancellations = query.field("cancelamentos").asInteger();
  backlog.firstCancellationCode = query.field("primeiro").asInteger();
  backlog.lastCancellationCode = query.field("ultimo").asInteger();
  backlog.oldestCancellation = query.field("mais_antigo").asDateTime();

  backlog.daysToClose = daysToClose(marks, now);
  if (backlog.daysToClose > 0) {
    query.setSql(kDaysWithSalesSql);
    query.setDate("varenta_ultcaixa", marks.ultCaixa);
    query.open();
    // The database's day may differ from this host's: the days with sales never exceed the count.
    backlog.daysWithoutSales =
        std::max<std::int64_t>(0, backlog.daysToClose - query.field("dias").asInteger());
    backlog.lastDaySold = !query.field("ultimo").isNull() &&
                          query.field("ultimo").asDateTime().date() == now.date() - std::chrono::days(1);
  }
  query.close();
  return backlog;
}

}  // namespace varenta
