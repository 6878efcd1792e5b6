#pragma once
// Where the store database is: "Tolvane.ini" beside the program, section "Tolvane", keys
// "Servidor" and "Caminho" (letter case ignored). A missing file (or a name that is no regular file),
// a missing section or key, and lines that cannot be read (a value holding a control character
// among them) leave the defaults: "localhost" and "TOLVANE.FDB" in the program's directory.

#include <string>
#include <string_view>

namespace varenta {

struct DatabaseLocation {
  std::string server;
  std::string path;
};

// programDir ends with a path delimiter.
DatabaseLocation readDatabaseLocation(const std::string& programDir);

// The same from the file's text. No value read holds a control character.
DatabaseLocation databaseLocationFromIni(std::string_view text, const std::string& programDir);

}  // namespace varenta
