// The Windows program and the Linux one bring the same store in step with the same cloud, faults
// included: each on a database of its own holding the same rows, one after the other against one
// stand-in. The cloud receives the same requests from both, in the same order and to the byte, and
// the two logs are the same bytes but for their time stamps. Windows only: the Windows program runs
// under wine, the Linux one (named by VARENTA_LINUX_SERVICE) through wine's start of a Linux program.

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "base/paths.h"
#include "tests/e2e/cloud_fixture.h"
#include "tests/e2e/e2e_fixture.h"
#include "tests/support/files.h"
#include "tests/support/linux_shell.h"
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
    std::ofstream(utf8Path(dir_ + "Tolvane.ini"), std::ios::binary)
        << "[Tolvane]\r\nServidor=127.0.0.1\r\nCaminho=" << databasePath << "\r\n";
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
  // SIGTERM, then the end awaited; false when it had to be killed.
  bool stop() {
    const std::string pid = "$(cat " + shellQuoted(linuxDir_ + "/pid") + ")";
    const bool ended = runLinuxShell("kill -TERM " + pid + "; for i in $(seq 600); do kill -0 " + pid +
                                     " 2>/dev/null || exit 0; sleep 0.05; done; exit 1") == 0;
    if (ended) started_ = false;
    return ended;
  }
  std::string logPath() const { return dir_ + "Varenta.log"; }

 private:
  std::string dir_;
  std::string linuxDir_;
  bool started_ = false;
};

// The log's bytes with each line's time stamp ("11/12/2026 09:28:38 - ") left out.
std::string withoutTimeStamps(const std::string& log) {
  std::string out;
  std::istringstream in(log);
  for (std::string line; std::getline(in, line);) {
    const bool stamped = line.size() >= 22 && line[2] == '/' && line[5] == '/' && line.substr(19, 3) == " - ";
    out += (stamped ? line.substr(22) : line) + "\n";
  }
  return out;
}

// What the cloud received: every request but the probe's (their number follows the clock, not the
// store), method, path, query and body, one per line.
std::vector<std::string> requests(const std::vector<JournalEntry>& journal, std::size_t from,
                                  std::size_t to) {
  std::vector<std::string> out;
  for (std::size_t i = from; i < to; ++i)
    if (journal[i].method != "HEAD")
      out.push_back(journal[i].method + " " + journal[i].path + "?" + journal[i].query + " " +
                    journal[i].body);
  return out;
}

class Platforms : public EndToEndTest {
 protected:
  // The faults both runs meet, in the same requests: the cloud fails the first three posts.
  void forceFaults() { standIn_.force({.status = 500, .times = 3, .method = "POST"}); }
};

TEST_F(Platforms, TheWindowsProgramSendsAndLogsWhatTheLinuxProgramDoes) {
  StoreRecipe recipe;
  recipe.sales = 300;
  recipe.startDaysBack = 75;
  recipe.oldSales = 5;
  makeStore(recipe);
  // The Linux program's database: the same rows.
  testing::TestDatabase linuxDb;
  Store linuxStore = store_;
  writeStore(linuxDb.connection(), linuxStore);

  forceFaults();
  startService();
  ASSERT_TRUE(awaitInStep()) << "the Windows program: sale mark " << marks().ultVenda;
  EXPECT_TRUE(awaitTicks(3));
  EXPECT_EQ(stopService(), 0);
  const std::size_t windowsEnd = journal().size();

  forceFaults();
  TempDir linuxDir("varenta-linux");
  LinuxProgramRun linux(linuxDir.dir(), linuxDb.path());
  linux.start(kTimeScale, standInHost());
  Connection linuxMarks;
  linuxDb.configure(linuxMarks);
  const auto deadline = std::chrono::steady_clock::now() + 600s;
  while (!inStep(readMarks(linuxMarks)) && std::chrono::steady_clock::now() < deadline && linux.running())
    std::this_thread::sleep_for(100ms);
  ASSERT_TRUE(inStep(readMarks(linuxMarks)))
      << "the Linux program: sale mark " << readMarks(linuxMarks).ultVenda;
  EXPECT_TRUE(awaitTicks(3));
  EXPECT_TRUE(linux.stop());

  const std::vector<JournalEntry> all = journal();
  const std::vector<std::string> windowsRequests = requests(all, 0, windowsEnd);
  const std::vector<std::string> linuxRequests = requests(all, windowsEnd, all.size());
  EXPECT_GT(windowsRequests.size(), 300u);
  ASSERT_EQ(windowsRequests.size(), linuxRequests.size());
  for (std::size_t i = 0; i < windowsRequests.size(); ++i)
    ASSERT_EQ(windowsRequests[i], linuxRequests[i]) << "request " << i + 1;

  const std::string windowsLog = withoutTimeStamps(readFile(service_->logPath()));
  const std::string linuxLog = withoutTimeStamps(readFile(linux.logPath()));
  EXPECT_NE(windowsLog.find("500"), std::string::npos) << "the faults left no line";
  EXPECT_EQ(windowsLog, linuxLog);
}

}  // namespace
}  // namespace varenta::e2e
