#pragma once
// Where the program's own files live: beside its executable.

#include <string>

namespace varenta {

// The full path of the running executable (from /proc/self/exe).
std::string executablePath();

// The executable's directory with a trailing "/".
std::string executableDir();

}  // namespace varenta
