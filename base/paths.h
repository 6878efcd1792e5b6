#pragma once
// Where the program's own files live: beside its executable.

#include <filesystem>
#include <string>
#include <string_view>

namespace varenta {

// The full path of the running executable (from /proc/self/exe on Linux, GetModuleFileNameW on
// Windows), in UTF-8.
std::string executablePath();

// The executable's directory with a trailing separator ("/" on Linux, a backslash on Windows).
std::string executableDir();

// A file's path from the program's UTF-8 text: on Windows read as UTF-8 (and opened through the
// wide API), never in the ANSI code page a narrow path would be taken in.
inline std::filesystem::path utf8Path(std::string_view utf8) {
  return std::filesystem::path(
      std::u8string_view(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
}

}  // namespace varenta
