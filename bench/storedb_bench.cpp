// The store database layer against the local server (127.0.0.1:3050, scripts/firebird-up.sh):
// what one close-and-reopen of the connection costs (every settings load does one), and what one
// parameterised single-row select costs, with its text set anew as the tasks do and prepared once.

#include <benchmark/benchmark.h>

#include "storedb/connection.h"
#include "storedb/query.h"
#include "tests/firebird/test_database.h"

namespace varenta {
namespace {

// One database for the whole run, dropped when the program ends.
testing::TestDatabase& database() {
  static struct WithCompanyRow {
    testing::TestDatabase db;
    WithCompanyRow() { db.exec("insert into padrao (codigo, cgc, varenta_ultvenda) values (1, '1', 1500)"); }
  } store;
  return store.db;
}

constexpr const char* kSelect = "select varenta_ultvenda from padrao where codigo = :codigo";

void BM_CloseAndReopenConnection(benchmark::State& state) {
  Connection connection;
  database().configure(connection);
  connection.open();
  for (auto _ : state) {
    connection.close();
    connection.open();
  }
}
BENCHMARK(BM_CloseAndReopenConnection)->Unit(benchmark::kMillisecond);

void BM_SingleRowSelectTextSetEachTime(benchmark::State& state) {
  Connection connection;
  database().configure(connection);
  Query query(connection);
  for (auto _ : state) {
    query.setSql(kSelect);
    query.setInteger("codigo", 1);
    query.open();
    benchmark::DoNotOptimize(query.field("varenta_ultvenda").asInteger());
  }
}
BENCHMARK(BM_SingleRowSelectTextSetEachTime)->Unit(benchmark::kMicrosecond);

void BM_SingleRowSelectPreparedOnce(benchmark::State& state) {
  Connection connection;
  database().configure(connection);
  Query query(connection);
  query.setSql(kSelect);
  for (auto _ : state) {
    query.setInteger("codigo", 1);
    query.open();
    benchmark::DoNotOptimize(query.field("varenta_ultvenda").asInteger());
  }
}
BENCHMARK(BM_SingleRowSelectPreparedOnce)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace varenta
