// Lifecycle events of the service module, and the waiting machinery that runs its ticks.

#include <gtest/gtest.h>

#include <deque>
#include <future>
#include <thread>

#include "base/error.h"
#include "service/srv_varenta.h"
#include "tests/support/manual_clock.h"
#include "tests/support/recording_log.h"

namespace varenta {
namespace {

using std::chrono::milliseconds;

class ScriptedService : public TSrvVarenta {
 public:
  using TSrvVarenta::DbConnected;
  using TSrvVarenta::FCooldownUntil;
  using TSrvVarenta::TSrvVarenta;
  std::function<void()> onIniConn;
  bool isInternetOk() override { return true; }
  void IniConn() override {
    if (onIniConn) onIniConn();
  }
};

ServiceOptions scaled(double scale) {
  ServiceOptions options;
  options.timeScale = scale;
  return options;
}

TEST(Timer, OnlyARealChangeRestartsTheCountdown) {
  Timer timer;
  int heard = 0;
  timer.setListener([&] { ++heard; });
  EXPECT_FALSE(timer.enabled());
  EXPECT_EQ(timer.interval(), milliseconds(250));
  timer.setEnabled(true);
  timer.setEnabled(true);
  timer.setInterval(milliseconds(250));
  EXPECT_EQ(timer.generation(), 1u);
  timer.setInterval(milliseconds(10000));
  timer.setEnabled(false);
  EXPECT_EQ(timer.generation(), 3u);
  EXPECT_EQ(heard, 3);
}

TEST(Lifecycle, StartArmsTheFirstTickInThreeMinutesAndResetsTheCycle) {
  RecordingLog log;
  ManualClock clock(DateTime::fromParts(2024, 3, 5, 14, 7, 9));
  ScriptedService service(log, clock, {});
  service.ServiceCreate();
  EXPECT_FALSE(service.timer().enabled());
  service.FCooldownUntil = clock.now();
  service.DbConnected = true;
  service.ServiceStart();
  EXPECT_TRUE(service.timer().enabled());
  EXPECT_EQ(service.timer().interval(), milliseconds(180000));
  EXPECT_TRUE(service.FCooldownUntil.isZero());
  EXPECT_FALSE(service.DbConnected);
  EXPECT_EQ(log.lines(), (std::vector<std::string>{
                             "Serviço criado", "Serviço iniciado. Primeiro ciclo do Varenta em 3 minutos."}));
}

TEST(Lifecycle, ControlRequestsFireTheirEventsInOrder) {
  using Requests = std::deque<ControlRequest>;
  using C = ControlRequest;
  struct Case {
    Requests requests;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {{C::Pause, C::Pause, C::Continue, C::Continue, C::Stop},
       {"Serviço executado", "Serviço pausado", "Serviço despausado", "Serviço parado"}},
      {{C::Continue, C::Pause, C::Shutdown}, {"Serviço executado", "Serviço pausado", "Serviço finalizado"}},
      {{C::Stop}, {"Serviço executado", "Serviço parado"}},
  };
  for (const Case& c : cases) {
    RecordingLog log;
    ManualClock clock(DateTime::fromParts(2024, 3, 5));
    ScriptedService service(log, clock, {});
    service.ServiceStart();
    Requests pending = c.requests;
    std::vector<bool> tickingWhenAsked;  // pause and continue leave the cycle alone
    service.ServiceExecute([&] {
      tickingWhenAsked.push_back(service.timer().enabled());
      const C next = pending.front();
      pending.pop_front();
      return next;
    });
    EXPECT_EQ(tickingWhenAsked, std::vector<bool>(c.requests.size(), true));
    EXPECT_FALSE(service.timer().enabled());
    auto lines = log.lines();
    lines.erase(lines.begin());  // the start's line
    EXPECT_EQ(lines, c.lines);
  }
}

TEST(Lifecycle, StopWaitsForTheRunningTick) {
  RecordingLog log;
  ScriptedService service(log, systemClock(), scaled(0.0001));  // first tick after 18 ms
  std::promise<void> inTick;
  std::promise<void> release;
  auto released = release.get_future().share();
  int connectionSteps = 0;
  service.onIniConn = [&] {
    if (++connectionSteps > 1) return;
    inTick.set_value();
    released.wait();
    service.DoSaveLog("tick finished");
  };

  std::thread cycle([&] { service.runCycle(); });
  service.ServiceStart();
  inTick.get_future().wait();
  std::thread stopper([&] { service.ServiceStop(); });
  std::this_thread::sleep_for(milliseconds(50));
  release.set_value();
  stopper.join();
  EXPECT_TRUE(service.stopCycle());
  cycle.join();

  EXPECT_EQ(connectionSteps, 1);  // no tick after the stop
  const std::vector<std::string> expected = {"Serviço iniciado. Primeiro ciclo do Varenta em 3 minutos.",
                                             "DB: desconectado -> IniConn", "tick finished",
                                             "Serviço parado"};
  EXPECT_EQ(log.lines(), expected);
}

// A call that never returns (a database link that stopped answering) must not hold the stop: it
// gives up on the tick after its patience, leaves it what it uses, and says the cycle cannot end.
TEST(Lifecycle, AStopGivesUpOnATickStuckInACall) {
  RecordingLog log;
  ServiceOptions options = scaled(0.0001);
  options.stopPatience = milliseconds(50);
  ScriptedService service(log, systemClock(), options);
  std::promise<void> inTick;
  std::promise<void> release;
  auto released = release.get_future().share();
  service.onIniConn = [&] {
    inTick.set_value();
    released.wait();
  };
  std::thread cycle([&] { service.runCycle(); });
  service.ServiceStart();
  inTick.get_future().wait();
  service.ServiceStop();
  EXPECT_FALSE(service.stopCycle());
  EXPECT_FALSE(service.timer().enabled());
  EXPECT_EQ(log.lines(),
            (std::vector<std::string>{"Serviço iniciado. Primeiro ciclo do Varenta em 3 minutos.",
                                      "DB: desconectado -> IniConn", "Serviço parado"}));
  release.set_value();
  cycle.join();
}

class FailingLog : public ServiceLog {
 public:
  void DoSaveLog(std::string_view) override { throw EInOutError("Disk full"); }
};

// An event whose line cannot be written still takes effect; the line goes to the journal.
TEST(Lifecycle, EventsTakeEffectWhenTheirLineIsLost) {
  FailingLog failing;
  ManualClock clock(DateTime::fromParts(2024, 3, 5));
  ScriptedService service(failing, clock, {});
  std::deque<ControlRequest> requests = {ControlRequest::Pause, ControlRequest::Continue,
                                         ControlRequest::Stop};
  ::testing::internal::CaptureStderr();
  EXPECT_NO_THROW(service.ServiceCreate());
  EXPECT_NO_THROW(service.ServiceStart());
  EXPECT_TRUE(service.timer().enabled());
  EXPECT_NO_THROW(service.ServiceExecute([&] {
    const ControlRequest next = requests.front();
    requests.pop_front();
    return next;
  }));
  const std::string journal = ::testing::internal::GetCapturedStderr();
  EXPECT_TRUE(requests.empty());
  EXPECT_FALSE(service.timer().enabled());
  EXPECT_NE(journal.find("SrvVarenta: lost log line \"Serviço pausado\": EInOutError - Disk full\n"),
            std::string::npos)
      << journal;
}

// Beats while the loop waits, and right before and after every tick: each shows the loop alive.
TEST(TimerLoop, TheHeartbeatBeatsWhileWaitingAndAroundEveryTick) {
  {
    Timer timer;  // disabled: the loop waits for good
    TimerLoop loop(timer, 1.0);
    std::promise<void> beating;
    int beats = 0;
    std::thread cycle([&] {
      loop.run([] {}, {[&] {
                         if (++beats == 3) beating.set_value();
                       },
                       milliseconds(1)});
    });
    beating.get_future().wait();
    EXPECT_TRUE(loop.stop(milliseconds(10000)));
    cycle.join();
  }
  Timer timer;
  TimerLoop loop(timer, 1.0);
  std::vector<std::string> events;
  timer.setInterval(milliseconds(1));
  timer.setEnabled(true);
  loop.run(
      [&] {
        events.push_back("tick");
        loop.stop(milliseconds(0));
      },
      {[&] { events.push_back("beat"); }, milliseconds(0)});
  EXPECT_EQ(events, (std::vector<std::string>{"beat", "tick", "beat"}));
}

}  // namespace
}  // namespace varenta
