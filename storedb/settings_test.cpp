#include "storedb/settings.h"

#include <gtest/gtest.h>

#include "tests/firebird/shared_database.h"
#include "tests/support/manual_clock.h"

namespace varenta {
namespace {

constexpr const char* kAdjusted = "Ajuste na data de inicio Varenta no banco do Olvessa";
constexpr const char* kFailed = "Falha ao tentar recuperar os dados da Varenta do banco do Olvessa";

// Notes, with every line, whether the cycle timer was on while it was written.
class TimerWatchingLog : public ServiceLog {
 public:
  explicit TimerWatchingLog(const Timer& timer) : timer_(timer) {}
  void DoSaveLog(std::string_view message) override {
    lines.emplace_back(message);
    timerOn.push_back(timer_.enabled());
  }
  std::vector<std::string> lines;
  std::vector<bool> timerOn;

 private:
  const Timer& timer_;
};

class SettingsTest : public testing::SharedDatabaseTest {
 protected:
  void SetUp() override {
    db().exec("delete from padrao");
    store_.create();
    db().configure(*store_.connection);
    timer_.setEnabled(true);
  }

  void loadOn(DateTime today) {
    clock_.set(today + std::chrono::hours(9));
    GetCredenciaisVarenta({store_, settings_, timer_, clock_, log_});
  }
  static DateTime storedStart() {
    Query q(db().connection());
    q.setSql("select varenta_datainicio from padrao where codigo = 1");
    q.open();
    return q.field("varenta_datainicio").asDateTime();
  }

  StoreDb store_;
  VarentaSettings settings_;
  Timer timer_;
  ManualClock clock_{DateTime()};
  TimerWatchingLog log_{timer_};
};

TEST_F(SettingsTest, AllMarksNullTakeTheirDefaultsAndTheStartDateMovesUp) {
  db().exec(
      "insert into padrao (codigo, cgc, varenta_datainicio) values (1, '12.345.678/0001-90', '2024-01-10')");
  loadOn(DateTime::fromParts(2024, 6, 20));

  EXPECT_EQ(settings_.dataInicio, DateTime::fromParts(2024, 4, 20));
  EXPECT_EQ(storedStart(), DateTime::fromParts(2024, 4, 20));
  EXPECT_EQ(log_.lines, std::vector<std::string>{kAdjusted});
  EXPECT_EQ(log_.timerOn, std::vector<bool>{false});
  EXPECT_TRUE(timer_.enabled());
  // The closing mark's default is the start date as stored before this load's adjustment.
  EXPECT_EQ(settings_.ultCaixa, DateTime::fromParts(2024, 1, 10));
  EXPECT_EQ(settings_.ultVenda, 0);
  EXPECT_EQ(settings_.ultCancelamento, 0);
  EXPECT_EQ(settings_.intervalo, 10);
  EXPECT_EQ(settings_.idLocal, "1");
  EXPECT_EQ(settings_.cnpj, "12345678000190");
  EXPECT_EQ(settings_.baseUrl, "");
  EXPECT_EQ(settings_.usuario, "");
  // The promotion and resend marks default to two hours and one day ago by the database's clock.
  Query q(db().connection());
  q.setSql("select current_timestamp as now from rdb$database");
  q.open();
  const DateTime now = q.field("now").asDateTime();
  EXPECT_LT(now - settings_.verificaPromo, std::chrono::hours(2) + std::chrono::minutes(1));
  EXPECT_GE(now - settings_.verificaPromo, std::chrono::hours(2));
  EXPECT_LT(now - settings_.verificaReenvio, std::chrono::hours(25));
  EXPECT_GE(now - settings_.verificaReenvio, std::chrono::hours(24));
}

// The load measures how far the database's clock is from the service's, in both directions (a host
// in another time zone than the server, a clock set wrong), so that marks the database wrote are
// compared with its own now.
TEST_F(SettingsTest, TheDatabasesClockIsMeasuredAgainstTheServices) {
  db().exec("insert into padrao (codigo, cgc) values (1, '12.345.678/0001-90')");
  Query q(db().connection());
  q.setSql("select current_timestamp as now from rdb$database");
  for (const auto skew : {std::chrono::hours(3), -std::chrono::hours(3), std::chrono::hours(0)}) {
    SCOPED_TRACE(skew.count());
    q.open();
    clock_.set(q.field("now").asDateTime() + skew);
    GetCredenciaisVarenta({store_, settings_, timer_, clock_, log_});
    EXPECT_LE(settings_.databaseClockAhead, -skew + std::chrono::seconds(5));
    EXPECT_GE(settings_.databaseClockAhead, -skew - std::chrono::seconds(5));
  }
}

TEST_F(SettingsTest, StartDateIsKeptOnlyWhenNotOlderThanTwoCalendarMonths) {
  struct Case {
    DateTime today;
    const char* stored;  // SQL literal
    DateTime expected;
    bool adjusted;
  };
  const Case cases[] = {
      {DateTime::fromParts(2024, 6, 20), "'2024-04-20'", DateTime::fromParts(2024, 4, 20), false},
      {DateTime::fromParts(2024, 6, 20), "'2024-05-02'", DateTime::fromParts(2024, 5, 2), false},
      {DateTime::fromParts(2024, 6, 20), "'2024-04-19'", DateTime::fromParts(2024, 4, 20), true},
      {DateTime::fromParts(2024, 5, 31), "null", DateTime::fromParts(2024, 3, 31), true},
      {DateTime::fromParts(2024, 4, 30), "'2023-12-01'", DateTime::fromParts(2024, 2, 29), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.today.format("yyyy-mm-dd") + " " + c.stored);
    db().exec("delete from padrao");
    db().exec(std::string("insert into padrao (codigo, cgc, varenta_datainicio) values (1, '1', ") +
              c.stored + ")");
    log_.lines.clear();
    loadOn(c.today);
    EXPECT_EQ(settings_.dataInicio, c.expected);
    EXPECT_EQ(storedStart(), c.expected);
    EXPECT_EQ(log_.lines.size(), c.adjusted ? 1u : 0u);
  }
  // Without a start date, a NULL closing mark begins at the start date the load sets.
  db().exec("update padrao set varenta_datainicio = null");
  loadOn(DateTime::fromParts(2024, 6, 20));
  EXPECT_EQ(settings_.ultCaixa, DateTime::fromParts(2024, 4, 20));
}

TEST_F(SettingsTest, StoredValuesAreLoadedFromTheCompanyRow) {
  db().exec("insert into padrao (codigo, cgc) values (null, '99')");  // no codigo: never the company row
  db().exec(
      "insert into padrao (codigo, cgc, varenta_usuario, varenta_senha, varenta_url1, varenta_url2, "
      "varenta_url3, "
      "varenta_idempresa, varenta_idlocal, varenta_intervalo, varenta_datainicio, varenta_ultvenda, "
      "varenta_ultcancelamento, varenta_ultcaixa, varenta_verificapromo, varenta_verificareenvio) values "
      "(1, '11.222.333/0001-44', 'loja', 'señha', 'https://api.example/v1/', 'u2', 'u3', '321', '7', 30, "
      "'2024-06-01', 1500, 42, '2024-06-19', '2024-06-20 08:30:00', '2024-06-19 23:00:00')");
  loadOn(DateTime::fromParts(2024, 6, 20));

  EXPECT_TRUE(log_.lines.empty());
  EXPECT_EQ(settings_.usuario, "loja");
  EXPECT_EQ(settings_.senha, "señha");
  EXPECT_EQ(settings_.baseUrl, "https://api.example/v1/");
  EXPECT_EQ(settings_.url2, "u2");
  EXPECT_EQ(settings_.url3, "u3");
  EXPECT_EQ(settings_.idEmpresa, "321");
  EXPECT_EQ(settings_.idLocal, "7");
  EXPECT_EQ(settings_.intervalo, 30);
  EXPECT_EQ(settings_.dataInicio, DateTime::fromParts(2024, 6, 1));
  EXPECT_EQ(settings_.ultVenda, 1500);
  EXPECT_EQ(settings_.ultCancelamento, 42);
  EXPECT_EQ(settings_.ultCaixa, DateTime::fromParts(2024, 6, 19));
  EXPECT_EQ(settings_.verificaPromo, DateTime::fromParts(2024, 6, 20, 8, 30));
  EXPECT_EQ(settings_.verificaReenvio, DateTime::fromParts(2024, 6, 19, 23));
  EXPECT_EQ(settings_.cnpj, "11222333000144");
}

TEST_F(SettingsTest, WithoutACompanyRowEverythingReadsEmptyAndEveryRowGetsTheStartDate) {
  db().exec("insert into padrao (codigo, cgc, varenta_ultvenda) values (1, '', 10)");
  db().exec("insert into padrao (codigo, cgc, varenta_ultvenda) values (2, null, 10)");
  settings_.ultVenda = 99;
  settings_.baseUrl = "old";
  loadOn(DateTime::fromParts(2024, 6, 20));

  EXPECT_EQ(settings_.ultVenda, 0);
  EXPECT_EQ(settings_.baseUrl, "");
  EXPECT_EQ(settings_.idLocal, "");
  EXPECT_EQ(settings_.intervalo, 0);
  EXPECT_TRUE(settings_.verificaPromo.isZero());
  EXPECT_EQ(settings_.dataInicio, DateTime::fromParts(2024, 4, 20));
  EXPECT_EQ(log_.lines, std::vector<std::string>{kAdjusted});
  Query q(db().connection());
  q.setSql("select count(*) as n from padrao where varenta_datainicio = '2024-04-20'");
  q.open();
  EXPECT_EQ(q.field("n").asInteger(), 2);
}

TEST_F(SettingsTest, AFailedLoadLogsOnceAndKeepsTheValues) {
  settings_.ultVenda = 77;
  settings_.baseUrl = "https://kept/";
  store_.connection->params().setValue("Database", db().directory() + "missing.fdb");
  loadOn(DateTime::fromParts(2024, 6, 20));
  EXPECT_EQ(log_.lines, std::vector<std::string>{kFailed});
  EXPECT_EQ(settings_.ultVenda, 77);
  EXPECT_EQ(settings_.baseUrl, "https://kept/");
  EXPECT_TRUE(timer_.enabled());

  // Before any connection step there is no database object at all: the same failure, no crash.
  StoreDb never;
  log_.lines.clear();
  GetCredenciaisVarenta({never, settings_, timer_, clock_, log_});
  EXPECT_EQ(log_.lines, std::vector<std::string>{kFailed});
  EXPECT_TRUE(timer_.enabled());
}

}  // namespace
}  // namespace varenta
