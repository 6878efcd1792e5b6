#include "storedb/tolvane_ini.h"

#include <ini.h>

#include <optional>

#include "base/text.h"

namespace varenta {
namespace {

struct Found {
  std::optional<std::string> server;
  std::optional<std::string> path;
};

// As the platform's own INI reading does, the first occurrence of a key wins.
int onEntry(void* user, const char* section, const char* name, const char* value) {
  auto& found = *static_cast<Found*>(user);
  if (!asciiIEquals(section, "Tolvane")) return 1;
  if (asciiIEquals(name, "Servidor") && !found.server) found.server = value;
  if (asciiIEquals(name, "Caminho") && !found.path) found.path = value;
  return 1;
}

}  // namespace

DatabaseLocation readDatabaseLocation(const std::string& programDir) {
  Found found;
  // A malformed line is skipped and reading goes on; a missing file reads as empty.
  ini_parse((programDir + "Tolvane.ini").c_str(), onEntry, &found);
  return {found.server.value_or("localhost"), found.path.value_or(programDir + "TOLVANE.FDB")};
}

}  // namespace varenta
