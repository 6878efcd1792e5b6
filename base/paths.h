#pragma once
// Where the program's own files live: beside its executable.

#include <string>

namespace varenta {

// The full path of the running executable (from /proc/self/exe on Linux, GetModuleFileNameW on
// Windows), in UTF-8.
std::string executablePath();

// The executable's directory with a trailing separator ("/" on Linux, a backslash on Windows).
std::string executableDir();

}  // namespace varenta
