#include <windows.h>

#include <string>

#include "base/error.h"
#include "base/paths.h"
#include "base/utf16.h"

namespace varenta {

std::string executablePath() {
  // MAX_PATH is not a limit for a path under "\\?\": grow until the whole path fits.
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0)
      throw EInOutError("Cannot read the program's path: error " + std::to_string(GetLastError()));
    if (length < path.size()) {
      path.resize(length);
      return narrow(path);
    }
    path.resize(path.size() * 2);
  }
}

std::string executableDir() {
  const std::string path = executablePath();
  return path.substr(0, path.find_last_of("\\/") + 1);
}

}  // namespace varenta
