#pragma once
// Which lines of Varenta.log record an error, and the latest of them: what a technician looks for
// first. The service's own idiom tells them apart: a failure it met begins "ERRO", "Erro", "Error"
// or "Falha", or says that something "falhou" or that an answer "não é JSON"; a post's result line
// ("[Venda= 12]...", "[F.Dia- 05/03/2024]...", a resend's) carries the cloud's verdict, which is an
// error unless it begins "Ok:".

#include <cstddef>
#include <exception>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/clock.h"
#include "base/datetime.h"
#include "base/log.h"

namespace varenta {

bool recordsAnError(std::string_view message);

struct LoggedError {
  std::string timestamp;  // as the log wrote it
  std::string message;    // the lines it spans joined by one space
};

// The last `count` entries of the log text `text` (UTF-8) that record an error, the latest first.
// An entry is a time-stamped line and the lines after it that have none (a message holding a line
// break, such as "Erro: EDatabaseError" and its "Mensagem: ..."). Text before the first time-stamped
// line (the end of a line the read began in) is passed over.
std::vector<LoggedError> lastErrors(std::string_view text, std::size_t count);

// A message made fit for one line of a status or a report: line breaks become spaces, and past
// `maxCharacters` it is cut and ends in "...".
std::string oneLine(std::string_view message, std::size_t maxCharacters);

struct WatchedError {
  DateTime at;
  std::string message;
};

// A log that remembers the last line it was given that records an error, and when, on its way to
// `log` (also when `log` cannot take it). Both of the service's threads write to it.
class ErrorWatchingLog : public ServiceLog {
 public:
  ErrorWatchingLog(ServiceLog& log, Clock& clock) : log_(log), clock_(clock) {}
  void DoSaveLog(std::string_view message) override;
  void reportLost(std::string_view line, const std::exception& error) override {
    log_.reportLost(line, error);
  }

  std::optional<WatchedError> lastError() const;

 private:
  ServiceLog& log_;
  Clock& clock_;
  mutable std::mutex mutex_;
  std::optional<WatchedError> last_;
};

}  // namespace varenta
