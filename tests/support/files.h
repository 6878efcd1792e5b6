#pragma once
// Whole-file reading for tests.

#include <fstream>
#include <iterator>
#include <string>

namespace varenta {

// The file's bytes; empty when it cannot be read.
inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace varenta
