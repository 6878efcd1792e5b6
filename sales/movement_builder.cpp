#include "sales/movement_builder.h"

#include "base/error.h"
#include "base/text.h"
#include "sales/movement_json.h"
#include "sales/movement_payments.h"

namespace varenta {
namespace {

constexpr Decimal kZero;

// Surcharge and extra discount are never spread over the lines; when the sale has either, a line
// reports its automatic price and shows the difference to its subtotal as its discount.
MovementLine buildLine(const SaleLine& row, const SaleAmounts& amounts) {
  MovementLine line{
      row.codhashinterno, row.codigoproduto, row.produto, row.quantidade, row.precounitario, {}, {}};
  const bool adjusted = amounts.acressimo > kZero || amounts.desconto > kZero;
  if (row.precototal.isZero()) {
    line.importe = row.precoautomatico;
    line.descuento = kZero;
  } else if (adjusted && row.subtotal == row.precoautomatico && row.desconto > kZero) {
    line.importe = row.subtotal - row.desconto;
    line.descuento = row.desconto;
  } else if (adjusted) {
    line.importe = row.precoautomatico;
    line.descuento = row.subtotal - row.precoautomatico;
  } else {
    line.importe = row.precototal;
    line.descuento = row.desconto;
  }
  return line;
}

std::string drawnNumber(PseudoRandom& random, Clock& clock) {
  random.seed(static_cast<std::uint64_t>(clock.now().millisSinceZero()));
  return "-" + std::to_string(100'000'000 + random.below(900'000'000));
}

}  // namespace

std::string movementNumber(MovementKind kind, const SaleLine& first) {
  const std::string number(trimBlanksAndControls(
      first.numeroserie == "NAO FISCAL" ? std::to_string(first.venda) : first.numerocoo));
  return isCancellation(kind) ? "-" + number : number;
}

Movement buildMovement(const MovementInput& input, PseudoRandom& random, Clock& clock) {
  if (input.lines.empty()) throw EConvertError("A movement needs at least one sale line");
  const SaleLine& first = input.lines.front();

  RunningTotals totals;
  totals.amounts = input.amounts;
  std::vector<MovementLine> detalles;
  detalles.reserve(input.lines.size());
  for (const SaleLine& row : input.lines) {
    detalles.push_back(buildLine(row, input.amounts));
    totals.lineTotal += detalles.back().importe;
    totals.lineDiscountTotal += detalles.back().descuento;
  }

  const PaymentList payments = buildPayments(input, totals, random);
  Movement movement;
  movement.numero = input.kind == MovementKind::kPartialCancellation ? drawnNumber(random, clock)
                                                                     : movementNumber(input.kind, first);

  const SaleAmounts& a = totals.amounts;
  const Decimal descuentoTotal = totals.lineDiscountTotal + a.desconto;
  const Decimal total = totals.lineTotal + a.acressimo + a.taxaentrega - a.desconto;
  const Decimal recargoTotal = a.acressimo + a.taxaentrega;
  const std::string channel =
      payments.codigoCanalVenta == 1 ? "VENDA NA LOJA" + payments.channelText : payments.channelText;
  movement.json = JsonVenda(DateTimeToISO8601(first.datahora), movement.numero, descuentoTotal.toDouble(),
                            recargoTotal.toDouble(), "986", 1, total.toDouble(), isCancellation(input.kind),
                            std::string(trimBlanksAndControls(first.cic)), payments.codigoCanalVenta, channel,
                            detalles, payments.pagos);
  return movement;
}

}  // namespace varenta
