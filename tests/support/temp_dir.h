#pragma once
// TempDir: a fresh directory for one test, removed with everything in it afterwards.

#include <stdlib.h>

#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>

namespace varenta {

class TempDir {
 public:
  // Makes "<temporary directory>/<prefix>-XXXXXX". With `openToAll` every user may enter and write
  // it: the database server works in it as its own user.
  explicit TempDir(std::string_view prefix = "varenta", bool openToAll = false) {
    std::string pattern =
        (std::filesystem::temp_directory_path() / (std::string(prefix) + "-XXXXXX")).string();
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
    if (openToAll) std::filesystem::permissions(path_, std::filesystem::perms::all);
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The directory with a trailing "/".
  std::string dir() const { return path_ + "/"; }
  // The directory without it.
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace varenta
