#include "sales/sale_document.h"

#include "sales/build_guard.h"
#include "sales/movement_builder.h"
#include "sales/row_reading.h"

namespace varenta {
namespace {

constexpr const char* kLinesSql =
    "select  v.sequencial, v.venda, v.data, v.hora, cast(v.data || ' ' || v.hora AS timestamp) as "
    "datahora, v.codigocliente, c.nome, coalesce(c.cic, '') as cic, coalesce(v.cancelamento, '') as "
    "cancelamento, coalesce(v.unidade,'UN') as unidade, v.codigoproduto, "
    "iif(char_length(hash(v.codigoproduto))>10, substring(v.codigoproduto from "
    "char_length(v.codigoproduto) - 5 for 6), hash(v.codigoproduto)) as codhashinterno, p.produto, "
    "coalesce(v.precounitario, 0.00) as precounitario, coalesce(v.quantidade, 0.000) as quantidade, "
    "coalesce(v.subtotal, 0.00) as subtotal, coalesce(v.desconto, 0.00) as desconto, "
    "coalesce(v.precototal, 0.00) as precototal, coalesce(v.precoautomatico, 0.00) as "
    "precoautomatico, coalesce(v.precocusto, 0.00) as precocusto, coalesce(v.farmaciapopular, 'N') "
    "as farmaciapopular, v.numeroserie, v.numerocoo, coalesce(v.terminal, 1) as terminal from "
    "vendas v left join produtos p on v.codigoproduto = p.codigo left join clientes c on "
    "v.codigocliente = c.codigo where v.venda = :venda and v.data >= :datainicio and "
    "v.codigoproduto not in ('XXDESCONTOXX',  'XXACRESCIMOXX',  'XXENTREGAXX',  'RECARGACELULAR') ";

constexpr const char* kSurchargeSql =
    "select coalesce(v.subtotal, 0.00) as acressimo from vendas v where v.venda = :venda and "
    "v.codigoproduto = 'XXACRESCIMOXX' ";

constexpr const char* kDeliveryFeeSql =
    "select coalesce(v.subtotal, 0.00) as taxaentrega from vendas v where v.venda = :venda and "
    "v.codigoproduto = 'XXENTREGAXX' ";

constexpr const char* kExtraDiscountSql =
    "select iif(coalesce(v.subtotal, 0.00) < 0.00, (v.subtotal-(v.subtotal*2)), v.subtotal) as "
    "desconto from vendas v where v.venda = :venda and v.codigoproduto = :codigoproduto and "
    "v.produto = 'Desconto Adicional' ";

constexpr const char* kCancellationStatesSql =
    "select distinct(cancelamento) as cancelamento from vendas v where v.venda = :venda";

constexpr const char* kCancelledAmountSql =
    "select sum(iif(v.precototal = 0.00, v.precoautomatico, v.precototal)) as "
    "totalcancelamentoparcial from vendas v where v.venda = :venda and v.cancelamento is not null";

constexpr const char* kLivePaymentSql =
    " select first 1 coalesce(c.naturezadaoperacao, '') as naturezadaoperacao , "
    "coalesce(c.dinheiro, 0.00) as dinheiro , coalesce(c.cheque, 0.00) as cheque , "
    "coalesce(c.cartao, 0.00) as cartao , coalesce(c.troco, 0.00) as troco , coalesce(c.total, "
    "0.00) as total , coalesce(c.carteiradigital, 0.00) as carteiradigital , coalesce(c.valetroca, "
    "0.00) as valetroca, coalesce(c.ecommerce, 0.00) as ecommerce , lpad(v.autorizacao, 6, '0') as "
    "autorizacao  , coalesce(v.bin, '') as bin  , coalesce(v.ultimosquatrodigitos, '') as "
    "ultimosquatrodigitos  , coalesce(c.numerocoo, 1) as numerocoo , coalesce(v.operacao, '') as "
    "operacao , coalesce(v.movimento, 9999) as movimento from caixa c left join vendacartao v on "
    "c.codigovenda = v.codigovenda left join vendas x on c.codigovenda = x.venda where "
    "c.codigovenda = :venda ";

constexpr const char* kCancelledPaymentSql =
    " select first 1 coalesce(c.naturezadaoperacao, '') as naturezadaoperacao , "
    "coalesce(c.dinheiro, 0.00) as dinheiro , coalesce(c.cheque, 0.00) as cheque , "
    "coalesce(c.cartao, 0.00) as cartao , coalesce(c.troco, 0.00) as troco , coalesce(c.total, "
    "0.00) as total , coalesce(c.carteiradigital, 0.00) as carteiradigital , coalesce(c.valetroca, "
    "0.00) as valetroca, coalesce(c.ecommerce, 0.00) as ecommerce , lpad(v.autorizacao, 6, '0') as "
    "autorizacao  , coalesce(v.bin, '') as bin  , coalesce(v.ultimosquatrodigitos, '') as "
    "ultimosquatrodigitos  , coalesce(c.numerocoo, 1) as numerocoo , coalesce(v.operacao, '') as "
    "operacao , coalesce(v.movimento, 9999) as movimento from caixacancelado c left join "
    "vendacartaocancelada v on c.codigovenda = v.codigovenda left join vendas x on c.codigovenda = "
    "x.venda where c.codigovenda = :venda ";

constexpr const char* kCardRowsSql = "select * from vendacartao x where x.codigovenda = :venda";

}  // namespace

std::optional<SaleDocument> buildSaleDocument(const SaleDocumentSource& source, std::int64_t venda) {
  Query& q = source.main;
  Query& q2 = source.second;
  forSale(q, kLinesSql, venda).setDate("datainicio", source.dataInicio);
  q.open();
  if (q.eof()) return std::nullopt;

  // Where the movement goes and what the log calls it come from the first line's texts alone, so
  // that a line whose amounts cannot be read is a failed build of its sale like any other.
  SaleDocument document;
  document.caixa = q.field("terminal").asString();
  document.numero = movementNumber(MovementKind::kSale, readSaleNumbering(q));

  const std::optional<Movement> movement = guardedBuild(source.log, source.errorPrefix, [&] {
    MovementInput input;
    SaleAmounts& amounts = input.amounts;
    amounts.acressimo = firstAmount(forSale(q2, kSurchargeSql, venda), "acressimo");
    amounts.taxaentrega = firstAmount(forSale(q2, kDeliveryFeeSql, venda), "taxaentrega");
    forSale(q2, kExtraDiscountSql, venda).setString("codigoproduto", "XXDESCONTOXX");
    amounts.desconto = firstAmount(q2, "desconto");
    // All rows live, or all cancelled at one moment, give one state; more than one makes the sale
    // partially cancelled, and its cash payment then includes the cancelled amount.
    forSale(q2, kCancellationStatesSql, venda).open();
    const bool partiallyCancelled = q2.recordCount() >= 2;
    if (partiallyCancelled)
      amounts.totalcancelamentoparcial =
          firstAmount(forSale(q2, kCancelledAmountSql, venda), "totalcancelamentoparcial");
    input.kind = partiallyCancelled ? MovementKind::kPartiallyCancelledSale : MovementKind::kSale;

    std::string lastState;
    for (; !q.eof(); q.next()) {
      input.lines.push_back(readSaleLine(q));
      lastState = q.field("cancelamento").asString();
    }
    // A sale cancelled whole was paid as its cancelled cash record says.
    const char* paymentSql =
        !lastState.empty() && !partiallyCancelled ? kCancelledPaymentSql : kLivePaymentSql;
    input.paymentRow = [&q, paymentSql, venda] {
      forSale(q, paymentSql, venda).open();
      return readPaymentRow(q);
    };
    input.cardRows = [&q2, venda] {
      forSale(q2, kCardRowsSql, venda).open();
      return readCardRows(q2);
    };
    return buildMovement(input, source.random, source.clock);
  });
  if (movement) document.batch = movement->batch();
  return document;
}

}  // namespace varenta
