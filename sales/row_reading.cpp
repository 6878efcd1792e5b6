#include "sales/row_reading.h"

namespace varenta {

Query& forSale(Query& query, const char* sql, std::int64_t venda) {
  query.setSql(sql);
  query.setInteger("venda", venda);
  return query;
}

Decimal firstAmount(Query& query, const char* column) {
  query.open();
  return query.field(column).asDecimal();
}

SaleLine readSaleNumbering(const Query& query) {
  SaleLine line;
  line.venda = query.field("venda").asInteger();
  line.numeroserie = query.field("numeroserie").asString();
  line.numerocoo = query.field("numerocoo").asString();
  return line;
}

SaleLine readSaleLine(const Query& query) {
  SaleLine line = readSaleNumbering(query);
  line.datahora = query.field("datahora").asDateTime();
  line.cic = query.field("cic").asString();
  line.codigoproduto = query.field("codigoproduto").asString();
  line.codhashinterno = query.field("codhashinterno").asString();
  line.produto = query.field("produto").asString();
  line.quantidade = query.field("quantidade").asDecimal();
  line.precounitario = query.field("precounitario").asDecimal();
  line.subtotal = query.field("subtotal").asDecimal();
  line.desconto = query.field("desconto").asDecimal();
  line.precototal = query.field("precototal").asDecimal();
  line.precoautomatico = query.field("precoautomatico").asDecimal();
  return line;
}

PaymentRow readPaymentRow(const Query& query) {
  PaymentRow row;
  row.naturezadaoperacao = query.field("naturezadaoperacao").asString();
  row.dinheiro = query.field("dinheiro").asDecimal();
  row.cheque = query.field("cheque").asDecimal();
  row.cartao = query.field("cartao").asDecimal();
  row.troco = query.field("troco").asDecimal();
  row.carteiradigital = query.field("carteiradigital").asDecimal();
  row.valetroca = query.field("valetroca").asDecimal();
  row.ecommerce = query.field("ecommerce").asDecimal();
  row.autorizacao = query.field("autorizacao").asString();
  row.bin = query.field("bin").asString();
  row.ultimosquatrodigitos = query.field("ultimosquatrodigitos").asString();
  row.operacao = query.field("operacao").asString();
  return row;
}

std::vector<CardRow> readCardRows(Query& query) {
  std::vector<CardRow> cards;
  for (; !query.eof(); query.next()) {
    cards.push_back({query.field("operacao").asString(), query.field("valortotal").asDecimal(),
                     query.field("autorizacao").asString(), query.field("ultimosquatrodigitos").asString(),
                     query.field("bin").asString()});
  }
  return cards;
}

}  // namespace varenta
