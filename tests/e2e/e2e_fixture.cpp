#include "tests/e2e/e2e_fixture.h"

#include <algorithm>
#include <set>
#include <thread>

#include "base/clock.h"
#include "base/error.h"
#include "storedb/query.h"
#include "tests/e2e/cloud_fixture.h"

namespace varenta::e2e {

using namespace std::chrono_literals;

void EndToEndTest::makeStore(StoreRecipe recipe) {
  recipe.today = systemClock().now();
  recipe.standInUrl = standIn_.baseUrl();
  store_ = generateStore(recipe);
  writeStore(db_.connection(), store_);
  for (const auto& [name, text] : cloudFiles(store_)) standIn_.writeDataFile(name, text);
  expected_ = expectedRun(store_);
  db_.configure(marksConnection_);
}

void EndToEndTest::startService(const std::string& server, const std::string& probeHosts) {
  probeHosts_ = probeHosts.empty() ? standInHost() : probeHosts;
  service_ = std::make_unique<ServiceRun>(VARENTA_SERVICE_BINARY, programDir_.dir(), server, db_.path());
  service_->start(kTimeScale, probeHosts_);
  // The poll is the first task after the connection: a build that has it asks at once.
  const auto deadline = std::chrono::steady_clock::now() + 30s;
  auto connected = [this] {
    const auto all = service_->messages();
    return std::find(all.begin(), all.end(), "DB: desconectado -> IniConn") != all.end();
  };
  while (std::chrono::steady_clock::now() < deadline && !connected()) std::this_thread::sleep_for(20ms);
  for (int i = 0; i < 250 && !askedForResendRequests(); ++i) std::this_thread::sleep_for(20ms);
  if (!askedForResendRequests()) leaveOutResendPoll();
}

bool EndToEndTest::askedForResendRequests() const {
  for (const JournalEntry& e : journal())
    if (e.path.find("/solicitudes/") != std::string::npos) return true;
  return false;
}

// The build has no resend poll yet: it would be due for ever and hold every task below it. The run
// starts again as if today's poll had been made, and the poll's posts are no longer expected.
void EndToEndTest::leaveOutResendPoll() {
  service_->stop();
  db_.exec("update padrao set varenta_verificareenvio = current_timestamp");
  std::erase_if(expected_.posts, [](const ExpectedPost& p) { return p.phase == Phase::Resend; });
  resendPolling_ = false;
  std::cout << "[ NOTE     ] resend polling is not part of this build: its checks are left out\n";
  service_->start(kTimeScale, probeHosts_);
}

// The test's own reads ride out a moment when the shared server drops its connections (another
// suite restarting it): that says nothing about the program under test.
Marks EndToEndTest::marks() {
  for (int attempt = 1;; ++attempt) {
    try {
      return readMarks(marksConnection_);
    } catch (const EDatabaseError&) {
      marksConnection_.close();
      if (attempt == 50) throw;
      std::this_thread::sleep_for(200ms);
    }
  }
}

bool EndToEndTest::awaitMarks(const std::function<bool(const Marks&)>& ready, std::chrono::seconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < deadline) {
    if (ready(marks())) return true;
    if (!service_->running()) return false;
    std::this_thread::sleep_for(100ms);
  }
  return false;
}

bool EndToEndTest::inStep(const Marks& m) const {
  return m.ultVenda == expected_.ultVenda && m.ultCancelamento == expected_.ultCancelamento &&
         m.ultCaixa == store_.today && !m.verificaPromo.isZero() && !m.verificaReenvio.isZero();
}

bool EndToEndTest::awaitInStep(std::chrono::seconds timeout) {
  return awaitMarks([this](const Marks& m) { return inStep(m); }, timeout);
}

bool EndToEndTest::awaitTicks(int more, std::function<long()> probes) {
  if (!probes)
    probes = [this] {
      const auto all = journal();
      return static_cast<long>(
          std::count_if(all.begin(), all.end(), [](const JournalEntry& e) { return e.method == "HEAD"; }));
    };
  const long before = probes();
  const auto deadline = std::chrono::steady_clock::now() + 60s;
  while (std::chrono::steady_clock::now() < deadline) {
    if (probes() >= before + more) return true;
    std::this_thread::sleep_for(50ms);
  }
  return false;
}

int EndToEndTest::stopService() {
  return service_->stop();
}

std::string EndToEndTest::describe(const PostTally& tally) {
  std::string text = std::to_string(tally.posts) + " posts, " + std::to_string(tally.missing.size()) +
                     " missing, " + std::to_string(tally.unexpected.size()) + " not expected, " +
                     std::to_string(tally.duplicates()) + " extra copies";
  for (std::size_t i = 0; i < tally.missing.size() && i < 10; ++i)
    text += "\n  missing: " + tally.missing[i]->what;
  for (std::size_t i = 0; i < tally.unexpected.size() && i < 5; ++i)
    text += "\n  not expected: " + tally.unexpected[i].substr(0, 600);
  for (const PostTally::Extra& e : tally.extras)
    text += "\n  sent " + std::to_string(e.times + 1) + " times: " + e.post->what;
  return text;
}

MarkWatch::MarkWatch(const testing::TestDatabase& db, const StandIn& standIn, const Store& store,
                     const ExpectedRun& run)
    : standIn_(standIn), store_(store), run_(run) {
  db.configure(connection_);
  thread_ = std::thread([this] { watch(); });
}

MarkWatch::~MarkWatch() {
  stop();
}

std::vector<std::string> MarkWatch::stop() {
  stopping_ = true;
  if (thread_.joinable()) thread_.join();
  return faults_;
}

void MarkWatch::watch() {
  std::set<std::string> noted;
  Marks last;
  auto note = [&](const std::string& fault) {
    if (noted.insert(fault).second) faults_.push_back(fault);
  };
  while (!stopping_) {
    Marks m;
    try {
      m = readMarks(connection_);
    } catch (const EDatabaseError&) {
      connection_.close();  // the shared server dropped the watch's own connection: read again
      continue;
    }
    for (const std::string& what : marksAheadOfPosts(store_, run_, m, standIn_.journal()))
      note("a mark is ahead of " + what + " (marks: sale " + std::to_string(m.ultVenda) + ", cancellation " +
           std::to_string(m.ultCancelamento) + ", closing " + m.ultCaixa.format("dd/mm/yyyy") + ")");
    if (m.ultVenda < last.ultVenda) note("the sale mark went back");
    if (m.ultCancelamento < last.ultCancelamento) note("the cancellation mark went back");
    // The closing mark may go back: to the day whose closing a late cancellation owes, when the
    // cloud did not judge that closing's resend.
    last = m;
    ++samples_;
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
  }
}

}  // namespace varenta::e2e
