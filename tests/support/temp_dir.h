#pragma once
// TempDir: a fresh directory for one test, removed with everything in it afterwards.

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>

namespace varenta {

class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "varenta-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed for " + pattern);
    path_ = pattern;
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The directory with a trailing "/".
  std::string dir() const { return path_ + "/"; }

 private:
  std::string path_;
};

}  // namespace varenta
