#include "sales/new_sale_export.h"

#include <string>

#include "api/post_answer.h"
#include "sales/cancelled_sale_export.h"
#include "sales/export_session.h"
#include "sales/sale_document.h"
#include "sales/waiting_sql.h"

namespace varenta {
namespace {

// Ordered by number: without it the database may yield any sale above the mark first, and the
// mark would then jump past the lower ones, which would never be sent.
const std::string kNextSaleSql =
    std::string("select first 1 coalesce(v.venda, 0) as venda from  vendas v where ").append(kSaleWaiting) +
    " order by v.venda";

constexpr const char* kSaleMarkSql =
    "update padrao set varenta_ultvenda = :venda where codigo is not null and coalesce(cgc, '') <> "
    "'' ";

}  // namespace

void EnviarVendasVarenta(const SalesExportContext& context) {
  const TaskContext& task = context.task;
  VarentaSettings& settings = task.settings;
  const ExportTimerHold timerHold(task.timer, settings);
  renewConnection(task.db, task.clock.monotonic());
  Query& q = *task.db.query1;

  q.setSql(kNextSaleSql);
  q.setInteger("varenta_ultvenda", settings.ultVenda);
  q.setDate("datainicio", settings.dataInicio);
  q.open();
  const std::int64_t venda = q.field("venda").asInteger();
  if (venda < 1) {
    EnviarVendasCanceladas(context);
    return;
  }

  const std::optional<SaleDocument> document = buildSaleDocument(
      {q, *task.db.query2, settings.dataInicio, context.random, task.clock, task.log, "Erro: "}, venda);
  // The lines found a moment ago are gone (deleted meanwhile): there is nothing to send, and the
  // next call looks for the next sale again.
  if (!document) return;

  const TVarentaRetornos answer = task.cloud.postEnviarVenda(document->caixa, document->batch);
  logPostVerdict(task.log, "[Venda= " + document->numero + "]", answer, document->batch);

  settings.ultVenda = venda;
  q.setSql(kSaleMarkSql);
  q.setInteger("venda", settings.ultVenda);
  q.execute();
}

}  // namespace varenta
