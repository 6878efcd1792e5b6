#include "storedb/tolvane_ini.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

#include "tests/support/temp_dir.h"

namespace varenta {
namespace {

TEST(TolvaneIni, ReadsTheTwoKeysOrTheirDefaults) {
  const TempDir temp("varenta-ini");
  const std::string dir = temp.dir();
  const std::string longPath = "/data/" + std::string(300, 'x') + ".fdb";
  struct Case {
    const char* name;
    std::optional<std::string> ini;  // none: no file
    const char* server;
    std::string path;
  };
  const Case cases[] = {
      {"no file", std::nullopt, "localhost", dir + "TOLVANE.FDB"},
      {"both keys", "[Tolvane]\nServidor=10.1.1.5\nCaminho=C:\\Olvessa\\TOLVANE.FDB\n", "10.1.1.5",
       "C:\\Olvessa\\TOLVANE.FDB"},
      {"only the path, any letter case", "[TOLVANE]\ncaminho = /data/store.fdb\n", "localhost",
       "/data/store.fdb"},
      {"other sections and keys ignored", "[Outro]\nServidor=x\n[Tolvane]\nPorta=1\n", "localhost",
       dir + "TOLVANE.FDB"},
      {"malformed lines skipped",
       "[Tolvane]\nthis line means nothing\nServidor=srv\n[broken\nCaminho=/p.fdb\n", "srv", "/p.fdb"},
      {"first occurrence wins", "[Tolvane]\nServidor=a\nSERVIDOR=b\n", "a", dir + "TOLVANE.FDB"},
      {"indented keys, CR LF line ends",
       "\xEF\xBB\xBF[Tolvane]\r\n  Servidor = db1\r\n\tCaminho = /d/x.fdb\r\n", "db1", "/d/x.fdb"},
      {"a long path", "[Tolvane]\nCaminho=" + longPath + "\nServidor=db2\n", "db2", longPath},
      {"quotes around a value go, a semicolon in it stays",
       "[Tolvane]\nServidor=\"db3\"\nCaminho=/dados/loja ;1/x.fdb\n", "db3", "/dados/loja ;1/x.fdb"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(dir + "Tolvane.ini");
    if (c.ini) std::ofstream(dir + "Tolvane.ini") << *c.ini;
    const DatabaseLocation location = readDatabaseLocation(dir);
    EXPECT_EQ(location.server, c.server);
    EXPECT_EQ(location.path, c.path);
  }
}

}  // namespace
}  // namespace varenta
