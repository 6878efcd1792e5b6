#include "storedb/ini_conn.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "base/paths.h"
#include "tests/firebird/connection_step_fixture.h"
#include "tests/firebird/test_database.h"
#include "tests/support/loopback_listener.h"
#include "tests/support/temp_dir.h"

namespace varenta {
namespace {

constexpr const char* kNoConnection = "Falha na conexão com o banco de dados do Olvessa";
constexpr const char* kNoSettings = "Falha ao tentar recuperar os dados da Varenta do banco do Olvessa";

TEST(IniConn, WithoutAnIniTheDatabaseBesideTheProgramOnLocalhostIsUsed) {
  testing::TestDatabase db("TOLVANE.FDB");
  db.exec(
      "insert into padrao (codigo, cgc, varenta_url1, varenta_datainicio) values (1, '1', 'https://c/', "
      "'2024-06-01')");
  ConnectionStepFixture service;
  service.iniConn(db.directory());
  EXPECT_EQ(service.location.server, "localhost");
  EXPECT_EQ(service.location.path, db.directory() + "TOLVANE.FDB");
#ifdef _WIN32
  // Under wine the server is the Linux one, which knows no file by the program's Windows path: on a
  // store's machine the server is on Windows too.
  EXPECT_FALSE(service.dbConnected);
  return;
#endif
  EXPECT_TRUE(service.dbConnected);
  EXPECT_TRUE(service.log.lines().empty());
  EXPECT_EQ(service.settings.baseUrl, "https://c/");
  EXPECT_EQ(service.fbConn.FPassword, "quenbolix");
  ASSERT_TRUE(service.db.query1 && service.db.query2 && service.db.query3);
  service.db.query3->setSql("select count(*) as n from padrao");
  service.db.query3->open();
  EXPECT_EQ(service.db.query3->field("n").asInteger(), 1);
  service.db.release();
}

TEST(IniConn, TheIniNamesTheDatabase) {
  testing::TestDatabase db("Farmácia São João.fdb");
  db.exec("insert into padrao (codigo, cgc, varenta_datainicio) values (1, '1', '2024-06-01')");
  const struct {
    const char* name;
    std::string ini;
    const char* server;
  } cases[] = {
      {"only the path, letter case of section and key ignored", "[tOLVANE]\nCAMINHO=" + db.path() + "\n",
       "localhost"},
      {"server and path, among lines that mean nothing",
       "junk without an equals sign\n[Tolvane]\n=\nServidor=127.0.0.1\nCaminho=" + db.path() + "\n",
       "127.0.0.1"},
      {"a server with a port of its own", "[Tolvane]\nServidor=127.0.0.1/3050\nCaminho=" + db.path() + "\n",
       "127.0.0.1/3050"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    writeIni(db.directory(), c.ini);
    ConnectionStepFixture service;
    service.iniConn(db.directory());
    EXPECT_TRUE(service.dbConnected);
    EXPECT_EQ(service.location.server, c.server);
    EXPECT_EQ(service.location.path, db.path());
    EXPECT_TRUE(service.log.lines().empty());
    service.db.release();
  }
  // The server's own port is the one tried, not the usual 3050.
  writeIni(db.directory(),
           "[Tolvane]\nServidor=127.0.0.1/" + std::to_string(closedPort()) + "\nCaminho=" + db.path() + "\n");
  ConnectionStepFixture service;
  service.iniConn(db.directory());
  EXPECT_FALSE(service.dbConnected);
}

// A store's machine: the program installed in a directory with accents, the database in another, and
// Tolvane.ini as editors save it: UTF-8 with or without a byte order mark, or the ANSI code page.
TEST(IniConn, AccentedDirectoriesAndTheIniAsEditorsSaveIt) {
  testing::TestDatabase db("Farmácia/TOLVANE.FDB");
  db.exec("insert into padrao (codigo, cgc, varenta_datainicio) values (1, '1', '2024-06-01')");
  const std::string install = db.directory() + "Instalação São João/";
  std::filesystem::create_directory(utf8Path(install));
  for (const SavedIni& saved : savedAsEditorsDo(iniNaming("127.0.0.1", db.path()))) {
    SCOPED_TRACE(saved.editor);
    writeIni(install, saved.bytes);
    ConnectionStepFixture service;
    service.iniConn(install);
    EXPECT_TRUE(service.dbConnected);
    EXPECT_EQ(service.location.path, db.path());
    EXPECT_TRUE(service.log.lines().empty());
    service.db.release();
  }
}

TEST(IniConn, AnUnreachableDatabaseEndsInTheTwoFailureLines) {
  const TempDir temp("varenta-ini");
  const std::string dir = temp.dir();
  const struct {
    const char* name;
    const char* ini;
  } cases[] = {
      {"no database beside the program", nullptr},
      {"a path that does not exist", "[Tolvane]\nCaminho=/nonexistent/TOLVANE.FDB\n"},
      {"a server name that does not resolve", "[Tolvane]\nServidor=no-such-host.invalid\n"},
      {"a malformed section line hides the keys", "[Tolvane\nCaminho=/tmp\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(dir + "Tolvane.ini");
    if (c.ini) writeIni(dir, c.ini);
    ConnectionStepFixture service;
    service.settings.ultVenda = 5;
    service.settings.baseUrl = "https://kept/";
    service.dbConnected = true;  // as a failed step must clear it
    service.iniConn(dir);
    EXPECT_FALSE(service.dbConnected);
    EXPECT_EQ(service.log.lines(), (std::vector<std::string>{kNoConnection, kNoSettings}));
    EXPECT_EQ(service.settings.ultVenda, 5);
    EXPECT_EQ(service.settings.baseUrl, "https://kept/");
    EXPECT_TRUE(service.timer.enabled());
    EXPECT_EQ(service.fbConn.FPassword, "gebrow");
  }
}

TEST(IniConn, ALaterStepConnectsOnceTheDatabaseIsThere) {
  testing::TestDatabase db;
  ConnectionStepFixture service;
  writeIni(db.directory(), "[Tolvane]\nCaminho=" + db.directory() + "later.fdb\n");
  service.iniConn(db.directory());
  EXPECT_FALSE(service.dbConnected);

  writeIni(db.directory(), "[Tolvane]\nCaminho=" + db.path() + "\n");
  service.iniConn(db.directory());
  EXPECT_TRUE(service.dbConnected);
  EXPECT_EQ(service.log.lines().size(), 3u);  // the two failure lines of the first step, then the adjustment
  service.db.release();
}

}  // namespace
}  // namespace varenta
