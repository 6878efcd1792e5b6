#include "sales/movement_payments.h"

#include <optional>
#include <string_view>

namespace varenta {
namespace {

constexpr int kPix = 1;
constexpr int kCash = 9;  // also e-commerce, non-cash sales and every fallback
constexpr int kCreditCard = 10;
constexpr int kCheque = 11;
constexpr int kExchangeVoucher = 12;
constexpr int kDebitCard = 13;

constexpr Decimal kZero;

Decimal capped(Decimal amount, Decimal cap) {
  return amount <= cap ? amount : cap;
}

// The cash payment of a cash sale, when its mode gives one. Only a cancellation caps it.
std::optional<Decimal> cashAmount(MovementKind kind, const PaymentRow& row, Decimal cancelled, Decimal cap) {
  switch (kind) {
    case MovementKind::kSale:
      if (row.dinheiro > kZero) return row.dinheiro - row.troco;
      break;
    case MovementKind::kPartiallyCancelledSale:
      if (row.dinheiro > kZero) return row.dinheiro + cancelled - row.troco;
      if (row.dinheiro == kZero) return cancelled;
      break;
    case MovementKind::kWholeCancellation:
    case MovementKind::kPartialCancellation:
      if (row.dinheiro > kZero) return capped(row.dinheiro - row.troco, cap);
      break;
  }
  return std::nullopt;
}

class Payments {
 public:
  explicit Payments(PseudoRandom& random) : random_(random) {}

  void add(int kind, Decimal amount, std::string_view suffix) {
    list_.pagos.push_back({kind, amount, std::nullopt});
    list_.channelText += suffix;
  }

  // The store writes its debit operation with the accent; anything else is taken as credit.
  void addCard(const std::string& operacao, Decimal amount, const std::string& autorizacao,
               const std::string& ultimosquatrodigitos, const std::string& bin) {
    const bool debit = operacao == "DÉBITO";
    add(debit ? kDebitCard : kCreditCard, amount, debit ? "-CARTAO DEBITO" : "-CARTAO CREDITO");
    if (autorizacao.empty()) return;
    CardKeys& card = list_.pagos.back().card.emplace();
    if (ultimosquatrodigitos.empty())
      card.ultimosDigitosTarjeta = static_cast<int>(1000 + random_.below(9000));
    else
      card.ultimosDigitosTarjeta = ultimosquatrodigitos;
    card.numeroAutorizacion = autorizacao;
    card.bin = bin.empty() ? "123456" : bin;
  }

  void addEcommerce(Decimal amount) {
    list_.pagos.push_back({kCash, amount, std::nullopt});
    list_.channelText = "IFOOD";
    list_.codigoCanalVenta = 3;
  }

  bool empty() const { return list_.pagos.empty(); }
  PaymentList take() { return std::move(list_); }

 private:
  PseudoRandom& random_;
  PaymentList list_;
};

}  // namespace

PaymentList buildPayments(const MovementInput& input, RunningTotals& totals, PseudoRandom& random) {
  Payments payments(random);
  SaleAmounts& a = totals.amounts;
  if (input.kind == MovementKind::kPartialCancellation) {
    payments.add(kCash, totals.lineTotal, "-DINHEIRO");
    return payments.take();
  }
  const PaymentRow row = input.paymentRow();
  if (row.naturezadaoperacao != "Venda a Vista") {
    payments.add(kCash, totals.lineTotal + a.acressimo + a.taxaentrega - a.desconto, "-DINHEIRO");
    return payments.take();
  }

  const bool cancellation = isCancellation(input.kind);
  const Decimal cap = totals.lineTotal + a.acressimo + a.taxaentrega;
  if (row.cheque > kZero) payments.add(kCheque, capped(row.cheque, cap), "-CHEQUE");
  if (row.valetroca > kZero) payments.add(kExchangeVoucher, capped(row.valetroca, cap), "-DINHEIRO");
  if (row.cartao > kZero) {
    const std::vector<CardRow> cards = input.cardRows();
    if (cards.size() < 2) {
      payments.addCard(row.operacao, capped(row.cartao, cap), row.autorizacao, row.ultimosquatrodigitos,
                       row.bin);
    } else {
      const Decimal limit = cancellation ? cap : totals.lineTotal;
      for (const CardRow& card : cards)
        payments.addCard(card.operacao, capped(card.valortotal, limit), card.autorizacao,
                         card.ultimosquatrodigitos, card.bin);
    }
  }
  if (row.carteiradigital > kZero) payments.add(kPix, capped(row.carteiradigital, cap), "-PIX");
  if (row.ecommerce > kZero) payments.addEcommerce(capped(row.ecommerce, cap));
  if (const auto cash = cashAmount(input.kind, row, a.totalcancelamentoparcial, cap))
    payments.add(kCash, *cash, "-DINHEIRO");

  if (payments.empty()) {
    // Nothing recorded as paid: the lines are reported as paid in cash, and the totals then drop
    // both discounts and the surcharge but keep the delivery fee.
    payments.add(kCash, cancellation ? cap : totals.lineTotal, "-DINHEIRO");
    totals.lineDiscountTotal = kZero;
    a.desconto = kZero;
    a.acressimo = kZero;
  }
  return payments.take();
}

}  // namespace varenta
