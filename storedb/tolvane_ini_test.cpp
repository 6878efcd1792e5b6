#include "storedb/tolvane_ini.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <optional>

#include "base/paths.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tolvane_ini_files.h"

namespace varenta {
namespace {

using namespace std::string_literals;

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
      // A NUL would cut the host name short, and the path would then be opened as a local file.
      {"a value holding a control character is a line that cannot be read",
       "[Tolvane]\nServidor=db4\0:/etc/x\nCaminho=/d/\x01x.fdb\nCaminho=/d/\x7f.fdb\nServidor=db5\n"s, "db5",
       dir + "TOLVANE.FDB"},
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

// Notepad saves UTF-8, with a byte order mark or (lately) without; older editors the ANSI code page.
// The program's directory has accents of its own.
TEST(TolvaneIni, IsReadAsEditorsSaveItFromAnyDirectory) {
  const TempDir temp("varenta-ini");
  const std::string dir = temp.dir() + "Farmácia São João/";
  std::filesystem::create_directory(utf8Path(dir));
  const std::string ini = "[Tolvane]\r\nServidor=servidor-ação\r\nCaminho=C:\\Farmácia\\TOLVANE.FDB\r\n";
  for (const SavedIni& saved : savedAsEditorsDo(ini)) {
    SCOPED_TRACE(saved.editor);
    writeIni(dir, saved.bytes);
    const DatabaseLocation location = readDatabaseLocation(dir);
    EXPECT_EQ(location.server, "servidor-ação");
    EXPECT_EQ(location.path, "C:\\Farmácia\\TOLVANE.FDB");
  }
  std::filesystem::remove(utf8Path(dir + "Tolvane.ini"));
  EXPECT_EQ(readDatabaseLocation(dir).path, dir + "TOLVANE.FDB");
}

// Tolvane.ini is read only when it is a regular file: a FIFO would hold the start until some process
// wrote to it, a directory reads as no file.
TEST(TolvaneIni, OnlyARegularFileIsRead) {
  const TempDir temp("varenta-ini");
  const std::string file = temp.dir() + "Tolvane.ini";
  std::filesystem::create_directory(file);
  EXPECT_EQ(readDatabaseLocation(temp.dir()).server, "localhost");
  std::filesystem::remove(file);
#ifndef _WIN32
  ASSERT_EQ(mkfifo(file.c_str(), 0600), 0);
  auto reading = std::async(std::launch::async, [&] { return readDatabaseLocation(temp.dir()); });
  if (reading.wait_for(std::chrono::seconds(5)) == std::future_status::timeout) {
    ADD_FAILURE() << "reading a FIFO named Tolvane.ini waits for a writer";
    std::ofstream(file) << "[Tolvane]\n";  // lets the reading end
  }
  EXPECT_EQ(reading.get().path, temp.dir() + "TOLVANE.FDB");
#endif
}

}  // namespace
}  // namespace varenta
