#pragma once
// Rows of the store's sales tables for tests, written as the point of sale writes them: a line of
// `vendas`, the cash record of `caixa` (or `caixacancelado`) and a card row of `vendacartao` (or
// `vendacartaocancelada`). Members a test leaves alone hold a plain live line or a cash sale of
// nothing; amounts and dates are SQL literals' text, an empty text or an absent number is NULL.

#include <optional>
#include <string>
#include <string_view>

#include "tests/firebird/test_database.h"

namespace varenta::testing {

struct VendaRow {
  int sequencial = 0;
  int venda = 0;
  std::string data = "2024-06-10";
  std::string hora = "10:00:00";
  std::optional<int> codigocliente{};
  std::string cancelamento{};  // a timestamp; empty for a live line
  std::optional<int> codigocancelamento{};
  std::string codigoproduto = "7891000100103";
  std::string produto{};  // the line's own text; the pseudo-lines' kind of extra discount
  std::string quantidade = "1";
  std::string precounitario = "10";
  std::string subtotal = "10";
  std::string desconto = "0";
  std::string precototal = "10";
  std::string precoautomatico = "10";
  std::string numeroserie = "ECF-IF";
  std::optional<int> numerocoo{};
  std::optional<int> terminal{};
};

struct CaixaRow {
  int codigovenda = 0;
  std::string naturezadaoperacao = "Venda a Vista";
  std::string dinheiro{};
  std::string cheque{};
  std::string cartao{};
  std::string troco{};
  std::string total{};
  std::string carteiradigital{};
  std::string valetroca{};
  std::string ecommerce{};
  bool cancelado = false;  // a record of `caixacancelado`
};

struct CartaoRow {
  int codigovenda = 0;
  std::string autorizacao{};
  std::string bin{};
  std::string ultimosquatrodigitos{};
  std::string operacao{};
  std::string valortotal{};
  bool cancelada = false;  // a row of `vendacartaocancelada`
};

namespace detail {

inline std::string text(std::string_view value) {
  if (value.empty()) return "null";
  std::string quoted = "'";
  for (char c : value) quoted += c == '\'' ? std::string("''") : std::string(1, c);
  return quoted + "'";
}

inline std::string number(const std::optional<int>& value) {
  return value ? std::to_string(*value) : "null";
}

}  // namespace detail

inline void insert(TestDatabase& db, const VendaRow& r) {
  using detail::number;
  using detail::text;
  db.exec(
      "insert into vendas (sequencial, venda, data, hora, codigocliente, cancelamento, codigocancelamento, "
      "codigoproduto, produto, quantidade, precounitario, subtotal, desconto, precototal, precoautomatico, "
      "numeroserie, numerocoo, terminal) values (" +
      std::to_string(r.sequencial) + ", " + std::to_string(r.venda) + ", " + text(r.data) + ", " +
      text(r.hora) + ", " + number(r.codigocliente) + ", " + text(r.cancelamento) + ", " +
      number(r.codigocancelamento) + ", " + text(r.codigoproduto) + ", " + text(r.produto) + ", " +
      text(r.quantidade) + ", " + text(r.precounitario) + ", " + text(r.subtotal) + ", " + text(r.desconto) +
      ", " + text(r.precototal) + ", " + text(r.precoautomatico) + ", " + text(r.numeroserie) + ", " +
      number(r.numerocoo) + ", " + number(r.terminal) + ")");
}

inline void insert(TestDatabase& db, const CaixaRow& r) {
  using detail::text;
  db.exec(std::string("insert into ") + (r.cancelado ? "caixacancelado" : "caixa") +
          " (codigovenda, naturezadaoperacao, dinheiro, cheque, cartao, troco, total, carteiradigital, "
          "valetroca, "
          "ecommerce) values (" +
          std::to_string(r.codigovenda) + ", " + text(r.naturezadaoperacao) + ", " + text(r.dinheiro) + ", " +
          text(r.cheque) + ", " + text(r.cartao) + ", " + text(r.troco) + ", " + text(r.total) + ", " +
          text(r.carteiradigital) + ", " + text(r.valetroca) + ", " + text(r.ecommerce) + ")");
}

inline void insert(TestDatabase& db, const CartaoRow& r) {
  using detail::text;
  db.exec(std::string("insert into ") + (r.cancelada ? "vendacartaocancelada" : "vendacartao") +
          " (codigovenda, autorizacao, bin, ultimosquatrodigitos, operacao, valortotal) values (" +
          std::to_string(r.codigovenda) + ", " + text(r.autorizacao) + ", " + text(r.bin) + ", " +
          text(r.ultimosquatrodigitos) + ", " + text(r.operacao) + ", " + text(r.valortotal) + ")");
}

}  // namespace varenta::testing
