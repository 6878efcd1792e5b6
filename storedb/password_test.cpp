#include <gtest/gtest.h>

#include <iostream>

#include "base/error.h"
#include "storedb/connection_step_fixture.h"
#include "tests/firebird/test_database.h"

namespace varenta {
namespace {

// Gives SYSDBA the store system's second password for as long as it lives. The server is shared
// with every other suite, so this test runs alone and keeps the change as short as it can; the old
// password is put back over the database's own connection, which stays logged in, even when the
// test fails.
class SecondPasswordOnly {
 public:
  explicit SecondPasswordOnly(testing::TestDatabase& db) : db_(db) {
    db_.exec("ALTER USER SYSDBA PASSWORD 'gebrow'");
  }
  ~SecondPasswordOnly() {
    try {
      db_.exec(std::string("ALTER USER SYSDBA PASSWORD '") + testing::kPassword + "'");
    } catch (const Error& e) {
      std::cerr << "SYSDBA's password could not be restored (run scripts/firebird-up.sh): " << e.message()
                << "\n";
    }
  }

 private:
  testing::TestDatabase& db_;
};

TEST(IniConnPassword, ADatabaseThatTakesOnlyTheSecondPasswordConnectsWithoutAFailureLine) {
  testing::TestDatabase db;
  db.exec(
      "insert into padrao (codigo, cgc, varenta_url1, varenta_datainicio) values (1, '1', 'u', "
      "'2024-06-01')");
  writeIni(db.directory(), "[Tolvane]\nCaminho=" + db.path() + "\n");
  ConnectionStepFixture service;
  {
    SecondPasswordOnly change(db);
    service.iniConn(db.directory());
  }
  EXPECT_TRUE(service.dbConnected);
  EXPECT_TRUE(service.log.lines().empty());
  EXPECT_EQ(service.fbConn.FPassword, "gebrow");
  EXPECT_EQ(service.settings.baseUrl, "u");
  service.db.release();
}

}  // namespace
}  // namespace varenta
