// The unit the program writes, read back key by key as systemd reads it: as root, as a program
// installed by hand always ran, or confined to the service's own account where the package gave it
// the program's directory; and that account, found only where it may write.

#include "host/systemd_unit.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <sstream>
#include <vector>

#include "host/service_account.h"
#include "tests/support/files.h"
#include "tests/support/temp_dir.h"

namespace varenta {
namespace {

namespace fs = std::filesystem;

// An account every Debian system has, standing in for the package's own.
const ServiceAccount kAccount{"daemon", 1, 1};

// "Section.Key" to the values given to it, in their order.
std::map<std::string, std::vector<std::string>> keysOf(const std::string& text) {
  std::map<std::string, std::vector<std::string>> keys;
  std::istringstream lines(text);
  std::string section;
  for (std::string line; std::getline(lines, line);) {
    if (line.empty()) continue;
    if (line.front() == '[') {
      section = line.substr(1, line.size() - 2);
      continue;
    }
    const auto eq = line.find('=');
    EXPECT_NE(eq, std::string::npos) << line;
    keys[section + "." + line.substr(0, eq)].push_back(line.substr(eq + 1));
  }
  return keys;
}

bool haveSystemdAnalyze() {
  if (std::system("command -v systemd-analyze >/dev/null") == 0) return true;
  std::cout << "[ NOTE     ] systemd-analyze is not installed; the unit was not checked by it\n";
  return false;
}

// systemd-analyze's exit status, its output in `said`.
int systemdAnalyze(const std::string& arguments, std::string& said) {
  TempDir out;
  const int status = std::system(("systemd-analyze " + arguments + " >" + out.dir() + "said 2>&1").c_str());
  said = readFile(out.dir() + "said");
  return status;
}

class SystemdUnitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Spaces, "%" and "$" in the path show the quoting of both keys that name it.
    dir = temp.dir() + "Srv Varenta %n $HOME";
    fs::create_directory(dir);
    executable = dir + "/prjSrvVarenta";
    fs::copy_file("/bin/true", executable);
  }

  std::string written(const std::optional<ServiceAccount>& account) {
    const std::string path = temp.dir() + "SrvVarenta.service";
    std::ofstream(path) << unitText(executable, account);
    return path;
  }

  TempDir temp;
  std::string dir;
  std::string executable;
};

TEST_F(SystemdUnitTest, WithoutTheAccountTheServiceRunsAsRootAsItAlwaysDid) {
  const std::string unit = written(std::nullopt);
  std::map<std::string, std::vector<std::string>> service;
  for (const auto& [key, values] : keysOf(readFile(unit)))
    if (key.starts_with("Service.")) service[key.substr(8)] = values;
  const std::map<std::string, std::vector<std::string>> expected{
      {"Type", {"notify"}},
      {"ExecStart", {"\"" + temp.dir() + "Srv Varenta %%n $HOME/prjSrvVarenta\""}},
      {"Restart", {"on-failure"}},
      {"RestartSec", {"30"}},
      {"WatchdogSec", {"10min"}}};
  EXPECT_EQ(service, expected);
  std::string said;
  if (haveSystemdAnalyze()) {
    EXPECT_EQ(systemdAnalyze("verify '" + unit + "'", said), 0) << said;
  }
  EXPECT_EQ(said, "");
}

TEST_F(SystemdUnitTest, TheAccountsUnitMayWriteOnlyInTheProgramsDirectory) {
  const std::string unit = written(kAccount);
  const auto keys = keysOf(readFile(unit));
  const std::map<std::string, std::string> confined{
      {"User", "daemon"},
      {"NoNewPrivileges", "yes"},
      {"CapabilityBoundingSet", ""},
      {"ProtectSystem", "strict"},
      {"ReadWritePaths", "\"" + temp.dir() + "Srv Varenta %%n $HOME\""},
      {"ProtectHome", "yes"},
      {"PrivateTmp", "yes"},
      {"UMask", "0027"},
      // The store database, the probe and the cloud; systemd's notifications and watchdog.
      {"RestrictAddressFamilies", "AF_UNIX AF_INET AF_INET6"}};
  for (const auto& [key, value] : confined)
    EXPECT_EQ(keys.count("Service." + key) ? keys.at("Service." + key) : std::vector<std::string>{},
              std::vector<std::string>{value})
        << key;
  // What the root unit has stays as it was.
  const auto asRoot = keysOf(readFile(written(std::nullopt)));
  for (const auto& [key, values] : asRoot) EXPECT_EQ(keys.at(key), values) << key;
  for (const char* key :
       {"ReadOnlyPaths", "InaccessiblePaths", "BindPaths", "PrivateNetwork", "IPAddressDeny"})
    EXPECT_EQ(keys.count(std::string("Service.") + key), 0u) << key;

  if (!haveSystemdAnalyze()) return;
  std::string said;
  EXPECT_EQ(systemdAnalyze("verify '" + written(kAccount) + "'", said), 0) << said;
  EXPECT_EQ(said, "");
  // An exposure of 2.0 out of 10 at most, "OK" (the root unit's is 9.6, "UNSAFE").
  EXPECT_EQ(systemdAnalyze("security --offline=yes --threshold=20 '" + unit + "'", said), 0) << said;
}

TEST(ServiceAccount, IsTheOneThatMayWriteInTheDirectory) {
  struct Case {
    const char* name;
    uid_t owner;
    gid_t group;
    mode_t mode;
    bool found;
  };
  if (geteuid() != 0) GTEST_SKIP() << "changing a directory's owner takes root";
  TempDir temp;
  for (const Case& c : {Case{"daemon", 0, 1, 01775, true}, Case{"daemon", 1, 0, 0755, true},
                        Case{"daemon", 0, 1, 0755, false}, Case{"daemon", 1, 0, 0555, false},
                        Case{"daemon", 0, 0, 0777, false}, Case{"no-such-account-here", 0, 1, 0775, false}}) {
    ASSERT_EQ(chown(temp.path().c_str(), c.owner, c.group), 0);
    ASSERT_EQ(chmod(temp.path().c_str(), c.mode), 0);
    const auto account = serviceAccountFor(temp.path(), c.name);
    EXPECT_EQ(account.has_value(), c.found)
        << c.name << " " << c.owner << ":" << c.group << " " << std::oct << c.mode;
    if (account) {
      EXPECT_EQ(account->uid, 1u);
    }
  }
  EXPECT_FALSE(serviceAccountFor(temp.dir() + "absent", "daemon"));
}

TEST(ServiceAccount, GetsTheLogRootWouldCreateAndNothingElse) {
  if (geteuid() != 0) GTEST_SKIP() << "giving a file to another account takes root";
  TempDir temp;
  const std::string log = temp.dir() + "Varenta.log";
  createLogForAccount(log, kAccount);
  struct stat made {};
  ASSERT_EQ(stat(log.c_str(), &made), 0);
  EXPECT_EQ(made.st_uid, 1u);
  EXPECT_EQ(made.st_gid, 1u);
  EXPECT_EQ(made.st_mode & 07777, 0640u);

  // A file already there keeps its owner and bytes; a link there is not followed.
  ASSERT_EQ(chown(log.c_str(), 0, 0), 0);
  std::ofstream(log, std::ios::app) << "linha\r\n";
  createLogForAccount(log, kAccount);
  ASSERT_EQ(stat(log.c_str(), &made), 0);
  EXPECT_EQ(made.st_uid, 0u);
  EXPECT_EQ(readFile(log), "linha\r\n");

  const std::string target = temp.dir() + "elsewhere";
  fs::create_symlink(target, temp.dir() + "link.log");
  createLogForAccount(temp.dir() + "link.log", kAccount);
  EXPECT_FALSE(fs::exists(target));
}

}  // namespace
}  // namespace varenta
