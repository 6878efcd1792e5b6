#pragma once
// The rows a movement is built from, as plain values. The new-sale export, the cancellation export
// and the sale resend fill them from their own queries; members carry the column names of those
// queries. Amounts and quantities are exact Decimals; texts are UTF-8, empty where the column is null.

#include <cstdint>
#include <string>

#include "base/datetime.h"
#include "base/decimal.h"

namespace varenta {

// Which document is built: a sale or a cancellation, each whole or partial.
enum class MovementKind {
  kSale,                    // a sale none of whose rows is cancelled (or all of them, alike)
  kPartiallyCancelledSale,  // a sale some of whose rows are cancelled: cash includes them
  kWholeCancellation,       // a cancellation after which no live line remains
  kPartialCancellation,     // a cancellation while live lines remain: cash only, drawn number
};

constexpr bool isCancellation(MovementKind kind) {
  return kind == MovementKind::kWholeCancellation || kind == MovementKind::kPartialCancellation;
}

// One line of the sale (never a pseudo-line or a phone top-up).
struct SaleLine {
  std::int64_t venda = 0;
  DateTime datahora;
  std::string cic;
  std::string codigoproduto;
  std::string codhashinterno;
  std::string produto;
  Decimal quantidade;
  Decimal precounitario;
  Decimal subtotal;
  Decimal desconto;
  Decimal precototal;
  Decimal precoautomatico;
  std::string numeroserie;
  std::string numerocoo;
};

// Amounts of the sale's pseudo-lines, each 0 when the sale has none.
struct SaleAmounts {
  Decimal acressimo;                 // surcharge
  Decimal taxaentrega;               // delivery fee
  Decimal desconto;                  // extra discount, as a positive amount
  Decimal totalcancelamentoparcial;  // cancelled amount of a partially cancelled sale
};

// The sale's cash-register record joined with its card record; all empty and 0 without one.
struct PaymentRow {
  std::string naturezadaoperacao;
  Decimal dinheiro;
  Decimal cheque;
  Decimal cartao;
  Decimal troco;
  Decimal carteiradigital;
  Decimal valetroca;
  Decimal ecommerce;
  std::string autorizacao;
  std::string bin;
  std::string ultimosquatrodigitos;
  std::string operacao;
};

// One card used to pay the sale.
struct CardRow {
  std::string operacao;
  Decimal valortotal;
  std::string autorizacao;
  std::string ultimosquatrodigitos;
  std::string bin;
};

}  // namespace varenta
