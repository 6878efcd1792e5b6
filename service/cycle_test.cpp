// The sync cycle in virtual time: a ManualClock, a recording log and stand-ins for the probe, the
// connection step and the tasks.

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "base/error.h"
#include "base/not_before.h"
#include "service/srv_varenta.h"
#include "tests/support/manual_clock.h"
#include "tests/support/recording_log.h"

namespace varenta {
namespace {

using std::chrono::hours;
using std::chrono::milliseconds;
using std::chrono::minutes;
using std::chrono::seconds;

VARENTA_ERROR_TYPE(ERestError);

class CycleService : public TSrvVarenta {
 public:
  using TSrvVarenta::DbConnected;
  using TSrvVarenta::FClosingHold;
  using TSrvVarenta::FCooldownUntil;
  using TSrvVarenta::FPromoHold;
  using TSrvVarenta::FResendHold;
  using TSrvVarenta::Settings;
  using TSrvVarenta::TSrvVarenta;
  using TSrvVarenta::VarentaTimer;

  bool internet = true;
  std::vector<std::string> calls;                // probe, IniConn and tasks, in order
  std::function<void(const std::string&)> work;  // what the step called does besides being recorded
  Backlog waiting;                               // what a count finds
  int counts = 0;

  bool isInternetOk() override {
    calls.push_back("probe");
    return internet;
  }
  void IniConn() override { step("IniConn"); }
  void VerificaReenvio() override { step("VerificaReenvio"); }
  void AtualizaPromo() override { step("AtualizaPromo"); }
  void FechamentoCaixaVarenta() override { step("FechamentoCaixaVarenta"); }
  void EnviarVendasVarenta() override { step("EnviarVendasVarenta"); }
  Backlog countWaitingWork() override {
    ++counts;
    return waiting;
  }

 private:
  void step(const std::string& name) {
    calls.push_back(name);
    if (work) work(name);
  }
};

const DateTime kNow = DateTime::fromParts(2024, 3, 5, 14, 7, 9);
const DateTime kToday = kNow.date();

VarentaSettings marks(DateTime verificaReenvio, DateTime verificaPromo, DateTime ultCaixa) {
  VarentaSettings settings;
  settings.verificaReenvio = verificaReenvio;
  settings.verificaPromo = verificaPromo;
  settings.ultCaixa = ultCaixa;
  return settings;
}

// Marks with nothing but the sales due at kNow.
VarentaSettings upToDate() {
  return marks(kToday + hours(8), kNow - minutes(30), kToday);
}

class CycleTest : public ::testing::Test {
 protected:
  CycleTest() {
    service.DbConnected = true;
    service.Settings = upToDate();
  }
  ServiceOptions withScale(double scale) {
    ServiceOptions options;
    options.timeScale = scale;
    return options;
  }

  RecordingLog log;
  ManualClock clock{kNow};
  CycleService service{log, clock, withScale(1)};
};

TEST_F(CycleTest, OutcomeOfOneTick) {
  using Strings = std::vector<std::string>;
  const auto fails = [](auto error) { return [error](const std::string&) { throw error; }; };
  struct Case {
    const char* name;
    std::function<void(CycleService&)> setup;
    Strings calls;
    Strings lines;
    DateTime cooldownAfter;
    milliseconds next;
  };
  const Case cases[] = {
      {"resting",
       [](CycleService& s) { s.FCooldownUntil = kNow + seconds(1); },
       {},
       {},
       kNow + seconds(1),
       milliseconds(30000)},
      {"no internet",
       [](CycleService& s) { s.internet = false; },
       {"probe"},
       {"Falha na conexão de internet.", "Entrando em pausa por 15 minutos (internet)."},
       kNow + seconds(900),
       milliseconds(30000)},
      {"connecting",
       [](CycleService& s) { s.DbConnected = false; },
       {"probe", "IniConn"},
       {"DB: desconectado -> IniConn"},
       DateTime(),
       milliseconds(30000)},
      {"task done, ending a pause that ran out",
       [](CycleService& s) { s.FCooldownUntil = kNow; },
       {"probe", "EnviarVendasVarenta"},
       {},
       DateTime(),
       milliseconds(10000)},
      {"task switching the timer itself",
       [](CycleService& s) {
         s.work = [&s](const std::string&) {
           s.VarentaTimer.setInterval(milliseconds(1000));
           s.VarentaTimer.setEnabled(false);
         };
       },
       {"probe", "EnviarVendasVarenta"},
       {},
       DateTime(),
       milliseconds(10000)},
      {"network failure by code",
       [=](CycleService& s) { s.work = fails(ERestError("Falha de rede (12007)")); },
       {"probe", "EnviarVendasVarenta"},
       {"ERRO no Timer: ERestError - Falha de rede (12007)",
        "Rede/DNS falhou (12007). Pausando por 15 minutos."},
       kNow + seconds(900),
       milliseconds(30000)},
      {"network failure by wording",
       [=](CycleService& s) { s.work = fails(ERestError("O NOME do servidor não pôde ser resolvido")); },
       {"probe", "EnviarVendasVarenta"},
       {"ERRO no Timer: ERestError - O NOME do servidor não pôde ser resolvido",
        "Rede/DNS falhou (12007). Pausando por 15 minutos."},
       kNow + seconds(900),
       milliseconds(30000)},
      {"only A to Z are lowered",
       [=](CycleService& s) { s.work = fails(ERestError("O NOME NÃO PÔDE SER RESOLVIDO")); },
       {"probe", "EnviarVendasVarenta"},
       {"ERRO no Timer: ERestError - O NOME NÃO PÔDE SER RESOLVIDO"},
       kNow + seconds(60),
       milliseconds(30000)},
      {"failure of the connection step",
       [=](CycleService& s) {
         s.DbConnected = false;
         s.work = fails(EDatabaseError("sem arquivo INI"));
       },
       {"probe", "IniConn"},
       {"DB: desconectado -> IniConn", "ERRO no Timer: EDatabaseError - sem arquivo INI"},
       kNow + seconds(60),
       milliseconds(30000)},
      {"failure that is not one of ours",
       [=](CycleService& s) { s.work = fails(std::out_of_range("índice")); },
       {"probe", "EnviarVendasVarenta"},
       {"ERRO no Timer: std::out_of_range - índice"},
       kNow + seconds(60),
       milliseconds(30000)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingLog caseLog;
    CycleService s(caseLog, clock, withScale(1));
    s.DbConnected = true;
    s.Settings = upToDate();
    s.VarentaTimer.setInterval(milliseconds(180000));
    s.VarentaTimer.setEnabled(true);
    c.setup(s);
    s.VarentaTimerTimer();
    EXPECT_EQ(s.calls, c.calls);
    EXPECT_EQ(caseLog.lines(), c.lines);
    EXPECT_EQ(s.FCooldownUntil, c.cooldownAfter);
    EXPECT_TRUE(s.VarentaTimer.enabled());
    EXPECT_EQ(s.VarentaTimer.interval(), c.next);
  }
}

TEST_F(CycleTest, ChoosesTheFirstDueTaskWithStrictComparisons) {
  struct Case {
    const char* name;
    DateTime now;
    std::function<void(VarentaSettings&)> marks;
    const char* task;
  };
  const Case cases[] = {
      {"nothing else due", kNow, [](VarentaSettings&) {}, "EnviarVendasVarenta"},
      {"everything due: resend first", kNow,
       [](VarentaSettings& m) { m = marks(kToday - hours(24), kNow - hours(2), kToday - hours(24 * 30)); },
       "VerificaReenvio"},
      {"promotions before closings", kNow,
       [](VarentaSettings& m) {
         m.verificaPromo = kNow - hours(2);
         m.ultCaixa = kToday - hours(24);
       },
       "AtualizaPromo"},
      {"resend polled at midnight today", kNow, [](VarentaSettings& m) { m.verificaReenvio = kToday; },
       "EnviarVendasVarenta"},
      {"resend polled 23:59 yesterday, tick at 00:00:10", kToday + seconds(10),
       [](VarentaSettings& m) {
         m.verificaReenvio = kToday - minutes(1);
         m.verificaPromo = kToday;
       },
       "VerificaReenvio"},
      {"promotions exactly 60 minutes old", kNow,
       [](VarentaSettings& m) { m.verificaPromo = kNow - minutes(60); }, "EnviarVendasVarenta"},
      {"promotions 60 minutes and a second old", kNow + seconds(1),
       [](VarentaSettings& m) { m.verificaPromo = kNow - minutes(60); }, "AtualizaPromo"},
      {"closing mark is today", kNow, [](VarentaSettings& m) { m.ultCaixa = kToday; }, "EnviarVendasVarenta"},
      {"closing mark a millisecond before today", kNow,
       [](VarentaSettings& m) { m.ultCaixa = kToday - milliseconds(1); }, "FechamentoCaixaVarenta"},
      // The import's and the poll's marks are the database's time, compared with the database's now
      // whichever clock is ahead: just imported and polled by the database's clock, nothing is due.
      {"service three hours ahead, just imported and polled", kToday + hours(23) + minutes(30),
       [](VarentaSettings& m) {
         m.databaseClockAhead = -hours(3);
         m.verificaPromo = m.verificaReenvio = kToday + hours(20) + minutes(29);
       },
       "EnviarVendasVarenta"},
      {"service three hours behind, import 61 minutes old by the database", kNow,
       [](VarentaSettings& m) {
         m.databaseClockAhead = hours(3);
         m.verificaPromo = kNow + hours(3) - minutes(61);
       },
       "AtualizaPromo"},
      {"service three hours behind, polled yesterday by the database", kToday + hours(22),
       [](VarentaSettings& m) {
         m.databaseClockAhead = hours(3);
         m.verificaPromo = kToday + hours(25);
         m.verificaReenvio = kToday + hours(23);
       },
       "VerificaReenvio"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    clock.set(c.now);
    service.calls.clear();
    service.Settings = upToDate();
    c.marks(service.Settings);
    service.VarentaTimerTimer();
    EXPECT_EQ(service.calls, (std::vector<std::string>{"probe", c.task}));
  }
}

// A resend poll, promotion import or daily closing that failed (holding itself off, or with an
// error that escaped it: a list answered 503, a post the cloud did not judge) is passed over, in
// this process, until its hold ends (60 minutes as the service counts time); the tasks below it run
// meanwhile. A name that does not resolve pauses the whole cycle instead and holds nothing.
TEST_F(CycleTest, AFailedTaskIsPassedOverUntilItsHoldEnds) {
  struct Case {
    const char* task;
    std::function<void(VarentaSettings&)> due;
    NotBefore CycleService::*hold;
  };
  const Case cases[] = {
      {"VerificaReenvio", [](VarentaSettings& m) { m.verificaReenvio = kToday - minutes(1); },
       &CycleService::FResendHold},
      {"AtualizaPromo", [](VarentaSettings& m) { m.verificaPromo = kNow - hours(2); },
       &CycleService::FPromoHold},
      {"FechamentoCaixaVarenta", [](VarentaSettings& m) { m.ultCaixa = kToday - hours(48); },
       &CycleService::FClosingHold},
  };
  enum class Failure { HoldsItself, Raises, NameNotResolved };
  for (const Case& c : cases) {
    for (const Failure failure : {Failure::HoldsItself, Failure::Raises, Failure::NameNotResolved}) {
      SCOPED_TRACE(std::string(c.task) + " " + std::to_string(static_cast<int>(failure)));
      RecordingLog caseLog;
      ManualClock caseClock{kNow};
      CycleService held{caseLog, caseClock, withScale(0.5)};
      held.DbConnected = true;
      held.Settings = upToDate();
      c.due(held.Settings);
      bool failed = false;  // once: the task would succeed when it runs again
      held.work = [&](const std::string& step) {
        if (step != c.task || std::exchange(failed, true)) return;
        if (failure == Failure::HoldsItself) (held.*c.hold).hold(caseClock.now());
        if (failure == Failure::Raises) throw ERestError("HTTP/1.1 503 Service Unavailable");
        if (failure == Failure::NameNotResolved) throw ERestError("Error sending data: (12007) ");
      };
      std::vector<std::string> ran;
      for (const milliseconds after : std::vector<milliseconds>{
               milliseconds(0), minutes(16), minutes(14) - milliseconds(1), milliseconds(1)}) {
        caseClock.advance(after);
        held.calls.clear();
        held.VarentaTimerTimer();
        ran.push_back(held.calls.empty() ? "pause" : held.calls.back());
      }
      const std::vector<std::string> passedOver = {c.task, "EnviarVendasVarenta", "EnviarVendasVarenta",
                                                   c.task};
      const std::vector<std::string> runsAgain = {c.task, c.task, c.task, c.task};
      EXPECT_EQ(ran, failure == Failure::NameNotResolved ? runsAgain : passedOver);
    }
  }
}

TEST_F(CycleTest, FromStartToSalesOneTaskPerTick) {
  // What a first load of all-NULL marks gives: every task but the sales is due.
  service.DbConnected = false;
  service.work = [&](const std::string& step) {
    const DateTime now = clock.now();
    if (step == "IniConn") {
      service.DbConnected = true;
      service.Settings = marks(now - hours(24), now - hours(2), DateTime::fromParts(2024, 3, 1));
    } else if (step == "VerificaReenvio") {
      service.Settings.verificaReenvio = now;
    } else if (step == "AtualizaPromo") {
      service.Settings.verificaPromo = now;
    } else if (step == "FechamentoCaixaVarenta") {
      service.Settings.ultCaixa = now.date();
    }
  };
  service.ServiceStart();
  EXPECT_EQ(service.VarentaTimer.interval(), milliseconds(180000));

  std::vector<std::pair<std::string, milliseconds>> ticks;
  for (int i = 0; i < 6; ++i) {
    clock.advance(service.VarentaTimer.interval());
    service.calls.clear();
    service.VarentaTimerTimer();
    ticks.emplace_back(service.calls.back(), service.VarentaTimer.interval());
  }
  const std::vector<std::pair<std::string, milliseconds>> expected = {
      {"IniConn", milliseconds(30000)},
      {"VerificaReenvio", milliseconds(10000)},
      {"AtualizaPromo", milliseconds(10000)},
      {"FechamentoCaixaVarenta", milliseconds(10000)},
      {"EnviarVendasVarenta", milliseconds(10000)},
      {"EnviarVendasVarenta", milliseconds(10000)},
  };
  EXPECT_EQ(ticks, expected);
}

TEST_F(CycleTest, NoInternetRestsSilentlyForFifteenMinutes) {
  service.internet = false;
  service.VarentaTimerTimer();
  service.internet = true;
  const auto linesAfterProbe = log.lines().size();
  milliseconds waited{0};
  while (service.calls.size() == 1) {
    clock.advance(service.VarentaTimer.interval());
    waited += service.VarentaTimer.interval();
    service.VarentaTimerTimer();
  }
  EXPECT_EQ(waited, seconds(900));  // 29 resting ticks, then the probe at the first tick not before the end
  EXPECT_EQ(log.lines().size(), linesAfterProbe);
  EXPECT_EQ(service.calls, (std::vector<std::string>{"probe", "probe", "EnviarVendasVarenta"}));
}

TEST_F(CycleTest, PauseCountsFromTheTicksStart) {
  // A task that fails after 90 seconds of work has already served its 60-second pause.
  service.work = [&](const std::string&) {
    clock.advance(seconds(90));
    throw ERestError("tempo esgotado");
  };
  service.VarentaTimerTimer();
  EXPECT_EQ(service.FCooldownUntil, kNow + seconds(60));
  service.work = nullptr;
  clock.advance(service.VarentaTimer.interval());
  service.VarentaTimerTimer();
  EXPECT_EQ(service.calls,
            (std::vector<std::string>{"probe", "EnviarVendasVarenta", "probe", "EnviarVendasVarenta"}));
}

TEST_F(CycleTest, TimeScaleShortensPausesButNotMarkComparisons) {
  CycleService fast(log, clock, withScale(0.01));
  fast.DbConnected = true;
  fast.Settings = upToDate();
  fast.Settings.verificaPromo = kNow + seconds(9) - minutes(60);  // exactly an hour old at the second tick
  fast.internet = false;
  fast.VarentaTimerTimer();
  EXPECT_EQ(fast.FCooldownUntil, kNow + seconds(9));
  EXPECT_EQ(fast.VarentaTimer.interval(), milliseconds(30000));  // the loop scales periods as it waits
  fast.internet = true;
  clock.advance(seconds(9));
  fast.VarentaTimerTimer();
  EXPECT_EQ(fast.calls.back(), "EnviarVendasVarenta");
}

class FailingLog : public ServiceLog {
 public:
  void DoSaveLog(std::string_view) override { throw EInOutError("Disk full"); }
};

// A log that cannot be written makes the tick's error escape, but changes neither the pause nor
// the next tick: the cycle goes on at the pace it would keep with a log.
TEST_F(CycleTest, ALogFailureEscapesTheTickButKeepsItsPause) {
  struct Case {
    const char* name;
    bool internet;
    std::function<void(const std::string&)> work;
    DateTime cooldownAfter;
  };
  const Case cases[] = {
      {"no internet", false, nullptr, kNow + seconds(900)},
      {"a task failing", true, [](const std::string&) { throw ERestError("recusado"); }, kNow + seconds(60)},
      {"a task failing on the network", true, [](const std::string&) { throw ERestError("Falha (12007)"); },
       kNow + seconds(900)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FailingLog failing;
    CycleService s(failing, clock, withScale(1));
    s.DbConnected = true;
    s.Settings = upToDate();
    s.internet = c.internet;
    s.work = c.work;
    EXPECT_THROW(s.VarentaTimerTimer(), EInOutError);
    EXPECT_TRUE(s.VarentaTimer.enabled());
    EXPECT_EQ(s.VarentaTimer.interval(), milliseconds(30000));
    EXPECT_EQ(s.FCooldownUntil, c.cooldownAfter);
  }
}

// The status line after each tick: why the cycle rests and until when, the waiting work (counted
// at most once a minute, and only while the cycle works), a held task and the last error; a pause
// of the service comes first. A line is shown only when it changed.
TEST_F(CycleTest, TheStatusLineSaysWhatTheCycleIsDoing) {
  std::vector<std::string> shown;
  ServiceOptions options;
  options.reportStatus = [&shown](const std::string& text) { shown.push_back(text); };
  CycleService s(log, clock, options);
  s.Settings = upToDate();
  const auto tick = [&] {
    s.VarentaTimerTimer();
    s.reportCycleStatus();
    clock.advance(s.VarentaTimer.interval());
  };

  tick();  // 14:07:09, the connection step fails
  EXPECT_EQ(s.counts, 0);
  s.DbConnected = true;
  s.waiting.sales = 12;
  tick();  // 14:07:39, a sale sent
  s.waiting.sales = 11;
  tick();  // 14:07:49: counted 10 s ago
  EXPECT_EQ(s.counts, 1);
  clock.advance(seconds(40));
  tick();  // 14:08:39
  EXPECT_EQ(s.counts, 2);

  s.Settings.verificaPromo = kNow - hours(2);
  s.work = [](const std::string&) { throw ERestError("503 Service Unavailable"); };
  tick();  // 14:08:49, the promotion import fails: rest and hold
  s.work = nullptr;
  clock.advance(seconds(30));
  s.internet = false;
  tick();  // 14:09:49
  s.ServicePause();
  s.ServiceContinue();
  clock.advance(minutes(15));
  s.internet = true;
  s.waiting = Backlog();
  tick();  // 14:24:49, the promotions held: a sale, and a count
  EXPECT_EQ(s.counts, 3);

  const std::string held = "Promoções retidas até 15:08. ";
  const std::string noInternet = "Sem internet até 14:24. 11 vendas aguardando envio. " + held +
                                 "Último erro (14:09): Falha na conexão de internet.";
  EXPECT_EQ(shown, (std::vector<std::string>{
                       "Sem conexão com o banco de dados do Olvessa",
                       "12 vendas aguardando envio",
                       "11 vendas aguardando envio",
                       "Em pausa até 14:09:49 após um erro. 11 vendas aguardando envio. " + held +
                           "Último erro (14:08): ERRO no Timer: ERestError - 503 Service Unavailable",
                       noInternet,
                       "Serviço pausado. " + noInternet,
                       noInternet,
                       "Em dia. " + held + "Último erro (14:09): Falha na conexão de internet.",
                   }));
}

// Without a status line to show it (Windows), the waiting work is never counted: three statements a
// minute that nobody would read.
TEST_F(CycleTest, WithoutAStatusLineTheWaitingWorkIsNotCounted) {
  CycleService s(log, clock, ServiceOptions());
  s.Settings = upToDate();
  s.DbConnected = true;
  for (int i = 0; i < 10; ++i) {
    s.VarentaTimerTimer();
    s.reportCycleStatus();
    clock.advance(minutes(1));
  }
  EXPECT_EQ(s.counts, 0);
}

}  // namespace
}  // namespace varenta
