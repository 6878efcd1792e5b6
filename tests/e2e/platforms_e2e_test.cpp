// The Windows program and the Linux one bring the same store in step with the same cloud: each on a
// database and a stand-in of its own holding the same rows and lists, one after the other. In a
// clean run the cloud receives the same requests from both, in the same order and to the byte, and
// the two logs are the same bytes but for their time stamps; under faults, the same requests and
// lines as many times. Windows only: the Windows program runs under wine, the Linux build's one
// (VARENTA_LINUX_SERVICE) through wine's start of a Linux program.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>
#include <thread>

#include "base/clock.h"
#include "base/error.h"
#include "base/paths.h"
#include "tests/e2e/cloud_fixture.h"
#include "tests/e2e/e2e_fixture.h"
#include "tests/support/files.h"
#include "tests/support/linux_shell.h"
#include "tests/support/tolvane_ini_files.h"
#include "tests/support/wine.h"

namespace varenta::e2e {
namespace {

using namespace std::chrono_literals;

// The Linux program in `directory`, started by a shell that records its process id; stopped, as
// systemd stops it, by SIGTERM.
class LinuxProgramRun {
 public:
  LinuxProgramRun(const std::string& directory, const std::string& databasePath)
      : dir_(directory), linuxDir_(linuxPathOf(utf8Path(directory))) {
    writeIni(dir_, iniNaming("127.0.0.1", databasePath));
    if (runLinuxShell("cp " + shellQuoted(VARENTA_LINUX_SERVICE) + " " + shellQuoted(linuxDir_)) != 0)
      throw std::runtime_error("cannot copy the Linux program");
  }
  ~LinuxProgramRun() {
    if (started_) runLinuxShell("kill -KILL $(cat " + shellQuoted(linuxDir_ + "/pid") + ") 2>/dev/null");
  }

  void start(const std::string& timeScale, const std::string& probeHosts) {
    startLinuxShell("cd " + shellQuoted(linuxDir_) + " && echo $$ > pid.partial && mv pid.partial pid && " +
                    "VARENTA_TIME_SCALE=" + shellQuoted(timeScale) + " VARENTA_PROBE_HOSTS=" +
                    shellQuoted(probeHosts) + " exec ./prjSrvVarenta > stdout 2> stderr");
    for (int i = 0; i < 500 && !std::filesystem::exists(utf8Path(dir_ + "pid")); ++i)
      std::this_thread::sleep_for(10ms);
    started_ = std::filesystem::exists(utf8Path(dir_ + "pid"));
    if (!started_) throw std::runtime_error("the Linux program did not start");
  }
  bool running() const {
    return runLinuxShell("kill -0 $(cat " + shellQuoted(linuxDir_ + "/pid") + ")") == 0;
  }
  // SIGTERM, then the end awaited: 0 once it ended, -1 when it had to be killed (its exit status
  // reaches nobody here: wine does not wait for a Linux program it started).
  int stop() {
    const std::string pid = "$(cat " + shellQuoted(linuxDir_ + "/pid") + ")";
    const bool ended = runLinuxShell("kill -TERM " + pid + "; for i in $(seq 600); do kill -0 " + pid +
                                     " 2>/dev/null || exit 0; sleep 0.05; done; exit 1") == 0;
    if (ended) started_ = false;
    return ended ? 0 : -1;
  }
  std::string logPath() const { return dir_ + "Varenta.log"; }

 private:
  std::string dir_;
  std::string linuxDir_;
  bool started_ = false;
};

// The log's bytes with each line's time stamp left out.
std::string withoutTimeStamps(const std::string& log) {
  std::string out;
  std::istringstream in(log);
  for (std::string line; std::getline(in, line);) out += line.substr(timeStampLength(line)) + "\n";
  return out;
}

// A cancelled sale the store never registered goes to the cloud under a number drawn at random,
// differently in every run: the drawn number reads "<drawn>" in the requests and the log.
const std::regex kDrawnInLog(R"(^\[CancP=\s*\d+\])");
const std::regex kDrawnInBody(R"("numero":"-?\d+")");

std::string withoutDrawnNumbers(const std::string& log) {
  std::string out;
  std::istringstream in(log);
  for (std::string line; std::getline(in, line);)
    out += std::regex_replace(line, kDrawnInLog, "[CancP=<drawn>]") + "\n";
  return out;
}

// What the cloud received: every request but the probe's (their number follows the clock, not the
// store), method, path, query and body, one per line.
std::vector<std::string> requests(const std::vector<JournalEntry>& journal) {
  std::vector<std::string> out;
  for (const JournalEntry& e : journal) {
    if (e.method == "HEAD") continue;
    const std::string body = e.path.find("/cajas/9999/") == std::string::npos
                                 ? e.body
                                 : std::regex_replace(e.body, kDrawnInBody, R"("numero":"<drawn>")");
    out.push_back(e.method + " " + e.path + "?" + e.query + " " + body);
  }
  return out;
}

std::vector<std::string> sorted(std::vector<std::string> lines) {
  std::sort(lines.begin(), lines.end());
  return lines;
}

// The log's lines, each without the number the stand-in gave what it accepted ("]Ok:12"), which
// follows the order of the posts.
std::vector<std::string> linesWithoutAcceptanceNumbers(const std::string& text) {
  static const std::regex accepted(R"(\]Ok:\d+\r?$)");
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    out.push_back(std::regex_replace(line, accepted, "]Ok:<n>"));
  return out;
}

// One store on a database of its own, with a stand-in of its own serving the store's lists (a
// stand-in numbers what it accepts, and the log shows those numbers).
struct StoreAndCloud {
  explicit StoreAndCloud(StoreRecipe recipe) {
    recipe.standInUrl = standIn.baseUrl();
    store = generateStore(recipe);
    writeStore(db.connection(), store);
    for (const auto& [name, text] : cloudFiles(store)) standIn.writeDataFile(name, text);
    expected = expectedRun(store);
  }

  // Every mark where the store's rows put it (a moment when the shared server drops its links,
  // another suite restarting it, reads as not yet).
  bool inStep() {
    try {
      const Marks m = readMarks(db.connection());
      return m.ultVenda == expected.ultVenda && m.ultCancelamento == expected.ultCancelamento &&
             m.ultCaixa == store.today && !m.verificaPromo.isZero() && !m.verificaReenvio.isZero();
    } catch (const EDatabaseError&) {
      db.connection().close();
      return false;
    }
  }
  long probes() const {
    const auto all = standIn.journal();
    return std::count_if(all.begin(), all.end(), [](const JournalEntry& e) { return e.method == "HEAD"; });
  }

  testing::TestDatabase db;
  StandIn standIn;
  Store store;
  ExpectedRun expected;
};

struct Outcome {
  std::string log;  // without its time stamps and drawn numbers
  std::vector<std::string> requests;
};

// Runs `program` until the store is in step and three more ticks have passed, then stops it.
template <class Program>
Outcome runToTheEnd(Program& program, StoreAndCloud& twin) {
  program.start(kTimeScale, "127.0.0.1:" + std::to_string(twin.standIn.port()));
  const auto deadline = std::chrono::steady_clock::now() + 600s;
  while (!twin.inStep() && program.running() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(100ms);
  EXPECT_TRUE(twin.inStep()) << "the store never came in step";
  const long probes = twin.probes();
  while (twin.probes() < probes + 3 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(50ms);
  EXPECT_EQ(program.stop(), 0) << "the program did not stop as asked";
  return {withoutDrawnNumbers(withoutTimeStamps(readFile(program.logPath()))),
          requests(twin.standIn.journal())};
}

class Platforms : public ::testing::Test {
 protected:
  // Both programs on the same store, one after the other; `faults` is set on each program's cloud
  // before it starts.
  void runBoth(std::function<void(const StandIn&)> faults = [](const StandIn&) {}) {
    StoreRecipe recipe;
    recipe.sales = 300;
    recipe.startDaysBack = 75;
    recipe.oldSales = 5;
    recipe.today = systemClock().now();
    StoreAndCloud windowsStore(recipe);
    StoreAndCloud linuxStore(recipe);

    faults(windowsStore.standIn);
    ServiceRun windowsProgram(VARENTA_SERVICE_BINARY, windowsDir_.dir(), "127.0.0.1", windowsStore.db.path());
    windows_ = runToTheEnd(windowsProgram, windowsStore);

    faults(linuxStore.standIn);
    LinuxProgramRun linuxProgram(linuxDir_.dir(), linuxStore.db.path());
    linux_ = runToTheEnd(linuxProgram, linuxStore);
    EXPECT_GT(windows_.requests.size(), 300u);
  }

  TempDir windowsDir_{"varenta-windows"};
  TempDir linuxDir_{"varenta-linux"};
  Outcome windows_;
  Outcome linux_;
};

// A clean run: the same requests in the same order, and the same log to the byte.
TEST_F(Platforms, TheWindowsProgramSendsAndLogsWhatTheLinuxProgramDoes) {
  runBoth();
  ASSERT_EQ(windows_.requests.size(), linux_.requests.size());
  for (std::size_t i = 0; i < windows_.requests.size(); ++i)
    ASSERT_EQ(windows_.requests[i], linux_.requests[i]) << "request " << i + 1;
  EXPECT_EQ(windows_.log, linux_.log);
}

// The cloud fails the first three posts: what is asked again is asked after a time, so the two runs
// may interleave the tasks differently; every request and every line is the same, as many times (but
// for the numbers the stand-in gives in the order it accepts).
TEST_F(Platforms, UnderFaultsTheSameRequestsAndLinesAsManyTimes) {
  runBoth([](const StandIn& cloud) { cloud.force({.status = 500, .times = 3, .method = "POST"}); });
  EXPECT_EQ(sorted(windows_.requests), sorted(linux_.requests));
  EXPECT_NE(windows_.log.find("Mensagem: HTTP/1.1 500 Internal Server Error"), std::string::npos);
  EXPECT_EQ(sorted(linesWithoutAcceptanceNumbers(windows_.log)),
            sorted(linesWithoutAcceptanceNumbers(linux_.log)));
}

}  // namespace
}  // namespace varenta::e2e
