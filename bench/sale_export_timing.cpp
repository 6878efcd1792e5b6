// sale_export_timing: the real sale export timed sale by sale, built for Linux and for Windows from
// this one source (Google Benchmark has no mingw build here), so that bench/wine_ratio.sh can set
// the Windows program under wine beside the Linux one on the same store.
//
//   sale_export_timing SALES
//
// As the service does, it finds the store database through the Tolvane.ini beside it, connects and
// loads the settings with the cycle's connection step (the company row names the cloud, a stand-in
// here) and logs to Varenta.log beside it. Then it calls the sale export SALES times, one sale a call
// and nothing in between, and prints the mean and the median time a sale, and the mean time of its
// post to the cloud (the platform's HTTP client: libcurl, WinHTTP) within it:
//
//   sales=200 mean_ms=4.620 median_ms=4.402 post_ms=1.210
//
// The sale mark is put back where it was found, so that the next run exports the same sales. Exit 1
// when fewer sales wait, a call fails or the cloud does not accept a sale; 2 on a wrong command line.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <exception>
#include <iostream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "api/http_transport.h"
#include "base/clock.h"
#include "base/paths.h"
#include "base/timer.h"
#include "closing/reenvia_caixa.h"
#include "operator/backlog.h"
#include "sales/new_sale_export.h"
#include "servicelog/log_file.h"
#include "storedb/ini_conn.h"

namespace varenta {
namespace {

// The service's log, counting the sales the cloud accepted on the way.
class CountingLog : public ServiceLog {
 public:
  explicit CountingLog(LogFile& file) : file_(file) {}
  void DoSaveLog(std::string_view message) override {
    if (message.starts_with("[Venda= ") && message.find("]Ok:") != std::string_view::npos) ++accepted;
    file_.DoSaveLog(message);
  }
  void reportLost(std::string_view line, const std::exception& error) override {
    file_.reportLost(line, error);
  }

  int accepted = 0;

 private:
  LogFile& file_;
};

// The platform's transport, with the time spent in it.
class TimedTransport : public HttpTransport {
 public:
  HttpResponse send(const HttpRequest& request) override {
    const auto start = std::chrono::steady_clock::now();
    HttpResponse response = real_->send(request);
    spent += std::chrono::steady_clock::now() - start;
    return response;
  }

  std::chrono::steady_clock::duration spent{};

 private:
  std::unique_ptr<HttpTransport> real_ = makeHttpTransport();
};

void setSaleMark(StoreDb& db, std::int64_t venda) {
  Query& q = *db.query3;
  q.setSql(
      "update padrao set varenta_ultvenda = :venda where codigo is not null and coalesce(cgc, '') <> '' ");
  q.setInteger("venda", venda);
  q.execute();
}

int run(int sales) {
  using Clock = std::chrono::steady_clock;
  LogFile file(systemClock(), executableDir());
  CountingLog log(file);
  StoreDb db;
  VarentaSettings settings;
  Timer timer;
  TFBConn fbConn;
  DatabaseLocation location;
  bool connected = false;
  IniConn({{db, settings, timer, systemClock(), log}, fbConn, location, connected, executableDir()});
  if (!connected) {
    std::cerr << "sale_export_timing: no store database (see " << file.path() << ")\n";
    return 1;
  }
  auto timed = std::make_unique<TimedTransport>();
  const TimedTransport& transport = *timed;
  TVarenta cloud{std::move(timed)};
  cloud.setContext(clientContext(settings));
  const TaskContext task{db, settings, cloud, systemClock(), log, timer, [&] {
                           GetCredenciaisVarenta({db, settings, timer, systemClock(), log});
                           cloud.setContext(clientContext(settings));
                         }};
  const std::int64_t waiting = countBacklog(*db.query3, settings, systemClock().now()).sales;
  if (waiting < sales) {
    std::cerr << "sale_export_timing: " << waiting << " sales waiting, fewer than " << sales << "\n";
    return 1;
  }

  PseudoRandom random(1);
  const SalesExportContext context{task, random, [&](DateTime day, const std::string& terminal) {
                                     resendOwedClosing(task, day, terminal);
                                   }};
  const std::int64_t mark = settings.ultVenda;
  std::vector<double> ms;
  int status = 0;
  try {
    for (int i = 0; i < sales; ++i) {
      const Clock::time_point start = Clock::now();
      EnviarVendasVarenta(context);
      ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
  } catch (const std::exception& e) {
    std::cerr << "sale_export_timing: sale " << ms.size() + 1 << ": " << e.what() << "\n";
    status = 1;
  }
  setSaleMark(db, mark);
  db.release();
  if (status != 0) return status;
  if (log.accepted != sales) {
    std::cerr << "sale_export_timing: the cloud accepted " << log.accepted << " of " << sales
              << " sales (see " << file.path() << ")\n";
    return 1;
  }
  double total = 0;
  for (const double m : ms) total += m;
  std::sort(ms.begin(), ms.end());
  std::printf("sales=%d mean_ms=%.3f median_ms=%.3f post_ms=%.3f\n", sales, total / sales, ms[ms.size() / 2],
              std::chrono::duration<double, std::milli>(transport.spent).count() / sales);
  return 0;
}

}  // namespace
}  // namespace varenta

int main(int argc, char** argv) {
  int sales = 0;
  try {
    if (argc == 2) sales = std::stoi(argv[1]);
  } catch (const std::exception&) {
  }
  if (sales < 1) {
    std::cerr << "usage: sale_export_timing SALES\n";
    return 2;
  }
  try {
    return varenta::run(sales);
  } catch (const std::exception& e) {
    std::cerr << "sale_export_timing: " << e.what() << "\n";
    return 1;
  }
}
