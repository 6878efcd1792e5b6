#pragma once
// EndToEndTest: one store on a throw-away database, the cloud stand-in with the store's promotion
// lists and resend requests, and the real program run against both in scaled time, as an operator's
// machine would run it. The test's expectations come from the generated rows (expected_run.h).

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/expected_run.h"
#include "tests/e2e/post_tally.h"
#include "tests/e2e/service_run.h"
#include "tests/e2e/store_generator.h"
#include "tests/firebird/test_database.h"
#include "tests/standin/standin_launcher.h"
#include "tests/support/temp_dir.h"

namespace varenta::e2e {

inline constexpr const char* kTimeScale = "0.001";  // the cycle's 10 s between tasks: 10 ms

class EndToEndTest : public ::testing::Test {
 protected:
  // Generates the store for today on the test database and writes the stand-in's files.
  void makeStore(StoreRecipe recipe);
  // Starts the program, Tolvane.ini naming `server` (a host or "host/port"), the probe asking
  // `probeHosts` (the stand-in when empty). When the build's resend poll never asks the cloud for
  // resend requests, the run goes on as if today's poll had been made, without its checks.
  void startService(const std::string& server = "127.0.0.1", const std::string& probeHosts = {});
  // Waits until `ready` holds for the marks in the database; false after `timeout`.
  bool awaitMarks(const std::function<bool(const Marks&)>& ready, std::chrono::seconds timeout);
  // Every mark where the store's rows put it at the end of a run.
  bool inStep(const Marks& marks) const;
  bool awaitInStep(std::chrono::seconds timeout = std::chrono::seconds(600));
  // Waits until the probe has asked at least `more` further times (as `probes` counts them; the
  // stand-in's HEAD requests when not given): the cycle still ticks.
  bool awaitTicks(int more, std::function<long()> probes = {});
  int stopService();

  Marks marks();
  std::vector<JournalEntry> journal() const { return standIn_.journal(); }
  std::string standInHost() const { return "127.0.0.1:" + std::to_string(standIn_.port()); }
  // The posts the run must make (without the resend poll's when the build has none).
  const std::vector<ExpectedPost>& expectedPosts() const { return expected_.posts; }
  bool resendPolling() const { return resendPolling_; }

  // The summary of a tally, for failure messages and the run's notes.
  static std::string describe(const PostTally& tally);

  testing::TestDatabase db_;
  StandIn standIn_;
  TempDir programDir_{"varenta-e2e"};
  Store store_;
  ExpectedRun expected_;
  std::unique_ptr<ServiceRun> service_;

 private:
  bool askedForResendRequests() const;
  void leaveOutResendPoll();

  Connection marksConnection_;
  std::string probeHosts_;
  bool resendPolling_ = true;
};

// Watches a run from beside it: every few hundred milliseconds it reads the marks, then the
// journal, and notes every mark that claims a post the stand-in never received, and a sale or
// cancellation mark that went back (the closing mark goes back to the day whose closing a late
// cancellation owes).
class MarkWatch {
 public:
  MarkWatch(const testing::TestDatabase& db, const StandIn& standIn, const Store& store,
            const ExpectedRun& run);
  ~MarkWatch();
  MarkWatch(const MarkWatch&) = delete;
  MarkWatch& operator=(const MarkWatch&) = delete;

  // Stops watching; the faults noted, each once.
  std::vector<std::string> stop();
  int samples() const { return samples_; }

 private:
  void watch();

  const StandIn& standIn_;
  const Store& store_;
  const ExpectedRun& run_;
  Connection connection_;
  std::atomic<bool> stopping_{false};
  std::vector<std::string> faults_;
  int samples_ = 0;
  std::thread thread_;
};

}  // namespace varenta::e2e
