#pragma once
// TempDir: a fresh directory for one test, removed with everything in it afterwards.

#include <stdlib.h>

#include <filesystem>
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
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed for " + pattern);
    path_ = pattern;
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
