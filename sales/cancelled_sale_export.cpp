#include "sales/cancelled_sale_export.h"

#include <algorithm>
#include <optional>

#include "api/post_answer.h"
#include "sales/build_guard.h"
#include "sales/export_session.h"
#include "sales/movement_builder.h"
#include "sales/row_reading.h"
#include "sales/waiting_sql.h"

namespace varenta {
namespace {

// Ordered by code: without it the database may yield any code above the mark first, and the mark
// would then jump past the lower ones.
const std::string kNextCancellationSql =
    std::string(
        "select first 1 coalesce(v.venda, 0) as venda, coalesce(v.codigocancelamento, 0) as "
        "codigocancelamento from  vendas v where ")
        .append(kCancellationWaiting) +
    " order by v.codigocancelamento";
// The last code of the run of this sale's codes that starts at the code found: a code of another
// sale's line ends it. Each candidate looks only at the codes between the found one and itself.
constexpr const char* kCancellationRunSql =
    "select max(v.codigocancelamento) as ultimo from vendas v where v.venda = :venda and "
    "v.codigocancelamento >= :codigocancelamento and not exists (select 1 from vendas o where "
    "o.venda <> :venda and o.codigocancelamento > :codigocancelamento and o.codigocancelamento < "
    "v.codigocancelamento)";

constexpr const char* kLiveLinesSql =
    "select v.sequencial as sequencial from vendas v where v.venda = :venda and v.cancelamento is "
    "null";

constexpr const char* kCancelledLinesSql =
    "select  v.sequencial, v.venda, v.data as data, v.hora, cast(v.data || ' ' || v.hora AS "
    "timestamp) as datahora, v.codigocliente, c.nome, coalesce(c.cic, '') as cic, v.cancelamento as "
    "cancelamento, coalesce(v.unidade,'UN') as unidade, v.codigoproduto, "
    "iif(char_length(hash(v.codigoproduto))>10, substring(v.codigoproduto from "
    "char_length(v.codigoproduto) - 5 for 6), hash(v.codigoproduto)) as codhashinterno, p.produto, "
    "coalesce(v.precounitario, 0.00) as precounitario, coalesce(v.quantidade, 0.000) as quantidade, "
    "coalesce(v.subtotal, 0.00) as subtotal, coalesce(v.desconto, 0.00) as desconto, "
    "coalesce(v.precototal, 0.00) as precototal, coalesce(v.precoautomatico, 0.00) as "
    "precoautomatico, coalesce(v.precocusto, 0.00) as precocusto, coalesce(v.farmaciapopular, 'N') "
    "as farmaciapopular, v.numeroserie, v.numerocoo, coalesce(v.terminal, 1) as terminal from "
    "vendas v left join produtos p on v.codigoproduto = p.codigo left join clientes c on "
    "v.codigocliente = c.codigo where v.venda = :venda and v.data >= :datainicio and v.cancelamento "
    "is not null and v.codigoproduto not in ('XXDESCONTOXX',  'XXACRESCIMOXX',  'XXENTREGAXX',  "
    "'RECARGACELULAR') ";

constexpr const char* kSurchargeSql =
    "select coalesce(v.subtotal, 0.00) as acressimo from vendas v where v.venda = :venda and "
    "v.codigoproduto = 'XXACRESCIMOXX' and v.cancelamento is not null";

constexpr const char* kDeliveryFeeSql =
    "select coalesce(v.subtotal, 0.00) as taxaentrega from vendas v where v.venda = :venda and "
    "v.codigoproduto = 'XXENTREGAXX' and v.cancelamento is not null ";

constexpr const char* kExtraDiscountSql =
    "select iif(coalesce(v.subtotal, 0.00) < 0.00, (v.subtotal-(v.subtotal*2)), v.subtotal) as "
    "desconto from vendas v where v.venda = :venda and v.codigoproduto = :codigoproduto and "
    "v.produto = 'Desconto Adicional' ";

constexpr const char* kPaymentSql =
    "  select first 1 coalesce(c.naturezadaoperacao, '') as naturezadaoperacao , "
    "coalesce(c.dinheiro, 0.00) as dinheiro , coalesce(c.cheque, 0.00) as cheque , "
    "coalesce(c.cartao, 0.00) as cartao , coalesce(c.troco, 0.00) as troco , coalesce(c.total, "
    "0.00) as total , coalesce(c.carteiradigital, 0.00) as carteiradigital , coalesce(c.valetroca, "
    "0.00) as valetroca, coalesce(c.ecommerce, 0.00) as ecommerce , lpad(v.autorizacao, 6, '0') as "
    "autorizacao  , coalesce(v.bin, '') as bin  , coalesce(v.ultimosquatrodigitos, '') as "
    "ultimosquatrodigitos  , coalesce(c.numerocoo, 1) as numerocoo , coalesce(v.operacao, '') as "
    "operacao , coalesce(v.movimento, 9999) as movimento from caixacancelado c left join "
    "vendacartaocancelada v on c.codigovenda = v.codigovenda left join vendas x on c.codigovenda = "
    "x.venda where c.codigovenda = :venda and x.cancelamento is not null";

constexpr const char* kCardRowsSql = "select * from vendacartao x where x.codigovenda = :venda";

constexpr const char* kCancellationMarkSql =
    "update padrao set varenta_ultcancelamento = :codigocancelamento where codigo is not null";

constexpr const char* kStoreWideRegister = "9999";

// The first cancelled line: the register it was sold on, and the closing to send again when the
// cancellation came on a later day than the sale.
struct FirstCancelledLine {
  std::string terminal;
  std::string numero;  // "-" and the sale rule's number
  std::optional<DateTime> lateClosingDay;
};

FirstCancelledLine readFirstCancelledLine(const Query& q) {
  FirstCancelledLine first;
  first.terminal = q.field("terminal").asString();
  first.numero = movementNumber(MovementKind::kWholeCancellation, readSaleNumbering(q));
  const DateTime data = q.field("data").asDateTime();
  // Late when cancelled on a later day than the sale's: a cancellation the same day is in the day's
  // closing still to come, and sending that closing now would only repeat it.
  if (q.field("cancelamento").asDateTime().date() > data.date()) first.lateClosingDay = data;
  return first;
}

std::string withoutDashes(std::string text) {
  std::erase(text, '-');
  return text;
}

// Steps through the cancelled lines from the first, builds the movement, posts it and logs the
// verdict; then sends the closing again when the cancellation came on a later day.
void sendCancellation(const SalesExportContext& context, std::int64_t venda, bool liveLinesRemain) {
  const TaskContext& task = context.task;
  Query& q = *task.db.query1;
  Query& q2 = *task.db.query2;
  const FirstCancelledLine first = readFirstCancelledLine(q);
  const std::string caixa = liveLinesRemain ? kStoreWideRegister : first.terminal;

  std::string numero = first.numero;
  std::string batch;
  // An amount that cannot be read, on a line or a pseudo-line, fails the build of this one
  // cancellation like any other fault of its document.
  const std::optional<Movement> movement = guardedBuild(task.log, "Erro: ", [&] {
    MovementInput input;
    input.kind = liveLinesRemain ? MovementKind::kPartialCancellation : MovementKind::kWholeCancellation;
    SaleAmounts& amounts = input.amounts;
    amounts.acressimo = firstAmount(forSale(q2, kSurchargeSql, venda), "acressimo");
    amounts.taxaentrega = firstAmount(forSale(q2, kDeliveryFeeSql, venda), "taxaentrega");
    forSale(q2, kExtraDiscountSql, venda).setString("codigoproduto", "XXDESCONTOXX");
    amounts.desconto = firstAmount(q2, "desconto");
    for (; !q.eof(); q.next()) input.lines.push_back(readSaleLine(q));
    input.paymentRow = [&q, venda] {
      forSale(q, kPaymentSql, venda).open();
      return readPaymentRow(q);
    };
    input.cardRows = [&q2, venda] {
      forSale(q2, kCardRowsSql, venda).open();
      return readCardRows(q2);
    };
    return buildMovement(input, context.random, task.clock);
  });
  if (movement) {
    numero = movement->numero;
    batch = movement->batch();
  }

  const TVarentaRetornos answer = task.cloud.postEnviarVenda(caixa, batch);
  logPostVerdict(task.log, (liveLinesRemain ? "[CancP= " : "[CancT= ") + withoutDashes(numero) + "]", answer,
                 batch);
  if (first.lateClosingDay) context.ReenviaCaixaVarenta(*first.lateClosingDay, first.terminal);
}

}  // namespace

void EnviarVendasCanceladas(const SalesExportContext& context) {
  const TaskContext& task = context.task;
  VarentaSettings& settings = task.settings;
  const ExportTimerHold timerHold(task.timer, settings);
  renewConnection(task.db, task.clock.monotonic());
  Query& q = *task.db.query1;

  q.setSql(kNextCancellationSql);
  q.setInteger("varenta_ultcancelamento", settings.ultCancelamento);
  q.setDate("datainicio", settings.dataInicio);
  q.open();
  const std::int64_t venda = q.field("venda").asInteger();
  const std::int64_t codigo = q.field("codigocancelamento").asInteger();
  if (venda < 1) {
    task.reloadSettings();
    return;
  }
  // Taken before the cancelled lines are read, so every code up to the run's end belongs to a line
  // the movement holds; a line cancelled after this point goes with a later call.
  forSale(q, kCancellationRunSql, venda).setInteger("codigocancelamento", codigo);
  q.open();
  const std::int64_t runEnd = std::max(codigo, q.field("ultimo").asInteger());

  forSale(q, kLiveLinesSql, venda).open();
  const bool liveLinesRemain = !q.eof();
  forSale(q, kCancelledLinesSql, venda).setDate("datainicio", settings.dataInicio);
  q.open();
  // A code on a line that was never cancelled leaves nothing to send; the mark still goes past it.
  if (!q.eof()) sendCancellation(context, venda, liveLinesRemain);

  settings.ultCancelamento = runEnd;
  q.setSql(kCancellationMarkSql);
  q.setInteger("codigocancelamento", settings.ultCancelamento);
  q.execute();
  task.reloadSettings();
}

}  // namespace varenta
