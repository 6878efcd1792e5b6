// Building and serialising one movement: a ten-line sale paid by cheque, credit card and cash.
#include <benchmark/benchmark.h>

#include "sales/movement_builder.h"
#include "tests/support/manual_clock.h"

namespace varenta {
namespace {

MovementInput tenLineSale() {
  MovementInput in;
  in.kind = MovementKind::kSale;
  for (int i = 0; i < 10; ++i) {
    SaleLine line;
    line.venda = 98765;
    line.datahora = DateTime::fromParts(2024, 3, 5, 14, 7, 9);
    line.cic = "123.456.789-09";
    line.codigoproduto = "789642250621" + std::to_string(i);
    line.codhashinterno = "18293746" + std::to_string(10 + i);
    line.produto = "DIPIRONA SÓDICA 500MG/10 COMPRIMIDOS";
    line.quantidade = Decimal::parse("2");
    line.precounitario = Decimal::parse("12.35");
    line.subtotal = Decimal::parse("24.7");
    line.desconto = Decimal::parse("1.23");
    line.precototal = Decimal::parse("23.47");
    line.precoautomatico = Decimal::parse("24.7");
    line.numeroserie = "ECF-IF";
    line.numerocoo = "000321";
    in.lines.push_back(line);
  }
  PaymentRow row;
  row.naturezadaoperacao = "Venda a Vista";
  row.cheque = Decimal::parse("100");
  row.cartao = Decimal::parse("100");
  row.dinheiro = Decimal::parse("50");
  row.troco = Decimal::parse("15.3");
  row.operacao = "CRÉDITO";
  row.autorizacao = "001234";
  row.bin = "411111";
  in.paymentRow = [row] { return row; };
  in.cardRows = [] { return std::vector<CardRow>{}; };
  return in;
}

void BM_BuildTenLineSaleWithThreePayments(benchmark::State& state) {
  const MovementInput in = tenLineSale();
  ManualClock clock(DateTime::fromParts(2024, 3, 6));
  PseudoRandom random(1);
  for (auto _ : state) benchmark::DoNotOptimize(buildMovement(in, random, clock).batch());
  state.SetLabel(std::to_string(buildMovement(in, random, clock).batch().size()) + " bytes");
}
BENCHMARK(BM_BuildTenLineSaleWithThreePayments);

}  // namespace
}  // namespace varenta
