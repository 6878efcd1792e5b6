#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/error.h"
#include "storedb/fb_api.h"
#include "tests/firebird/connection_step_fixture.h"
#include "tests/firebird/test_database.h"
#include "tests/support/temp_dir.h"

namespace varenta {
namespace {

// A store database that accepts SYSDBA with the store system's second password only. It has a
// security database of its own, named in the server's databases.conf, so every other database,
// and every other test run sharing the server, keeps SYSDBA as it was. The server binds that
// setting to a database when it opens it, so both files are made only after their entries exist:
// the security database over an embedded attachment (which needs no login, and is its own
// security database so that the user lands in it), the store database through the server with
// the second password. Everything goes again with this object, even when the test fails; entries
// that a crashed run left behind for files that are gone are removed with the next one.
class SecondPasswordDatabase {
 public:
  SecondPasswordDatabase()
      // The server's copy may be a link to the one in /etc: the link stays, the file changes.
      : conf_(std::filesystem::canonical(std::string(fb::master()->getConfigManager()->getDirectory(
                                             Firebird::IConfigManager::DIR_CONF)) +
                                         "/databases.conf")
                  .string()) {
    alias_ =
        "varenta_pw_" +
        std::filesystem::path(temp_.path()).filename().string().substr(std::string("varenta-pw-").size());
    path_ = directory_ + "store.fdb";
    const std::string security = directory_ + "security.fdb";
    try {
      editConf([&](std::string& text) {
        text += kBegin + alias_ + " " + path_ + "\n" + alias_ + " = " + path_ +
                "\n{\n\tSecurityDatabase = " + security + "\n}\n" + alias_ + "_security = " + security +
                "\n{\n\tSecurityDatabase = " + security + "\n}\n" + kEnd + alias_ + "\n";
      });
      isql("-user SYSDBA", "CREATE DATABASE '" + security +
                               "';\nCREATE USER SYSDBA PASSWORD 'gebrow' USING PLUGIN Srp;\nCOMMIT;\n");
      std::filesystem::permissions(
          security, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                        std::filesystem::perms::group_read | std::filesystem::perms::group_write |
                        std::filesystem::perms::others_read | std::filesystem::perms::others_write);
      isql("", "CREATE DATABASE '127.0.0.1/3050:" + path_ +
                   "' USER 'SYSDBA' PASSWORD 'gebrow' DEFAULT CHARACTER SET WIN1252;\n" +
                   testing::schemaScript() + "\nCOMMIT;\n");
    } catch (...) {
      removeAll();
      throw;
    }
  }
  ~SecondPasswordDatabase() { removeAll(); }
  SecondPasswordDatabase(const SecondPasswordDatabase&) = delete;
  SecondPasswordDatabase& operator=(const SecondPasswordDatabase&) = delete;

  const std::string& directory() const { return directory_; }
  const std::string& path() const { return path_; }

  void exec(const std::string& sql) const {
    isql("",
         "CONNECT '127.0.0.1/3050:" + path_ + "' USER 'SYSDBA' PASSWORD 'gebrow';\n" + sql + ";\nCOMMIT;\n");
  }

 private:
  static constexpr const char* kBegin = "# varenta test begin ";
  static constexpr const char* kEnd = "# varenta test end ";

  static void isql(const std::string& arguments, const std::string& script) {
    FILE* isql = popen(("isql-fb -q -bail " + arguments + " >/dev/null 2>&1").c_str(), "w");
    if (!isql) throw EInOutError("isql-fb cannot be started");
    std::fputs(script.c_str(), isql);
    if (pclose(isql) != 0) throw EDatabaseError("isql-fb failed on: " + script.substr(0, 200));
  }

  // The store database is dropped while its entry still holds: the server keeps a database's
  // security until it closes it, which may be a moment after the last attachment.
  void removeAll() {
    try {
      exec("DROP DATABASE");
    } catch (const Error&) {
      // Not made, or still in use: the file goes with the directory.
    }
    try {
      editConf([](std::string&) {});
    } catch (const Error& e) {
      std::cerr << "databases.conf keeps an entry for " << path_ << ": " << e.message() << "\n";
    }
  }

  // Rewrites the file without this object's entry and without stale ones, then lets change add
  // to it; one run at a time, and the server never reads a half-written file.
  template <class F>
  void editConf(F change) {
    const int lock = open("/tmp/varenta-databases-conf.lock", O_CREAT | O_RDWR, 0600);
    if (lock < 0 || flock(lock, LOCK_EX) != 0) throw EInOutError("databases.conf cannot be locked");
    std::ifstream in(conf_);
    std::string text, line;
    bool skipping = false;
    while (std::getline(in, line)) {
      if (line.starts_with(kBegin)) {
        std::istringstream words(line.substr(std::string(kBegin).size()));
        std::string alias, path;
        words >> alias >> path;
        skipping = alias == alias_ || !std::filesystem::exists(path);
      }
      if (!skipping) text += line + "\n";
      if (line.starts_with(kEnd)) skipping = false;
    }
    change(text);
    const std::string next = conf_ + ".varenta-new";
    std::ofstream(next) << text;
    std::filesystem::permissions(next, std::filesystem::status(conf_).permissions());
    // The server notices a change by the file's time in whole seconds: two changes within one
    // second would look like one.
    const auto previous = std::filesystem::last_write_time(conf_);
    std::filesystem::last_write_time(
        next, std::max(std::filesystem::file_time_type::clock::now(), previous + std::chrono::seconds(1)));
    std::filesystem::rename(next, conf_);
    close(lock);
  }

  std::string conf_;
  TempDir temp_{"varenta-pw", true};  // the server's user works in it; it goes last, with the files
  std::string directory_ = temp_.dir();
  std::string alias_;
  std::string path_;
};

TEST(IniConnPassword, ADatabaseThatTakesOnlyTheSecondPasswordConnectsWithoutAFailureLine) {
  SecondPasswordDatabase db;
  db.exec(
      "insert into padrao (codigo, cgc, varenta_url1, varenta_datainicio) values (1, '1', 'u', "
      "'2024-06-01')");
  writeIni(db.directory(), "[Tolvane]\nCaminho=" + db.path() + "\n");
  ConnectionStepFixture service;
  service.iniConn(db.directory());
  EXPECT_TRUE(service.dbConnected);
  EXPECT_TRUE(service.log.lines().empty());
  EXPECT_EQ(service.fbConn.FPassword, "gebrow");
  EXPECT_EQ(service.settings.baseUrl, "u");
  service.db.release();
}

}  // namespace
}  // namespace varenta
