#include "servicelog/error_lines.h"

#include <algorithm>
#include <array>
#include <optional>

#include "base/text.h"

namespace varenta {
namespace {

// The markers of the result lines that end in a verdict of the cloud.
constexpr std::array<std::string_view, 6> kVerdictMarkers = {
    "[Venda=", "[CancT=", "[CancP=", "[F.Dia-", "[F.Parc-", "[REENVIO-"};

bool digits(std::string_view text, std::size_t at, std::size_t n) {
  return std::all_of(text.begin() + static_cast<std::ptrdiff_t>(at),
                     text.begin() + static_cast<std::ptrdiff_t>(at + n),
                     [](char c) { return c >= '0' && c <= '9'; });
}

// "dd/mm/yyyy hh:nn:ss - ", whatever single characters the regional settings put between the
// numbers; the length of the time stamp, or 0 when the line does not begin with one.
constexpr std::size_t kStampLength = 19;
bool timeStamped(std::string_view line) {
  return line.size() >= kStampLength + 3 && digits(line, 0, 2) && digits(line, 3, 2) && digits(line, 6, 4) &&
         line[10] == ' ' && digits(line, 11, 2) && digits(line, 14, 2) && digits(line, 17, 2) &&
         line.substr(kStampLength, 3) == " - ";
}

}  // namespace

bool recordsAnError(std::string_view message) {
  const std::string lower = asciiLower(message.substr(0, 200));
  for (std::string_view start : {"erro", "falha"})
    if (lower.starts_with(start)) return true;
  if (lower.find("falhou") != std::string::npos || lower.find("não é json") != std::string::npos) return true;
  for (std::string_view marker : kVerdictMarkers) {
    if (!message.starts_with(marker)) continue;
    const std::size_t end = message.find(']');
    return end != std::string_view::npos && !message.substr(end + 1).starts_with("Ok:");
  }
  return false;
}

std::vector<LoggedError> lastErrors(std::string_view text, std::size_t count) {
  std::vector<LoggedError> found;
  std::optional<LoggedError> entry;
  const auto close = [&] {
    if (entry && recordsAnError(entry->message)) found.push_back(std::move(*entry));
    entry.reset();
  };
  for (std::size_t at = 0; at < text.size();) {
    std::size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(at, end - at);
    if (line.ends_with('\r')) line.remove_suffix(1);
    at = end + 1;
    if (timeStamped(line)) {
      close();
      entry =
          LoggedError{std::string(line.substr(0, kStampLength)), std::string(line.substr(kStampLength + 3))};
    } else if (entry) {
      entry->message += ' ';
      entry->message += line;
    }
  }
  close();
  std::reverse(found.begin(), found.end());
  if (found.size() > count) found.resize(count);
  return found;
}

std::string oneLine(std::string_view message, std::size_t maxCharacters) {
  std::string line;
  std::size_t characters = 0;
  for (std::size_t i = 0; i < message.size();) {
    if (characters == maxCharacters) return line + "...";
    char32_t cp = 0;
    const std::size_t length = std::max<std::size_t>(1, decodeUtf8(message, i, cp));
    if (message[i] == '\r' || message[i] == '\n') {
      // CR LF, a lone CR or a lone LF: one space.
      if (message.substr(i, 2) == "\r\n") ++i;
      line += ' ';
    } else {
      line.append(message.substr(i, length));
    }
    ++characters;
    i += length;
  }
  return line;
}

void ErrorWatchingLog::DoSaveLog(std::string_view message) {
  if (recordsAnError(message)) {
    const DateTime at = clock_.now();
    const std::lock_guard lock(mutex_);
    last_ = WatchedError{at, std::string(message)};
  }
  log_.DoSaveLog(message);
}

std::optional<WatchedError> ErrorWatchingLog::lastError() const {
  const std::lock_guard lock(mutex_);
  return last_;
}

}  // namespace varenta
