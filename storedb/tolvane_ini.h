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

// programDir, in UTF-8 (any letters, on Windows too), ends with a path delimiter.
DatabaseLocation readDatabaseLocation(const std::string& programDir);

// The same from the file's bytes, read as Notepad and older editors save the file: UTF-8 with or
// without a byte order mark, otherwise the ANSI code page (Windows-1252 off Windows). The values are
// UTF-8; none holds a control character.
DatabaseLocation databaseLocationFromIni(std::string_view bytes, const std::string& programDir);

}  // namespace varenta
