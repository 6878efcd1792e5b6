#pragma once
// The rows of a generated store, kept as the test's own record of what it put into the database:
// the integration row, articles, customers, and sales with their lines, payment records, card
// payments and cancellations. Expected documents are worked out from this record, never from what
// the service or the stand-in did with it.

#include <optional>
#include <string>
#include <vector>

#include "base/datetime.h"
#include "base/decimal.h"

namespace varenta::e2e {

struct Product {
  std::string code;         // produtos.codigo, the bar code
  std::string name;         // produtos.produto
  Decimal price;            // the list price
  std::string articleCode;  // what the store database makes of the code (its HASH, or the code's tail)
};

struct Customer {
  int codigo = 0;
  std::string nome;
  std::string cic;  // as the store keeps it, blanks included
};

// Pseudo-lines carry amounts of the whole sale and are never sent as articles.
enum class LineKind { Article, ExtraDiscount, Surcharge, DeliveryFee, PhoneTopUp };

struct SaleLine {
  int sequencial = 0;
  LineKind kind = LineKind::Article;
  std::string codigoproduto;
  std::string produto;  // the vendas column (the description at the counter)
  Decimal quantidade;
  Decimal precounitario;
  Decimal subtotal;
  Decimal desconto;
  Decimal precototal;
  Decimal precoautomatico;
  std::optional<DateTime> cancelamento;
  std::optional<int> codigocancelamento;  // article lines only

  // What the store counts for the line: the automatic price when the total is zero.
  Decimal amount() const { return precototal.isZero() ? precoautomatico : precototal; }
};

struct CardPayment {
  std::string autorizacao;
  std::string bin;
  std::string ultimosquatrodigitos;
  std::string operacao;
  Decimal valortotal;
};

// A row of caixa (or of caixacancelado for a sale cancelled whole).
struct PaymentRecord {
  std::string naturezadaoperacao;
  Decimal dinheiro;
  Decimal cheque;
  Decimal cartao;
  Decimal troco;
  Decimal total;
  Decimal carteiradigital;
  Decimal valetroca;
  Decimal ecommerce;
};

enum class Cancellation { None, Whole, Partial };

struct Sale {
  int venda = 0;
  DateTime moment;              // data and hora
  std::optional<int> terminal;  // NULL on the register that never had its number set
  int numerocoo = 0;
  std::string numeroserie;  // "NAO FISCAL" for a sale without a fiscal receipt
  std::optional<int> codigocliente;
  std::string kind;                // how it was paid, in the generator's words (reports)
  std::vector<SaleLine> lines;     // articles first, then pseudo-lines, in sequencial order
  PaymentRecord payment;           // in caixa, or in caixacancelado when cancelled whole
  std::vector<CardPayment> cards;  // in vendacartao, or vendacartaocancelada when cancelled whole
  Cancellation cancellation = Cancellation::None;

  int registerNumber() const { return terminal.value_or(1); }
  DateTime day() const { return moment.date(); }
  bool hasArticles() const;
  // The first and the last cancellation code of the sale's cancelled articles (0 when none).
  int firstCancellationCode() const;
  int lastCancellationCode() const;
  std::optional<DateTime> cancelledAt() const;
};

struct StoreSettings {
  int codigo = 1;
  std::string cgc = "12.345.678/0001-95";
  std::string usuario = "varenta";
  std::string senha = "varenta";
  std::string url;  // the stand-in's base URL, without a trailing "/"
  std::string idEmpresa = "12";
  std::string idLocal = "1";
  DateTime dataInicio;  // as written into padrao (it may be adjusted by the service)
};

// Rows the promotion import is expected to find already in the store (so that a rejection has
// something to mark).
struct KnownPromotion {
  int codigopromocao = 0;
  std::string descricao;
};
struct KnownBasket {
  std::string codigo;
  int codigovarenta = 0;
  std::string descricao;
};

struct Store {
  StoreSettings settings;
  DateTime today;  // the day the store was generated for (the database's CURRENT_DATE)
  std::vector<Product> products;
  std::vector<Customer> customers;
  std::vector<Sale> sales;  // in number order
  std::vector<KnownPromotion> knownPromotions;
  std::vector<KnownBasket> knownBaskets;

  // The start date as the service works with it: never more than two months before today.
  DateTime effectiveStart() const;
  const Product* product(const std::string& code) const;
  const Customer* customer(int codigo) const;
};

}  // namespace varenta::e2e
