#include "storedb/tolvane_ini.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace varenta {
namespace {

TEST(TolvaneIni, ReadsTheTwoKeysOrTheirDefaults) {
  char pattern[] = "/tmp/varenta-ini-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string dir = std::string(pattern) + "/";
  struct Case {
    const char* name;
    const char* ini;  // nullptr: no file
    const char* server;
    std::string path;
  };
  const Case cases[] = {
      {"no file", nullptr, "localhost", dir + "TOLVANE.FDB"},
      {"both keys", "[Tolvane]\nServidor=10.1.1.5\nCaminho=C:\\Olvessa\\TOLVANE.FDB\n", "10.1.1.5",
       "C:\\Olvessa\\TOLVANE.FDB"},
      {"only the path, any letter case", "[TOLVANE]\ncaminho = /data/store.fdb\n", "localhost",
       "/data/store.fdb"},
      {"other sections and keys ignored", "[Outro]\nServidor=x\n[Tolvane]\nPorta=1\n", "localhost",
       dir + "TOLVANE.FDB"},
      {"malformed lines skipped",
       "[Tolvane]\nthis line means nothing\nServidor=srv\n[broken\nCaminho=/p.fdb\n", "srv", "/p.fdb"},
      {"first occurrence wins", "[Tolvane]\nServidor=a\nSERVIDOR=b\n", "a", dir + "TOLVANE.FDB"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(dir + "Tolvane.ini");
    if (c.ini) std::ofstream(dir + "Tolvane.ini") << c.ini;
    const DatabaseLocation location = readDatabaseLocation(dir);
    EXPECT_EQ(location.server, c.server);
    EXPECT_EQ(location.path, c.path);
  }
  std::filesystem::remove_all(pattern);
}

}  // namespace
}  // namespace varenta
