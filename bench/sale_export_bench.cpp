// The new-sale export end to end, against the local Firebird server (scripts/firebird-up.sh) and
// the cloud stand-in on loopback: one sale exported by the task beside its floor (the same attach,
// statements and POST done back to back with no other work), the floor's three parts alone, and a
// catch-up of 1,000 waiting sales, one call of the task after another.

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

#include "sales/new_sale_export.h"
#include "tests/tasks/store_rows.h"
#include "tests/tasks/task_fixture.h"

namespace varenta {
namespace {

using testing::CaixaRow;
using testing::CartaoRow;
using testing::VendaRow;

// A store with the company row and `count` waiting sales numbered from 1, each of three lines
// paid by a debit card and cash.
struct Store {
  explicit Store(int count) {
    f.database.exec(
        "insert into produtos (codigo, produto) values ('7891000100103', 'DIPIRONA 500MG/10CPR')");
    for (int venda = 1; venda <= count; ++venda) {
      for (int line = 0; line < 3; ++line)
        insert(f.database, VendaRow{.sequencial = venda * 3 + line, .venda = venda, .numerocoo = venda});
      insert(f.database, CaixaRow{.codigovenda = venda, .dinheiro = "10", .cartao = "20"});
      insert(f.database, CartaoRow{.codigovenda = venda,
                                   .autorizacao = "4512",
                                   .bin = "516292",
                                   .ultimosquatrodigitos = "4821",
                                   .operacao = "DÉBITO",
                                   .valortotal = "20"});
    }
  }

  SalesExportContext context() {
    return {f.context(), random, [](DateTime, const std::string&) {}};
  }

  testing::TaskFixture f{DateTime::fromParts(2024, 6, 20, 9)};
  PseudoRandom random{1};
};

// The statements the export runs for sale 1 of the store above, with the same texts, bindings and
// handles: the next sale, its lines, surcharge, delivery fee, extra discount and cancellation
// states, its payment row and card rows; the sale mark comes after the post.
void runSaleStatements(StoreDb& db, DateTime dataInicio) {
  Query& q = *db.query1;
  Query& q2 = *db.query2;
  q.setSql(
      "select first 1 coalesce(v.venda, 0) as venda from  vendas v where v.venda > :varenta_ultvenda and   "
      "v.data  >= :datainicio and   v.codigoproduto not in ('XXDESCONTOXX',  'XXACRESCIMOXX',  "
      "'XXENTREGAXX',  "
      "'RECARGACELULAR') order by v.venda");
  q.setInteger("varenta_ultvenda", 0);
  q.setDate("datainicio", dataInicio);
  q.open();
  q.setSql(
      "select  v.sequencial, v.venda, v.data, v.hora, cast(v.data || ' ' || v.hora AS timestamp) as "
      "datahora, "
      "v.codigocliente, c.nome, coalesce(c.cic, '') as cic, coalesce(v.cancelamento, '') as cancelamento, "
      "coalesce(v.unidade,'UN') as unidade, v.codigoproduto, iif(char_length(hash(v.codigoproduto))>10, "
      "substring(v.codigoproduto from char_length(v.codigoproduto) - 5 for 6), hash(v.codigoproduto)) as "
      "codhashinterno, p.produto, coalesce(v.precounitario, 0.00) as precounitario, coalesce(v.quantidade, "
      "0.000) "
      "as quantidade, coalesce(v.subtotal, 0.00) as subtotal, coalesce(v.desconto, 0.00) as desconto, "
      "coalesce(v.precototal, 0.00) as precototal, coalesce(v.precoautomatico, 0.00) as precoautomatico, "
      "coalesce(v.precocusto, 0.00) as precocusto, coalesce(v.farmaciapopular, 'N') as farmaciapopular, "
      "v.numeroserie, v.numerocoo, coalesce(v.terminal, 1) as terminal from vendas v left join produtos p on "
      "v.codigoproduto = p.codigo left join clientes c on v.codigocliente = c.codigo where v.venda = :venda "
      "and "
      "v.data >= :datainicio and v.codigoproduto not in ('XXDESCONTOXX',  'XXACRESCIMOXX',  'XXENTREGAXX',  "
      "'RECARGACELULAR') ");
  q.setInteger("venda", 1);
  q.setDate("datainicio", dataInicio);
  q.open();
  for (const char* sql : {
           "select coalesce(v.subtotal, 0.00) as acressimo from vendas v where v.venda = :venda and "
           "v.codigoproduto = 'XXACRESCIMOXX' ",
           "select coalesce(v.subtotal, 0.00) as taxaentrega from vendas v where v.venda = :venda and "
           "v.codigoproduto = 'XXENTREGAXX' ",
           "select iif(coalesce(v.subtotal, 0.00) < 0.00, (v.subtotal-(v.subtotal*2)), v.subtotal) as "
           "desconto "
           "from vendas v where v.venda = :venda and v.codigoproduto = :codigoproduto and v.produto = "
           "'Desconto "
           "Adicional' ",
           "select distinct(cancelamento) as cancelamento from vendas v where v.venda = :venda",
       }) {
    q2.setSql(sql);
    q2.setInteger("venda", 1);
    if (q2.sql().find(":codigoproduto") != std::string::npos) q2.setString("codigoproduto", "XXDESCONTOXX");
    q2.open();
  }
  q.setSql(
      " select first 1 coalesce(c.naturezadaoperacao, '') as naturezadaoperacao , coalesce(c.dinheiro, 0.00) "
      "as "
      "dinheiro , coalesce(c.cheque, 0.00) as cheque , coalesce(c.cartao, 0.00) as cartao , "
      "coalesce(c.troco, "
      "0.00) as troco , coalesce(c.total, 0.00) as total , coalesce(c.carteiradigital, 0.00) as "
      "carteiradigital "
      ", coalesce(c.valetroca, 0.00) as valetroca, coalesce(c.ecommerce, 0.00) as ecommerce , "
      "lpad(v.autorizacao, 6, '0') as autorizacao  , coalesce(v.bin, '') as bin  , "
      "coalesce(v.ultimosquatrodigitos, '') as ultimosquatrodigitos  , coalesce(c.numerocoo, 1) as numerocoo "
      ", "
      "coalesce(v.operacao, '') as operacao , coalesce(v.movimento, 9999) as movimento from caixa c left "
      "join "
      "vendacartao v on c.codigovenda = v.codigovenda left join vendas x on c.codigovenda = x.venda where "
      "c.codigovenda = :venda ");
  q.setInteger("venda", 1);
  q.open();
  q2.setSql("select * from vendacartao x where x.codigovenda = :venda");
  q2.setInteger("venda", 1);
  q2.open();
}

void updateSaleMark(StoreDb& db) {
  Query& q = *db.query1;
  q.setSql(
      "update padrao set varenta_ultvenda = :venda where codigo is not null and coalesce(cgc, '') <> '' ");
  q.setInteger("venda", 1);
  q.execute();
}

void BM_TaskExportsOneSale(benchmark::State& state) {
  Store store(1);
  for (auto _ : state) {
    store.f.settings.ultVenda = 0;
    EnviarVendasVarenta(store.context());
  }
  if (store.f.log.lines().back().rfind("[Venda= 1]Ok:", 0) != 0)
    state.SkipWithError("the sale was not accepted");
}
BENCHMARK(BM_TaskExportsOneSale)->UseRealTime()->Unit(benchmark::kMillisecond);

// The floor: the task's attach, statements, post and mark update, with nothing between them.
void floorOfOneSale(Store& store, const std::string& batch) {
  StoreDb& db = store.f.db;
  db.connection->close();
  db.connection->open();
  runSaleStatements(db, store.f.settings.dataInicio);
  benchmark::DoNotOptimize(store.f.cloud.postEnviarVenda("1", batch));
  updateSaleMark(db);
}

void BM_FloorOfOneSale(benchmark::State& state) {
  Store store(1);
  EnviarVendasVarenta(store.context());
  const std::string batch = store.f.standIn.journal().back().body;
  for (auto _ : state) floorOfOneSale(store, batch);
}
BENCHMARK(BM_FloorOfOneSale)->UseRealTime()->Unit(benchmark::kMillisecond);

// The task and its floor taken in turns, so that both meet the same load on the machine: the
// counters give each one's mean time and the task's time over the floor's.
void BM_TaskAndFloorInTurns(benchmark::State& state) {
  using Clock = std::chrono::steady_clock;
  Store store(1);
  EnviarVendasVarenta(store.context());
  const std::string batch = store.f.standIn.journal().back().body;
  Clock::duration task{}, floor{};
  for (auto _ : state) {
    const Clock::time_point start = Clock::now();
    store.f.settings.ultVenda = 0;
    EnviarVendasVarenta(store.context());
    const Clock::time_point between = Clock::now();
    floorOfOneSale(store, batch);
    floor += Clock::now() - between;
    task += between - start;
  }
  const double n = static_cast<double>(state.iterations());
  const auto ms = [n](Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count() / n; };
  state.counters["task_ms"] = ms(task);
  state.counters["floor_ms"] = ms(floor);
  state.counters["task_over_floor"] = ms(task) / ms(floor);
}
BENCHMARK(BM_TaskAndFloorInTurns)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_FloorPartAttach(benchmark::State& state) {
  Store store(1);
  for (auto _ : state) {
    store.f.db.connection->close();
    store.f.db.connection->open();
  }
}
BENCHMARK(BM_FloorPartAttach)->UseRealTime()->Unit(benchmark::kMillisecond);

// The statements and the mark update on a connection that stays open (each still prepared anew,
// as the export prepares them after its reopening).
void BM_FloorPartStatements(benchmark::State& state) {
  Store store(1);
  for (auto _ : state) {
    runSaleStatements(store.f.db, store.f.settings.dataInicio);
    updateSaleMark(store.f.db);
  }
}
BENCHMARK(BM_FloorPartStatements)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_FloorPartPost(benchmark::State& state) {
  Store store(1);
  EnviarVendasVarenta(store.context());
  const std::string batch = store.f.standIn.journal().back().body;
  for (auto _ : state) benchmark::DoNotOptimize(store.f.cloud.postEnviarVenda("1", batch));
}
BENCHMARK(BM_FloorPartPost)->UseRealTime()->Unit(benchmark::kMillisecond);

// 1,000 sales waiting, exported by 1,000 calls of the task back to back.
void BM_CatchUpThousandSales(benchmark::State& state) {
  Store store(1000);
  for (auto _ : state) EnviarVendasVarenta(store.context());
  state.SetItemsProcessed(state.iterations());
  if (store.f.stored("varenta_ultvenda") != 1000) state.SkipWithError("not every sale was exported");
}
BENCHMARK(BM_CatchUpThousandSales)->Iterations(1000)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace varenta
