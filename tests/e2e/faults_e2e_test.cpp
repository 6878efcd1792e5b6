// The main job under faults, end to end: while the real program brings a generated store in step,
// its link to the database is cut, the cloud fails, the internet goes away, or its log cannot be
// written. After each fault clears, nothing may be missing at the stand-in, no mark may ever have
// claimed a post the stand-in did not receive, and the cycle must still tick. Documents sent more
// than once are counted: the design sends again a closing day interrupted mid-way and a post whose
// outcome was lost, and nothing else.

#include <atomic>
#include <filesystem>
#include <functional>
#include <map>
#include <thread>

#include "tests/e2e/e2e_fixture.h"
#include "tests/firebird/loopback_relay.h"
#include "tests/support/linux_shell.h"
#include "tests/support/loopback_sockets.h"

namespace varenta::e2e {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr int kSales = 240;

// The copies of documents sent more than once, by what they are.
std::string duplicatesText(const PostTally& tally) {
  return std::to_string(tally.duplicates()) + " (closings " +
         std::to_string(tally.duplicatesOf(Phase::Closing) +
                        tally.duplicatesOf(Phase::CancellationClosingResend)) +
         ", sales " + std::to_string(tally.duplicatesOf(Phase::Sale)) + ", cancellations " +
         std::to_string(tally.duplicatesOf(Phase::Cancellation)) + ", resends " +
         std::to_string(tally.duplicatesOf(Phase::Resend)) + ")";
}

// How often each result line of the expected posts reads "Ok:" in the log; the posts of a run that
// came through must all have been logged with the cloud's acceptance at least once.
std::vector<std::string> postsNeverLoggedOk(const std::vector<ExpectedPost>& posts,
                                            const std::vector<std::string>& messages) {
  std::map<std::string, int> wanted;
  for (const ExpectedPost& p : posts) ++wanted[p.logPrefix + "Ok:"];
  std::vector<std::string> never;
  for (const auto& [prefix, count] : wanted) {
    const std::size_t drawn = prefix.find("<N9>");
    int seen = 0;
    for (const std::string& m : messages) {
      if (drawn == std::string::npos
              ? m.starts_with(prefix)
              : m.size() > prefix.size() + 5 && matchesExpected(prefix, m.substr(0, prefix.size() + 5)))
        ++seen;
    }
    if (seen < count)
      never.push_back(prefix + " (" + std::to_string(seen) + " of " + std::to_string(count) + ")");
  }
  return never;
}

class Faults : public EndToEndTest {
 protected:
  void SetUp() override {
    StoreRecipe recipe;
    recipe.seed = 4242;
    recipe.sales = kSales;
    makeStore(recipe);
  }

  // Waits until the sale export is `n` sales into the week.
  bool awaitSales(int n) {
    const int target = store_.sales[static_cast<std::size_t>(n)].venda;
    return awaitMarks([target](const Marks& m) { return m.ultVenda >= target; }, 300s);
  }

  // What every fault test asks once the fault has cleared. `extraCopiesAllowed` bounds the copies
  // of documents sent more than once; `messages` gives the whole log once the store is in step.
  void expectNothingLost(const char* fault, MarkWatch& watch, int extraCopiesAllowed,
                         const std::function<std::vector<std::string>()>& log) {
    ASSERT_TRUE(awaitInStep()) << fault << ": the store never came in step; marks: sale " << marks().ultVenda
                               << " of " << expected_.ultVenda << "; "
                               << describe(tallyPosts(expectedPosts(), journal()));
    const std::vector<std::string> ahead = watch.stop();
    EXPECT_TRUE(ahead.empty()) << fault << ": " << ahead.front() << " (" << ahead.size() << " faults in "
                               << watch.samples() << " samples)";
    EXPECT_GT(watch.samples(), 3);
    const PostTally tally = tallyPosts(expectedPosts(), journal());
    EXPECT_TRUE(tally.missing.empty()) << fault << ": " << describe(tally);
    EXPECT_TRUE(tally.unexpected.empty()) << fault << ": " << describe(tally);
    EXPECT_LE(tally.duplicates(), extraCopiesAllowed) << fault << ": " << describe(tally);
    const std::vector<std::string> messages = log();
    const std::vector<std::string> never = postsNeverLoggedOk(expectedPosts(), messages);
    EXPECT_TRUE(never.empty()) << fault << ": never logged as accepted: " << never.front();
    const auto errors = std::count_if(messages.begin(), messages.end(), [](const std::string& m) {
      return m.starts_with("ERRO no Timer: ") || m.find("\r\nMensagem: ") != std::string::npos;
    });
    std::cout << "[ NOTE     ] " << fault << ": " << tally.posts << " posts for " << expectedPosts().size()
              << " documents; sent more than once: " << duplicatesText(tally) << "; " << errors
              << " errors logged\n";
    for (const std::string& m : messages)
      if (m.starts_with("ERRO no Timer: ")) std::cout << "             " << m.substr(0, 160) << "\n";
    RecordProperty("extra_copies", tally.duplicates());
  }
};

// The database server's link is cut eight times while the exports run: the relay in front of the
// server closes every open link and refuses new ones for a moment, as a server restart does.
TEST_F(Faults, TheDatabaseLinkCutInTheMiddleOfTheExports) {
  testing::LoopbackRelay relay(3050);
  MarkWatch watch(db_, standIn_, store_, expected_);
  startService("127.0.0.1/" + std::to_string(relay.port()));
  constexpr int kCuts = 8;
  for (int cut = 0; cut < kCuts && !inStep(marks()); ++cut) {
    std::this_thread::sleep_for(std::chrono::milliseconds(300 + 97 * cut));
    relay.refuse(true);
    relay.cut();
    std::this_thread::sleep_for(150ms);
    relay.refuse(false);
  }
  // A cut during a closing day sends its registers again (four posts at most), during a sale or a
  // cancellation its one document (and a late cancellation's closing resend).
  expectNothingLost("database link cut", watch, 4 * kCuts, [this] { return service_->messages(); });
  const auto messages = service_->messages();
  EXPECT_GT(
      std::count_if(messages.begin(), messages.end(),
                    [](const std::string& m) { return m.starts_with("ERRO no Timer: EDatabaseError"); }),
      0)
      << "no cut reached a task";
  EXPECT_TRUE(awaitTicks(3)) << "the cycle stopped ticking";
  EXPECT_EQ(stopService(), 0) << service_->standardError();
}

// The cloud answers 500 six times, and later breaks six answers off after their headers.
TEST_F(Faults, TheCloudFailingAndBreakingItsAnswers) {
  MarkWatch watch(db_, standIn_, store_, expected_);
  startService();
  StandInForcing failing;
  failing.status = 500;
  failing.times = 6;
  standIn_.force(failing);
  ASSERT_TRUE(awaitSales(40));
  StandInForcing breaking;
  breaking.close = true;
  breaking.times = 6;
  standIn_.force(breaking);
  // Each failed answer may bring its document again, and a failed closing post the day's registers
  // posted before it.
  expectNothingLost("cloud failing", watch, 4 * 12, [this] { return service_->messages(); });
  const auto messages = service_->messages();
  EXPECT_NE(std::find_if(messages.begin(), messages.end(),
                         [](const std::string& m) { return m.starts_with("ERRO no Timer: "); }),
            messages.end());
  EXPECT_TRUE(awaitTicks(3)) << "the cycle stopped ticking";
  EXPECT_EQ(stopService(), 0) << service_->standardError();
}

// The only host the probe asks, on a port of its own, goes away for two network pauses and comes
// back on the same port. It answers every request 204 and closes the connection.
class ProbeHost {
 public:
  ProbeHost() { start(0); }
  ~ProbeHost() { stop(); }
  int port() const { return port_; }
  long requests() const { return requests_; }

  void start(int port) {
    listener_ = net::listenOn(port);
    if (listener_ == net::kNoSocket) throw std::runtime_error("the probe host cannot listen on its port");
    port_ = net::portOf(listener_);
    stopping_ = false;
    thread_ = std::thread([this] { serve(); });
  }
  void stop() {
    if (listener_ == net::kNoSocket) return;
    stopping_ = true;
    thread_.join();
    net::closeSocket(listener_);
    listener_ = net::kNoSocket;
  }

 private:
  void serve() {
    while (!stopping_) {
      net::pollfd p = net::readable(listener_);
      if (net::pollSockets(&p, 1, 50) <= 0) continue;
      const net::Socket client = net::acceptFrom(listener_);
      if (client == net::kNoSocket) continue;
      // The probe's request is a few hundred bytes: the head comes whole before the answer.
      std::string request;
      char buffer[4096];
      for (int got = 1; got > 0 && request.find("\r\n\r\n") == std::string::npos;) {
        net::pollfd c = net::readable(client);
        got =
            net::pollSockets(&c, 1, 2000) > 0 ? static_cast<int>(recv(client, buffer, sizeof buffer, 0)) : 0;
        if (got > 0) request.append(buffer, static_cast<std::size_t>(got));
      }
      if (request.find("\r\n\r\n") != std::string::npos) {
        ++requests_;
        const std::string answer = "HTTP/1.1 204 No Content\r\nConnection: close\r\n\r\n";
        send(client, answer.data(), static_cast<int>(answer.size()), net::kNoSignal);
      }
      shutdown(client, net::kShutBoth);
      net::closeSocket(client);
    }
  }

  net::Socket listener_ = net::kNoSocket;
  std::atomic<bool> stopping_{false};
  std::thread thread_;
  int port_ = 0;
  std::atomic<long> requests_{0};
};

TEST_F(Faults, TheInternetGoneForAWhile) {
  ProbeHost probe;
  MarkWatch watch(db_, standIn_, store_, expected_);
  startService("127.0.0.1", "127.0.0.1:" + std::to_string(probe.port()));
  ASSERT_TRUE(awaitSales(40));
  probe.stop();
  const std::string pause = "Entrando em pausa por 15 minutos (internet).";
  auto pauses = [&] {
    const auto all = service_->messages();
    return std::count(all.begin(), all.end(), pause);
  };
  for (int i = 0; i < 400 && pauses() < 2; ++i) std::this_thread::sleep_for(25ms);
  ASSERT_EQ(pauses(), 2) << "the probe's failure did not pause the cycle twice";
  probe.start(probe.port());
  // The probe comes before every task: a failing one sends nothing twice.
  expectNothingLost("internet gone", watch, 0, [this] { return service_->messages(); });
  const auto messages = service_->messages();
  const auto failed = std::find(messages.begin(), messages.end(), "Falha na conexão de internet.");
  ASSERT_NE(failed, messages.end());
  EXPECT_EQ(*(failed + 1), pause);
  EXPECT_TRUE(awaitTicks(3, [&] { return probe.requests(); })) << "the cycle stopped ticking";
  EXPECT_EQ(stopService(), 0) << service_->standardError();
}

// As root, a directory's permissions stop no write; a directory standing where Varenta.log was
// does: every line fails until it goes and the file is made anew.
TEST_F(Faults, TheLogUnwritableForAWhile) {
  MarkWatch watch(db_, standIn_, store_, expected_);
  startService();
  ASSERT_TRUE(awaitSales(40));
  const std::string log = service_->logPath();
  fs::rename(log, log + ".before");
  fs::create_directory(log);
  std::this_thread::sleep_for(1500ms);
  fs::remove(log);
  // What the log could not take went to standard error, the posts' lines among them.
  expectNothingLost("log unwritable", watch, 2, [&] {
    std::vector<std::string> messages = logMessages(log + ".before");
    for (const std::string& m : service_->lostMessages()) messages.push_back(m);
    for (const std::string& m : service_->messages()) messages.push_back(m);
    return messages;
  });
  // A post the cloud answered moves its mark whatever the log does: at most the document at hand
  // when the fault began is sent again (a sale failing at its first line goes on after the pause).
  EXPECT_FALSE(service_->lostMessages().empty()) << "no line reached standard error";
  EXPECT_FALSE(service_->messages().empty()) << "nothing was logged after the fault cleared";
  EXPECT_TRUE(awaitTicks(3)) << "the cycle stopped ticking";
  EXPECT_EQ(stopService(), 0) << service_->standardError();
}

#ifdef _WIN32
// Under wine a SIGTERM is wine's, and ends the program at once as TerminateProcess would: the
// Firebird client behind the bridge installs handlers of its own on its first attachment, which
// would instead shut every attachment down and leave the program running, failing each tick with
// "connection shutdown" (the bridge puts the process's handlers back after each call).
TEST_F(Faults, SigtermUnderWineEndsTheProgramNotItsDatabaseLinks) {
  startService();
  ASSERT_TRUE(awaitSales(10));
  const std::string directory = fs::path(programDir_.path()).filename().string();
  // "[v]arenta..." finds the program's command line, not the shell's own, which holds the pattern.
  ASSERT_EQ(runLinuxShell("pkill -TERM -f " +
                          shellQuoted("[" + directory.substr(0, 1) + "]" + directory.substr(1))),
            0)
      << "no process runs from " << directory;
  const auto deadline = std::chrono::steady_clock::now() + 20s;
  while (service_->running() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(50ms);
  EXPECT_FALSE(service_->running()) << "the program outlived SIGTERM";
  for (const std::string& m : service_->messages()) EXPECT_EQ(m.find("shutdown"), std::string::npos) << m;
}
#endif

}  // namespace
}  // namespace varenta::e2e
