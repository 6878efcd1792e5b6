#include "storedb/tolvane_ini.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string_view>

#include "base/paths.h"
#include "base/regional.h"
#include "base/text.h"

namespace varenta {
namespace {

// A control character has no place in a host name or a path; inside a value (a NUL cut the host
// name short, and the client library then took the path for a local file to open in the process)
// it makes the line one that cannot be read.
bool holdsControl(std::string_view value) {
  return std::any_of(value.begin(), value.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
  });
}

std::string_view unquoted(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
    return value.substr(1, value.size() - 2);
  return value;
}

// The file's text as Notepad and older editors save it: UTF-8 with or without a byte order mark,
// otherwise the ANSI code page. A mark does not make bytes that are no UTF-8 into UTF-8: such a file
// (a mark, then text an older editor added) is read in the code page too, so that every value is
// UTF-8.
std::string iniText(std::string_view bytes) {
  if (bytes.starts_with(kUtf8ByteOrderMark)) bytes.remove_prefix(kUtf8ByteOrderMark.size());
  return isValidUtf8(bytes) ? std::string(bytes) : regionalText(bytes);
}

}  // namespace

// The file is read as the store system's own INI reading reads it: blanks around lines, names and
// values do not count (an indented line is a line of its own, never the rest of the one above), a
// line may be as long as it likes, everything after the first "=" is the value (a ";" in it
// included), and a value wholly in single or double quotes loses them.
DatabaseLocation databaseLocationFromIni(std::string_view bytes, const std::string& programDir) {
  std::optional<std::string> server;
  std::optional<std::string> path;
  const std::string decoded = iniText(bytes);
  std::string_view text = decoded;
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
    if (holdsControl(value)) continue;
    // The first occurrence of a key wins.
    if (asciiIEquals(name, "Servidor") && !server) server = value;
    if (asciiIEquals(name, "Caminho") && !path) path = value;
  }
  return {server.value_or("localhost"), path.value_or(programDir + "TOLVANE.FDB")};
}

// Only a regular file is read: opening a FIFO of that name would wait for a writer, and hold the
// start, for ever.
DatabaseLocation readDatabaseLocation(const std::string& programDir) {
  const std::filesystem::path file = utf8Path(programDir + "Tolvane.ini");
  std::error_code error;
  std::ifstream in;  // a missing file, or one that is no regular file, reads as empty
  if (std::filesystem::is_regular_file(file, error)) in.open(file, std::ios::binary);
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  return databaseLocationFromIni(text, programDir);
}

}  // namespace varenta
