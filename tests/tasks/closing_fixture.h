#pragma once
// Tests of the closing against the real database and the cloud stand-in: a store database of the
// suite's own, a stand-in per test, the company row of `padrao`, and sale lines put in by the test.
// Days are counted back from the database server's own date, which its statements compare with.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tasks/task_context.h"
#include "tests/firebird/shared_database.h"
#include "tests/standin/standin_launcher.h"
#include "tests/support/manual_clock.h"
#include "tests/support/recording_log.h"

namespace varenta {

// A posted closing document: the register it went to and its body.
struct ClosingPost {
  std::string caixa;
  std::string body;
  bool operator==(const ClosingPost&) const = default;
};

inline void PrintTo(const ClosingPost& post, std::ostream* os) {
  *os << post.caixa << " " << post.body;
}

// Records the lines, and lets a test act on a line as it is written (to break the cloud mid-call).
class WatchedLog : public RecordingLog {
 public:
  void DoSaveLog(std::string_view message) override {
    RecordingLog::DoSaveLog(message);
    if (onLine) onLine(message);
  }
  std::function<void(std::string_view)> onLine;
};

class ClosingStoreTest : public testing::SharedDatabaseTest {
 protected:
  void SetUp() override {
    db().exec("delete from vendas");
    db().exec("delete from padrao");
    db().exec("insert into padrao (codigo, cgc) values (1, '12.345.678/0001-90')");
    store_.create();
    db().configure(*store_.connection);
    settings_.baseUrl = standIn_.baseUrl();
    settings_.usuario = "varenta";
    settings_.senha = "varenta";
    settings_.idEmpresa = "12";
    settings_.idLocal = "1";
    cloud_.setContext(clientContext(settings_));
    Query q(db().connection());
    q.setSql("select current_date as today from rdb$database");
    q.open();
    today_ = q.field("today").asDateTime();
    clock_.set(today_ + std::chrono::hours(9));
  }

  TaskContext task() {
    return {store_, settings_, cloud_, clock_, log_, timer_, [] { FAIL() << "no settings reload expected"; }};
  }

  DateTime daysAgo(int days) const { return today_ - std::chrono::hours(24 * days); }

  // One line of sale `venda` on `day`: `terminal` and `amount` (precototal) as SQL literals, so
  // "null" leaves them out; a cancelled line carries a cancellation time on the evening of its day.
  void line(int venda, DateTime day, const char* terminal, const char* amount, bool cancelled = false,
            const char* product = "7891000100103", const char* automatic = "0") {
    const std::string date = "'" + day.format("yyyy-mm-dd") + "'";
    db().exec(
        "insert into vendas (sequencial, venda, data, hora, codigoproduto, precototal, precoautomatico, "
        "cancelamento, terminal) values (" +
        std::to_string(++sequencial_) + ", " + std::to_string(venda) + ", " + date + ", '10:00:00', '" +
        product + "', " + amount + ", " + automatic + ", " +
        (cancelled ? "'" + day.format("yyyy-mm-dd") + " 18:00:00'" : std::string("null")) + ", " + terminal +
        ")");
  }

  static DateTime storedMark() {
    Query q(db().connection());
    q.setSql("select varenta_ultcaixa from padrao");
    q.open();
    return q.field("varenta_ultcaixa").asDateTime();
  }
  void setMark(DateTime day) {
    settings_.ultCaixa = day;
    db().exec("update padrao set varenta_ultcaixa = '" + day.format("yyyy-mm-dd") + "'");
  }

  // The closing documents the stand-in received, in order.
  std::vector<ClosingPost> posts() const {
    const std::string prefix = "/api-minoristas/api/v2/minoristas/12/locales/1/cajas/";
    const std::string suffix = "/cierresDiarios/lotes";
    std::vector<ClosingPost> found;
    for (const JournalEntry& e : standIn_.journal()) {
      EXPECT_EQ(e.method, "POST");
      EXPECT_TRUE(e.path.starts_with(prefix) && e.path.ends_with(suffix)) << e.path;
      found.push_back({e.path.substr(prefix.size(), e.path.size() - prefix.size() - suffix.size()), e.body});
    }
    return found;
  }

  StandIn standIn_;
  StoreDb store_;
  VarentaSettings settings_;
  TVarenta cloud_;
  ManualClock clock_{DateTime()};
  WatchedLog log_;
  Timer timer_;
  DateTime today_;
  int sequencial_ = 0;
};

// The closing document as the test writes it out.
inline std::string closingText(const char* liquida, const char* cancelaciones, int movimientos, DateTime day,
                               int cantidadCancelaciones, const char* afterCount = ", ") {
  return std::string(R"([{"montoVentaLiquida": )") + liquida + R"(, "montoCancelaciones": )" + cancelaciones +
         R"(, "cantidadMovimientos": )" + std::to_string(movimientos) + afterCount + R"("fechaVentas": ")" +
         day.format("yyyy-mm-dd") + R"(", "cantidadCancelaciones": )" +
         std::to_string(cantidadCancelaciones) + " }]";
}

}  // namespace varenta
