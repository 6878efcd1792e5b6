// A year unattended, in fast motion: the real program on a store that is in step, ticking idle
// (the probe, the look for a new sale and for a new cancellation) 10,000 times at 1/1000 of real
// time against the cloud stand-in. It reports the program's own memory (RssAnon: heap and stacks,
// without the shared libraries' pages) along the way and the slope of a straight line through it:
// bytes per tick, and what that makes in a real day of 8,640 idle ticks. Goal: flat, within 0.1 MB
// over the run.
//
//   build/bench/idle_soak_bench                       10,000 ticks
//   SOAK_TICKS=2000 build/bench/idle_soak_bench       a shorter run

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "base/clock.h"
#include "tests/e2e/cloud_fixture.h"
#include "tests/e2e/service_run.h"
#include "tests/e2e/store_generator.h"
#include "tests/firebird/test_database.h"
#include "tests/standin/standin_launcher.h"
#include "tests/support/temp_dir.h"

namespace varenta {
namespace {

using namespace std::chrono_literals;

long anonKiB(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("RssAnon:", 0) == 0) return std::stol(line.substr(8));
  return -1;
}

// The probe's HEAD requests at the stand-in: one per tick.
long ticks(const StandIn& standIn) {
  long n = 0;
  for (const JournalEntry& e : standIn.journal()) n += e.method == "HEAD";
  return n;
}

// Least-squares slope of kib over tick, in bytes per tick.
double bytesPerTick(const std::vector<std::pair<long, long>>& samples) {
  double n = 0, sx = 0, sy = 0, sxx = 0, sxy = 0;
  for (const auto& [x, y] : samples) {
    n += 1, sx += x, sy += y, sxx += double(x) * x, sxy += double(x) * y;
  }
  const double d = n * sxx - sx * sx;
  return d == 0 ? 0 : 1024 * (n * sxy - sx * sy) / d;
}

void BM_IdleTicksMemory(benchmark::State& state) {
  const char* asked = std::getenv("SOAK_TICKS");
  const long total = asked ? std::atol(asked) : 10000;
  testing::TestDatabase db;
  StandIn standIn;
  e2e::StoreRecipe recipe;
  recipe.sales = 20;
  recipe.today = systemClock().now();
  recipe.standInUrl = standIn.baseUrl();
  e2e::Store store = e2e::generateStore(recipe);
  e2e::writeStore(db.connection(), store);
  for (const auto& [name, text] : e2e::cloudFiles(store)) standIn.writeDataFile(name, text);
  // Everything already sent, polled and imported: every tick finds nothing to do.
  db.exec(
      "update padrao set varenta_ultvenda = (select max(venda) from vendas), "
      "varenta_ultcancelamento = (select coalesce(max(codigocancelamento), 0) from vendas), "
      "varenta_ultcaixa = current_date, varenta_verificapromo = current_timestamp, "
      "varenta_verificareenvio = current_timestamp");

  TempDir dir("varenta-soak");
  e2e::ServiceRun service(VARENTA_SERVICE_BINARY, dir.dir(), "127.0.0.1", db.path());
  const std::string probeHost = "127.0.0.1:" + std::to_string(standIn.port());
  for (auto _ : state) {
    service.start("0.001", probeHost);
    // The first thousand ticks settle the program (its first allocations, the client library's
    // caches); the slope is taken over the rest.
    const long warmUp = std::min(1000L, total / 10);
    std::vector<std::pair<long, long>> samples;
    for (long done = 0; done < total && service.running(); done = ticks(standIn)) {
      if (done >= warmUp) samples.emplace_back(done, anonKiB(service.pid()));
      std::this_thread::sleep_for(1s);
    }
    const long ticked = ticks(standIn);
    samples.emplace_back(ticked, anonKiB(service.pid()));
    service.stop();
    if (samples.size() < 3) {
      state.SkipWithError("the program stopped before it ticked");
      return;
    }
    const double slope = bytesPerTick(samples);
    state.counters["ticks"] = static_cast<double>(ticked);
    state.counters["anon_start_KiB"] = static_cast<double>(samples.front().second);
    state.counters["anon_end_KiB"] = static_cast<double>(samples.back().second);
    state.counters["growth_KiB"] = static_cast<double>(samples.back().second - samples.front().second);
    state.counters["bytes_per_tick"] = slope;
    state.counters["KiB_per_real_day"] = slope * 8640 / 1024;
  }
}
BENCHMARK(BM_IdleTicksMemory)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
}  // namespace varenta
