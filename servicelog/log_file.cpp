#include "servicelog/log_file.h"

#include <mutex>

#include "base/text.h"
#include "servicelog/journal.h"

namespace varenta {
namespace {

// Both service threads log; one lock for the whole process keeps their open-append-close
// sequences apart, so neither finds the file busy. Other processes of the program writing the same
// file (an installation run beside the running service) are kept apart by a lock on the file itself.
std::mutex& fileLock() {
  static std::mutex lock;
  return lock;
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

}  // namespace varenta
