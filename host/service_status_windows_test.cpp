// What the service tells the service control manager while a stop is under way: a pause or
// continue handled at the same time never replaces the stop, and the stop keeps showing progress.

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "host/service_manager_windows.h"

namespace varenta {
namespace {

class Reported {
 public:
  StatusReporter::Sink sink() {
    return [this](const SERVICE_STATUS& status) {
      std::lock_guard lock(mutex_);
      seen_.push_back(status);
    };
  }
  std::vector<SERVICE_STATUS> seen() {
    std::lock_guard lock(mutex_);
    return seen_;
  }
  std::vector<DWORD> states() {
    std::vector<DWORD> states;
    for (const SERVICE_STATUS& s : seen()) states.push_back(s.dwCurrentState);
    return states;
  }

 private:
  std::mutex mutex_;
  std::vector<SERVICE_STATUS> seen_;
};

TEST(StatusReporter, APauseOrContinueEndingDuringAStopNeverReplacesIt) {
  for (const DWORD late : {DWORD{SERVICE_PAUSED}, DWORD{SERVICE_RUNNING}, DWORD{SERVICE_PAUSE_PENDING},
                           DWORD{SERVICE_CONTINUE_PENDING}}) {
    SCOPED_TRACE(late);
    Reported reported;
    StatusReporter status(reported.sink());
    status.report(SERVICE_RUNNING);
    status.report(SERVICE_PAUSE_PENDING);  // the handler took a pause
    status.report(SERVICE_STOP_PENDING);   // and then a stop, before the pause took effect
    status.report(late);                   // the pause (or a continue) has now taken effect
    status.report(SERVICE_STOP_PENDING);   // the service thread begins the stop
    status.endPulse();
    status.report(SERVICE_STOPPED);
    EXPECT_EQ(reported.states(),
              (std::vector<DWORD>{SERVICE_RUNNING, SERVICE_PAUSE_PENDING, SERVICE_STOP_PENDING,
                                  SERVICE_STOP_PENDING, SERVICE_STOPPED}));
    const std::vector<SERVICE_STATUS> seen = reported.seen();
    EXPECT_EQ(seen[2].dwControlsAccepted, 0u);  // no pause or continue is taken while stopping
  }
}

// The manager takes a pending stop whose check point stops moving past its wait hint for a hung
// service: the check point moves every second while the stop waits for a long tick.
TEST(StatusReporter, AStopInProgressGivesAWaitHintAndMovingCheckPoints) {
  Reported reported;
  StatusReporter status(reported.sink());
  status.report(SERVICE_RUNNING);
  status.report(SERVICE_STOP_PENDING);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (reported.seen().size() < 4 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  status.endPulse();
  status.report(SERVICE_STOPPED);
  const std::vector<SERVICE_STATUS> seen = reported.seen();
  ASSERT_GE(seen.size(), 5u);
  DWORD checkPoint = 0;
  for (std::size_t i = 1; i + 1 < seen.size(); ++i) {
    EXPECT_EQ(seen[i].dwCurrentState, static_cast<DWORD>(SERVICE_STOP_PENDING));
    EXPECT_GE(seen[i].dwWaitHint, 20000u) << "a stop may wait 10 s for a tick and 10 s for the release";
    EXPECT_GT(seen[i].dwCheckPoint, checkPoint);
    checkPoint = seen[i].dwCheckPoint;
  }
  EXPECT_EQ(seen.back().dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
  EXPECT_EQ(seen.back().dwCheckPoint, 0u);
  EXPECT_EQ(seen.back().dwWaitHint, 0u);
}

}  // namespace
}  // namespace varenta
