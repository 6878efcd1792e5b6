#pragma once
// What the log cannot take (an error escaping a tick, a failed start, a log that cannot be
// written) goes to standard error, which systemd keeps in the journal.

#include <exception>
#include <string_view>

#include "base/log.h"

namespace varenta {

// Writes "SrvVarenta: <type name> - <message>" and a line end.
void reportToJournal(const std::exception& error);
// Writes "SrvVarenta: <text>" and a line end.
void reportToJournal(std::string_view text);
// A log line that could not be written: reportLostLogLine (base/log.h).

}  // namespace varenta
