#pragma once
// What the log cannot take (an error escaping a tick, a failed start, a log that cannot be
// written, a firewall step that failed) goes to the platform's event log: standard error, which
// systemd keeps in the journal, on Linux; the Windows Event Log (source "SrvVarenta") and standard
// error, which an operator running the service in a console reads, on Windows.

#include <exception>
#include <string_view>

namespace varenta {

// Writes "SrvVarenta: <type name> - <message>" as an error.
void reportToJournal(const std::exception& error);
// Writes "SrvVarenta: <text>" as an error.
void reportToJournal(std::string_view text);
// Writes "SrvVarenta: <text>" as a warning: something the service went on without.
void reportWarningToJournal(std::string_view text);
// Writes "SrvVarenta: lost log line "<line>": <type name> - <message>" as an error.
void reportLostLogLine(std::string_view line, const std::exception& error);

enum class JournalSeverity { Error, Warning };

// One entry, written whole (its text has no line end); the platform's part of the above.
void writeJournalEntry(JournalSeverity severity, std::string_view text);

}  // namespace varenta
