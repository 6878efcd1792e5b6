#include "base/paths.h"

#include <filesystem>

#include "base/error.h"

namespace varenta {

std::string executablePath() {
  std::error_code ec;
  const auto path = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) throw EInOutError("Cannot read /proc/self/exe: " + ec.message());
  return path.string();
}

std::string executableDir() {
  return std::filesystem::path(executablePath()).parent_path().string() + "/";
}

}  // namespace varenta
