// The inspections' output on Windows: UTF-16 to a console, the UTF-8 bytes to a file or a pipe.

#include <iostream>
#include <streambuf>
#include <string>

#include "base/win32.h"
#include "host/platform_host.h"

namespace varenta {
namespace {

// Holds what is written until a line is complete (a character's bytes are never split), then hands
// it to the console as UTF-16.
class ConsoleLines : public std::streambuf {
 public:
  explicit ConsoleLines(DWORD which) : which_(which) {}
  ~ConsoleLines() override { sync(); }

 protected:
  int_type overflow(int_type c) override {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    pending_.push_back(traits_type::to_char_type(c));
    if (c == '\n') sync();
    return c;
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    pending_.append(s, static_cast<std::size_t>(n));
    if (pending_.find('\n') != std::string::npos) sync();
    return n;
  }
  int sync() override {
    if (!pending_.empty()) writeConsole(which_, pending_);
    pending_.clear();
    return 0;
  }

 private:
  DWORD which_;
  std::string pending_;
};

bool isConsole(DWORD which) {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(which), &mode) != 0;
}

}  // namespace

std::ostream& inspectionOutput() {
  if (!isConsole(STD_OUTPUT_HANDLE)) return std::cout;
  static ConsoleLines lines(STD_OUTPUT_HANDLE);
  static std::ostream console(&lines);
  return console;
}

std::ostream& inspectionErrors() {
  if (!isConsole(STD_ERROR_HANDLE)) return std::cerr;
  static ConsoleLines lines(STD_ERROR_HANDLE);
  static std::ostream console(&lines);
  return console;
}

}  // namespace varenta
