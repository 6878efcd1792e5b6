#pragma once
// What the log cannot take (an error escaping a tick, a failed start, a log that cannot be
// written) goes to standard error, which systemd keeps in the journal.

#include <exception>

namespace varenta {

// Writes "SrvVarenta: <type name> - <message>" and a line end.
void reportToJournal(const std::exception& error);

}  // namespace varenta
