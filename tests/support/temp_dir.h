#pragma once
// TempDir: a fresh directory for one test, removed with everything in it afterwards.

#include <stdlib.h>

#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>

#ifdef _WIN32
#include "tests/support/linux_shell.h"
#endif

namespace varenta {

class TempDir {
 public:
  // Makes "<temporary directory>/<prefix>-XXXXXX". With `openToAll` every user may enter and write
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
      if (std::filesystem::create_directory(name))
        path_ = name;
      else if (attempt == 100)
        throw std::runtime_error("no fresh directory for " + pattern);
    }
#else
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed for " + pattern);
    path_ = pattern;
#endif
#ifdef _WIN32
    // Wine leaves the Linux mode of what it makes as its umask says, and changes none of it.
    if (openToAll && runLinuxShell("chmod 777 " + shellQuoted(linuxPathOf(path_))) != 0)
      throw std::runtime_error("cannot open " + path_ + " to all");
#else
    if (openToAll) std::filesystem::permissions(path_, std::filesystem::perms::all);
#endif
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
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
