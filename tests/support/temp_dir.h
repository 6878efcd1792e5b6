#pragma once
// TempDir: a fresh directory for one test, removed with everything in it afterwards.

#include <stdlib.h>

#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>

#include "base/paths.h"
#ifdef _WIN32
#include "tests/support/linux_shell.h"
#endif

namespace varenta {

// Lets every user enter and write the directory `path` (UTF-8): the database server works in it as
// its own user.
inline void openToAll(const std::string& path) {
#ifdef _WIN32
  // Wine leaves the Linux mode of what it makes as its umask says, and changes none of it.
  if (runLinuxShell("chmod 777 " + shellQuoted(linuxPathOf(utf8Path(path)))) != 0)
    throw std::runtime_error("cannot open " + path + " to all");
#else
  std::filesystem::permissions(path, std::filesystem::perms::all);
#endif
}

class TempDir {
 public:
  // Makes "<temporary directory>/<prefix>-XXXXXX" (UTF-8). With `openToAll` every user may enter and write
  // it: the database server works in it as its own user.
  explicit TempDir(std::string_view prefix = "varenta", bool openToAll = false) {
#ifdef _WIN32
    // One the Linux database server works in goes in the Linux /tmp (drive Z: under wine), which it
    // knows by the same plain path: wine names its own drive C: through a directory "c:", whose colon
    // the server would read as a remote host's.
    const std::filesystem::path base = openToAll ? "Z:\\tmp" : std::filesystem::temp_directory_path();
#else
    const std::filesystem::path base = std::filesystem::temp_directory_path();
#endif
    std::string pattern = (base / (std::string(prefix) + "-XXXXXX")).string();
#ifdef _WIN32
    // No mkdtemp here: a name of our own, taken when nobody has it yet.
    std::random_device random;
    for (int attempt = 0; path_.empty(); ++attempt) {
      std::string name = pattern;
      for (std::size_t i = name.size() - 6; i < name.size(); ++i)
        name[i] = static_cast<char>('0' + random() % 10);
      if (std::filesystem::create_directory(utf8Path(name)))
        path_ = name;
      else if (attempt == 100)
        throw std::runtime_error("no fresh directory for " + pattern);
    }
#else
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed for " + pattern);
    path_ = pattern;
#endif
    if (openToAll) varenta::openToAll(path_);
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(utf8Path(path_), ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The directory with a trailing "/".
  std::string dir() const {
    return path_ + "/";
  }
  // The directory without it.
  const std::string& path() const {
    return path_;
  }

 private:
  std::string path_;
};

}  // namespace varenta
