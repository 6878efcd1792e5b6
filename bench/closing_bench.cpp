// The daily closing of a store with 3 registers and 200 sales a day (two lines each; one sale in 20
// partly cancelled, one in 40 cancelled whole), closing 15, 30 and 60 past days in one call, against
// the floor: the same statements and posts run bare, one after the other, in the same run. The
// per_day counter shows whether the time grows with the number of days alone.

#include <benchmark/benchmark.h>

#include <chrono>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "closing/closing_sql.h"
#include "closing/fechamento_caixa.h"
#include "tests/firebird/test_database.h"
#include "tests/standin/standin_launcher.h"
#include "tests/support/manual_clock.h"

namespace varenta {
namespace {

constexpr int kDaysStored = 60;

class DiscardingLog : public ServiceLog {
 public:
  void DoSaveLog(std::string_view) override {}
};

// Every line of the 60 days before the server's today, put in by the server itself.
constexpr const char* kSales =
    "insert into vendas (sequencial, venda, data, hora, codigoproduto, precototal, precoautomatico, "
    "cancelamento, terminal) "
    "with recursive n as (select 1 as i from rdb$database union all select i + 1 from n where i < 200) "
    "select ((d.i - 1) * 200 + s.i) * 2 + l.i, (d.i - 1) * 200 + s.i, dateadd(-d.i day to current_date), "
    "'10:00:00', 'P' || l.i, 10.00 + mod(s.i, 7) + l.i * 0.25, 0, "
    "iif((mod(s.i, 20) = 0 and l.i = 2) or mod(s.i, 40) = 1, dateadd(-d.i day to current_date), null), "
    "mod(s.i, 3) + 1 "
    "from n d join n s on d.i <= 60 join n l on l.i <= 2";

struct Store {
  testing::TestDatabase db;
  StandIn standIn;
  StoreDb storeDb;
  VarentaSettings settings;
  TVarenta cloud;
  ManualClock clock{DateTime()};
  DiscardingLog log;
  Timer timer;
  DateTime today;

  Store() {
    db.exec("insert into padrao (codigo, cgc) values (1, '1')");
    db.exec(kSales);
    storeDb.create();
    db.configure(*storeDb.connection);
    settings.baseUrl = standIn.baseUrl();
    settings.usuario = settings.senha = "varenta";
    settings.idEmpresa = "12";
    settings.idLocal = "1";
    cloud.setContext(clientContext(settings));
    Query q(db.connection());
    q.setSql("select current_date as today from rdb$database");
    q.open();
    today = q.field("today").asDateTime();
    clock.set(today + std::chrono::hours(9));
  }
  TaskContext task() {
    return {storeDb, settings, cloud, clock, log, timer, [] {}};
  }
};

Store& store() {
  static Store running;
  return running;
}

DateTime daysBack(int days) {
  return store().today - std::chrono::hours(24 * days);
}

void closeInOneCall(Store& s, int days) {
  s.settings.ultCaixa = daysBack(days);
  NotBefore hold(std::chrono::minutes(60));
  FechamentoCaixaVarenta({s.task(), [] {}, hold});
  if (s.settings.ultCaixa != s.today) throw std::runtime_error("the closing did not reach today");
}

// The floor: the same statements on the same handles and the same posts, without the task around
// them.
void runBare(Store& s, int days) {
  static const std::string kDocument =
      R"([{"montoVentaLiquida": 812.50, "montoCancelaciones": 0.00, "cantidadMovimientos": 3, )"
      R"("fechaVentas": "2024-03-04", "cantidadCancelaciones": 0 }])";
  Query& totals = *s.storeDb.query1;
  Query& query = *s.storeDb.query2;
  for (int d = days; d >= 1; --d) {
    const DateTime day = daysBack(d);
    totals.setSql(kClosingLiveTotals);
    totals.setDate("VARENTA_ULTCAIXA", day);
    totals.open();
    for (; !totals.eof(); totals.next()) {
      for (const char* sql : {kClosingPartialCancellations, kClosingWholeCancellations}) {
        query.setSql(sql);
        query.setDate("VARENTA_ULTCAIXA", day);
        query.setInteger("TERMINAL", totals.field("TERMINAL").asInteger());
        query.open();
      }
      benchmark::DoNotOptimize(s.cloud.postFechaCaixa(totals.field("TERMINAL").asString(), kDocument));
    }
    query.setSql(kStoreWidePartialCancellations);
    query.setDate("DATACAIXA", day);
    query.open();
    if (!query.eof()) benchmark::DoNotOptimize(s.cloud.postFechaCaixa("9999", kDocument));
    query.setSql(kClosingMarkUpdate);
    query.setDate("varenta_ultcaixa", day + std::chrono::hours(24));
    query.execute();
  }
}

double secondsOf(const std::function<void()>& run) {
  const auto start = std::chrono::steady_clock::now();
  run();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The machine is shared, so each iteration times the closing and its floor back to back (in
// alternating order) and the ratio compares runs made under the same load. The reported time is
// the closing's.
void BM_ClosingAgainstFloor(benchmark::State& state) {
  const int days = static_cast<int>(state.range(0));
  Store& s = store();
  double closing = 0;
  double floor = 0;
  bool closingFirst = true;
  for (auto _ : state) {
    double c = 0;
    double f = 0;
    if (closingFirst) {
      c = secondsOf([&] { closeInOneCall(s, days); });
      f = secondsOf([&] { runBare(s, days); });
    } else {
      f = secondsOf([&] { runBare(s, days); });
      c = secondsOf([&] { closeInOneCall(s, days); });
    }
    closingFirst = !closingFirst;
    state.SetIterationTime(c);
    closing += c;
    floor += f;
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["floor_ms"] = floor / n * 1e3;
  state.counters["ratio"] = closing / floor;
  state.counters["per_day_ms"] = closing / n / days * 1e3;
}
BENCHMARK(BM_ClosingAgainstFloor)
    ->Arg(15)
    ->Arg(30)
    ->Arg(kDaysStored)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();

}  // namespace
}  // namespace varenta
