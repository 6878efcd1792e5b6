// The resend poll inside the real cycle: a cloud answering its request list with something that is
// not JSON holds the poll off for an hour, while the sales go on being exported, and it polls again
// when the hour is over.

#include <gtest/gtest.h>

#include <fstream>

#include "service/srv_varenta.h"
#include "tests/firebird/test_database.h"
#include "tests/standin/standin_launcher.h"
#include "tests/support/manual_clock.h"
#include "tests/support/recording_log.h"

namespace varenta {
namespace {

using std::chrono::minutes;
using std::chrono::seconds;

class ReachableService : public TSrvVarenta {
 public:
  using TSrvVarenta::TSrvVarenta;
  bool isInternetOk() override { return true; }
};

// The journal's requests since the last call, as method and path under the store.
class Requests {
 public:
  explicit Requests(const StandIn& standIn) : standIn_(standIn) {}
  std::vector<std::string> fresh() {
    const std::string store = "/api-minoristas/api/v2/minoristas/12/locales/1/";
    const std::vector<JournalEntry> all = standIn_.journal();
    std::vector<std::string> found;
    for (std::size_t i = seen_; i < all.size(); ++i)
      found.push_back(all[i].method + " " + all[i].path.substr(store.size()));
    seen_ = all.size();
    return found;
  }

 private:
  const StandIn& standIn_;
  std::size_t seen_ = 0;
};

using Strings = std::vector<std::string>;

TEST(ResendHold, APollAnsweredWithoutJsonWaitsAnHourWhileSalesAreExported) {
  testing::TestDatabase db;
  StandIn standIn;
  // Only the resend poll is due at 09:00 besides the sales: promotions, imported by the database's
  // clock 30 minutes ahead of its now, are not due in the hour the test goes through, and the
  // closings are up to date.
  db.exec(
      "insert into padrao (codigo, cgc, varenta_url1, varenta_usuario, varenta_senha, varenta_idempresa, "
      "varenta_datainicio, varenta_verificareenvio, varenta_verificapromo, varenta_ultcaixa) values (1, '1', "
      "'" +
      standIn.baseUrl() +
      "', 'varenta', 'varenta', '12', '2024-06-01', '2024-06-19 08:00:00', dateadd(30 minute to "
      "current_timestamp), '2024-06-20')");
  db.exec(
      "insert into vendas (sequencial, venda, data, hora, codigoproduto, quantidade, precounitario, "
      "subtotal, "
      "desconto, precototal, precoautomatico, numerocoo) values (1, 201, '2024-06-19', '10:00:00', "
      "'7891000100103', 1, 10, 10, 0, 10, 10, 601)");
  std::ofstream(db.directory() + "Tolvane.ini") << "[Tolvane]\nCaminho=" << db.path() << "\n";
  standIn.writeDataFile("solicitudes-movimientos.json", "<html><body>Bad Gateway</body></html>");

  RecordingLog log;
  ManualClock clock(DateTime::fromParts(2024, 6, 20, 9));
  ServiceOptions options;
  options.programDir = db.directory();
  ReachableService service(log, clock, options);
  service.VarentaTimerTimer();  // connects
  ASSERT_TRUE(service.dbConnected());

  Requests requests(standIn);
  log.clear();

  service.VarentaTimerTimer();
  EXPECT_EQ(requests.fresh(), Strings{"GET solicitudes/movimientos"});
  EXPECT_EQ(log.lines(), Strings{"Reenvio: a resposta de solicitudes de movimientos não é JSON: "
                                 "<html><body>Bad Gateway</body></html>"});
  EXPECT_EQ(service.settings().verificaReenvio, DateTime::fromParts(2024, 6, 19, 8));

  // The ticks of the hour go to the sales.
  for (const DateTime at :
       {DateTime::fromParts(2024, 6, 20, 9, 0, 10), DateTime::fromParts(2024, 6, 20, 9, 59, 59)}) {
    clock.set(at);
    service.VarentaTimerTimer();
  }
  EXPECT_EQ(requests.fresh(), Strings{"POST cajas/1/movimientos/lotes"});

  standIn.writeDataFile("solicitudes-movimientos.json", "[]");
  log.clear();
  clock.set(DateTime::fromParts(2024, 6, 20, 10));
  service.VarentaTimerTimer();
  EXPECT_EQ(requests.fresh(), (Strings{"GET solicitudes/movimientos", "GET solicitudes/cierresDiarios"}));
  EXPECT_EQ(log.lines(), Strings{"[R: 20/06/2024]Renvios enviados com sucesso"});
  EXPECT_GT(service.settings().verificaReenvio, DateTime::fromParts(2024, 6, 20));
  EXPECT_EQ(service.timer().interval(), std::chrono::milliseconds(10000));
}

}  // namespace
}  // namespace varenta
