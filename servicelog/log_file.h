#pragma once
// LogFile: the service log, Varenta.log in one directory (beside the executable in service).
// Every line is the local time stamp "dd/mm/yyyy hh:nn:ss" (with the regional settings' date and
// time separators), " - ", the message and CR LF, in the settings' code page (Windows-1252 on the
// stores' machines) without a byte-order mark; characters the code page lacks become a close
// equivalent ("Łódź" is written "Lódz") or, when none is known, "?". No control byte reaches the
// file but the CR LF that breaks lines: a message's LF alone becomes CR LF, every other control
// character (a NUL, a tab, a lone CR, DEL, U+0080 to U+009F) "<0xNN>" (withVisibleControls).
// Each call opens, appends and closes the file, so operators may read or move it at any time.

#include <string>
#include <string_view>

#include "base/clock.h"
#include "base/log.h"
#include "base/regional.h"

namespace varenta {

class LogFile : public ServiceLog {
 public:
  // `directory` ends with "/".
  LogFile(Clock& clock, std::string directory, RegionalSettings settings = hostRegionalSettings());

  // Throws EInOutError with the system's text when the file cannot be opened, written or closed,
  // or when another process keeps it locked for more than two seconds; the line is then lost
  // entirely (no partial line stays in the file).
  void DoSaveLog(std::string_view message) override;
  // To the platform's event log (reportLostLogLine).
  void reportLost(std::string_view line, const std::exception& error) override;

  const std::string& path() const { return path_; }

 private:
  Clock& clock_;
  std::string path_;
  RegionalSettings settings_;
};

// What DoSaveLog does with the line's bytes: appends them to the file at `path`, created when
// missing, after dropping a Ctrl-Z that ends it, with the bounded wait for another process's lock,
// all or nothing; others may read the file meanwhile. Throws EInOutError. The calls of the operating
// system it is made of are the platform's (log_file_handle.h).
void appendToLogFile(const std::string& path, const std::string& bytes);

}  // namespace varenta
