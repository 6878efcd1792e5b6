#include "closing/reenvia_venda.h"

#include <charconv>
#include <optional>

#include "api/api_errors.h"
#include "api/post_answer.h"
#include "base/error.h"
#include "sales/sale_document.h"

namespace varenta {
namespace {

// The register is compared as COALESCE(V.TERMINAL, 1), as the closings compare it: a line without a
// terminal is posted to register 1 by the sale document, so a request for register 1 asks for it too.
constexpr const char* kSalesOfDaySql =
    "select distinct v.venda as venda from vendas v where v.data = :datavenda and v.codigoproduto not "
    "in ('XXDESCONTOXX',  'XXACRESCIMOXX',  'XXENTREGAXX',  'RECARGACELULAR') ";
constexpr const char* kOfRegisterSql = " and coalesce(v.terminal, 1) = :terminal ";

std::int64_t registerNumber(const std::string& terminal) {
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(terminal.data(), terminal.data() + terminal.size(), value);
  if (error != std::errc() || end != terminal.data() + terminal.size())
    throw EConvertError("'" + terminal + "' is not a valid integer value");
  return value;
}

}  // namespace

bool CarregaVendasReenvioVarenta(const SaleResendContext& context, DateTime dataVenda,
                                 const std::string& terminal) {
  const TaskContext& task = context.task;
  task.timer.setEnabled(false);
  Query& sales = *task.db.query3;
  if (terminal.empty()) {
    sales.setSql(kSalesOfDaySql);
  } else {
    sales.setSql(std::string(kSalesOfDaySql) + kOfRegisterSql);
    sales.setInteger("terminal", registerNumber(terminal));
  }
  sales.setDate("datavenda", dataVenda);
  sales.open();
  bool complete = true;
  for (; !sales.eof(); sales.next()) {
    // One sale's failure (a post answered 500, a document the database cannot give) is that sale's
    // alone: the day's other sales still go.
    const std::int64_t venda = sales.field("venda").asInteger();
    if (context.memory && context.memory->sentEarlier(venda)) continue;
    try {
      ReenviaVendaVarenta(context, venda);
      if (context.memory) context.memory->sent(venda);
    } catch (const ERestError& e) {
      // The cloud is not answering: every further sale would wait out its own time-outs.
      task.log.DoSaveLog(errorLine("Erro Reenvio Venda: ", e));
      throw;
    } catch (const std::exception& e) {
      task.log.DoSaveLog(errorLine("Erro Reenvio Venda: ", e));
      complete = false;
    }
  }
  task.reloadSettings();
  return complete;
}

void ReenviaVendaVarenta(const SaleResendContext& context, std::int64_t venda) {
  const TaskContext& task = context.task;
  const std::optional<SaleDocument> document =
      buildSaleDocument({*task.db.query1, *task.db.query2, task.settings.dataInicio, context.random,
                         task.clock, task.log, "Erro Reenvio Venda: "},
                        venda);
  if (!document) {
    task.log.DoSaveLog("[REENVIO-VENDA= " + std::to_string(venda) +
                       "]Venda anterior à data de início da integração: não reenviada");
    return;
  }
  logPostVerdict(task.log, "[REENVIO-VENDA= " + document->numero + "]",
                 task.cloud.postEnviarVenda(document->caixa, document->batch), document->batch);
}

}  // namespace varenta
