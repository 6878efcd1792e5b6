#pragma once
// The platform's part of Varenta.log (log_file_posix.cpp, log_file_windows.cpp): one open of the file
// and the calls of the operating system that appending a line and reading the file's end are made
// of. What is done with them is written once, above this seam: the bounded wait for another
// process's lock, the Ctrl-Z trim and the all-or-nothing append in log_file.cpp, the read loop of
// the tail in log_tail.cpp. Every call throws EInOutError with the system's text.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace varenta {

class LogFileHandle {
 public:
  // Closes the file; a failure to close is not reported (close() reports it).
  virtual ~LogFileHandle() = default;

  // Takes the lock that keeps copies of the program writing the file apart, held until the file
  // closes; false while another process holds it. Readers of the file are never kept out by it.
  virtual bool tryLock() = 0;
  virtual std::int64_t size() = 0;
  // Reads up to `count` bytes at `at`; fewer, or none, at the end of the file.
  virtual std::size_t readAt(std::int64_t at, char* into, std::size_t count) = 0;
  // Writes some of `count` bytes at `at`, one at least: none written is a failure (a full disk).
  virtual std::size_t writeAt(std::int64_t at, const char* from, std::size_t count) = 0;
  virtual void truncate(std::int64_t end) = 0;
  // Closes the file and reports a failure to close.
  virtual void close() = 0;
};

// For appending: read and write, created when missing, shared with readers and with other writers.
// Empty while another process holds the file open without sharing it (Windows), for the caller to
// try again.
std::unique_ptr<LogFileHandle> openLogForAppend(const std::string& path);

// For reading only, shared with every writer and with a rename or removal; empty when there is no
// such file.
std::unique_ptr<LogFileHandle> openLogForReading(const std::string& path);

// What a line given up on because another process kept the file says: the platform's text for a
// file in use.
std::string fileInUseMessage();

}  // namespace varenta
