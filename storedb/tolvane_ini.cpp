#include "storedb/tolvane_ini.h"

#include <fstream>
#include <iterator>
#include <optional>
#include <string_view>

#include "base/text.h"

namespace varenta {
namespace {

std::string_view unquoted(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
    return value.substr(1, value.size() - 2);
  return value;
}

}  // namespace

// The file is read as the store system's own INI reading reads it: blanks around lines, names and
// values do not count (an indented line is a line of its own, never the rest of the one above), a
// line may be as long as it likes, everything after the first "=" is the value (a ";" in it
// included), and a value wholly in single or double quotes loses them.
DatabaseLocation databaseLocationFromIni(std::string_view text, const std::string& programDir) {
  std::optional<std::string> server;
  std::optional<std::string> path;
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  bool inTolvane = false;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = trimBlanksAndControls(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (line.starts_with('[')) {
      // An unclosed section line changes nothing: the lines after it stay where they were.
      if (const std::size_t close = line.find(']'); close != std::string_view::npos)
        inTolvane = asciiIEquals(trimBlanksAndControls(line.substr(1, close - 1)), "Tolvane");
      continue;
    }
    const std::size_t equals = line.find('=');
    if (!inTolvane || equals == std::string_view::npos) continue;
    const std::string_view name = trimBlanksAndControls(line.substr(0, equals));
    const std::string value(unquoted(trimBlanksAndControls(line.substr(equals + 1))));
    // The first occurrence of a key wins.
    if (asciiIEquals(name, "Servidor") && !server) server = value;
    if (asciiIEquals(name, "Caminho") && !path) path = value;
  }
  return {server.value_or("localhost"), path.value_or(programDir + "TOLVANE.FDB")};
}

DatabaseLocation readDatabaseLocation(const std::string& programDir) {
  std::ifstream in(programDir + "Tolvane.ini", std::ios::binary);  // a missing file reads as empty
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  return databaseLocationFromIni(text, programDir);
}

}  // namespace varenta
