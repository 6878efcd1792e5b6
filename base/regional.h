#pragma once
// The host's regional settings, as far as they shape what the service writes: the date and time
// separators of the log's time stamps and of the days named in its result lines, and the code page
// of the log file. (Closing amounts do not depend on them: see closing/closing_document.h.)
//
// Windows takes them from the locale of the account the service runs as and from the ANSI code
// page, read once. Linux has no such settings for a service; it uses those of the stores'
// machines (Portuguese, Brazil): "/", ":" and Windows-1252.

#include <string>
#include <string_view>

#include "base/datetime.h"

namespace varenta {

struct RegionalSettings {
  // One character each, as UTF-8.
  std::string dateSeparator = "/";
  std::string timeSeparator = ":";
  // A single-byte code page: the ANSI code page when it is one, otherwise 1252.
  unsigned codePage = 1252;
};

const RegionalSettings& hostRegionalSettings();

// "05/03/2024" with "/" as the date separator: the day in result lines.
std::string regionalDate(DateTime day, const RegionalSettings& settings = hostRegionalSettings());

// "05/03/2024 14:07:09" with "/" and ":" as the separators: the log's time stamp.
std::string regionalTimestamp(DateTime at, const RegionalSettings& settings = hostRegionalSettings());

// UTF-8 text in the settings' code page, as the log holds it. Windows-1252 goes through our own
// table (base/text.h), so that its close equivalents are the same on every host; another code page
// (Windows only) through the system's conversion, "?" for what it cannot hold.
std::string regionalBytes(std::string_view utf8, const RegionalSettings& settings = hostRegionalSettings());

// The log's bytes, in the settings' code page, as UTF-8 (for an operator reading the log back).
std::string regionalText(std::string_view bytes, const RegionalSettings& settings = hostRegionalSettings());

}  // namespace varenta
