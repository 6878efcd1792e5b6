#include "servicelog/log_file.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "base/error.h"
#include "base/text.h"
#include "servicelog/journal.h"
#include "servicelog/log_file_handle.h"

namespace varenta {
namespace {

// Both service threads log; one lock for the whole process keeps their open-append-close
// sequences apart, so neither finds the file busy. Other processes of the program writing the same
// file (an installation run beside the running service) are kept apart by a lock on the file itself.
std::mutex& fileLock() {
  static std::mutex lock;
  return lock;
}

// Another process's line takes a moment at most; a process that keeps the file locked or open
// without sharing it (a stuck copy of the program, a tool holding it) must not hold the ticks and the
// stop for as long as it likes, so after this long the line fails.
constexpr auto kLockWait = std::chrono::seconds(2);
constexpr auto kLockRetry = std::chrono::milliseconds(10);

// Old DOS-style writers ended text files with Ctrl-Z (0x1A); appending after it would hide the
// new lines from readers that stop there. Returns where the file really ends.
std::int64_t endBeforeCtrlZ(LogFileHandle& file, std::int64_t size) {
  constexpr std::int64_t kTail = 128;
  const std::int64_t from = std::max<std::int64_t>(0, size - kTail);
  char tail[kTail];
  const std::size_t got = size > from ? file.readAt(from, tail, static_cast<std::size_t>(size - from)) : 0;
  const char* cut = std::find(tail, tail + got, '\x1A');
  return cut == tail + got ? size : from + (cut - tail);
}

void writeAll(LogFileHandle& file, const std::string& bytes, std::int64_t at) {
  std::size_t done = 0;
  while (done < bytes.size())
    done += file.writeAt(at + static_cast<std::int64_t>(done), bytes.data() + done, bytes.size() - done);
}

}  // namespace

LogFile::LogFile(Clock& clock, std::string directory, RegionalSettings settings)
    : clock_(clock), path_(std::move(directory) + "Varenta.log"), settings_(std::move(settings)) {}

void LogFile::DoSaveLog(std::string_view message) {
  std::string line = regionalTimestamp(clock_.now(), settings_);
  line += " - ";
  line += withVisibleControls(message);
  const std::string bytes = regionalBytes(line, settings_) + "\r\n";

  std::lock_guard lock(fileLock());
  appendToLogFile(path_, bytes);
}

void LogFile::reportLost(std::string_view line, const std::exception& error) {
  reportLostLogLine(line, error);
}

void appendToLogFile(const std::string& path, const std::string& bytes) {
  const auto deadline = std::chrono::steady_clock::now() + kLockWait;
  const auto waitOrFail = [&] {
    if (std::chrono::steady_clock::now() >= deadline) throw EInOutError(fileInUseMessage());
    std::this_thread::sleep_for(kLockRetry);
  };
  std::unique_ptr<LogFileHandle> file;
  while (!(file = openLogForAppend(path))) waitOrFail();
  while (!file->tryLock()) waitOrFail();
  const std::int64_t size = file->size();
  const std::int64_t end = endBeforeCtrlZ(*file, size);
  if (end != size) file->truncate(end);
  try {
    writeAll(*file, bytes, end);
  } catch (...) {
    // Take back what part of the line got in, so a full disk leaves no broken line behind. The
    // failure of the write is what the caller is told, whatever this one does.
    try {
      file->truncate(end);
    } catch (const Error&) {
    }
    throw;
  }
  file->close();
}

}  // namespace varenta
