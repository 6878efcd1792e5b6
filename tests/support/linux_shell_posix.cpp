#include <sys/wait.h>

#include <cstdlib>

#include "tests/support/linux_shell.h"

namespace varenta {

// The tests wait for what they start; a time-out would only hide a hang from CTest's own.
int runLinuxShell(const std::string& script, std::chrono::seconds) {
  const int status = std::system(script.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string linuxPathOf(const std::filesystem::path& path) {
  return path.string();
}

std::string shellQuoted(const std::string& text) {
  std::string out = "'";
  for (const char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

}  // namespace varenta
