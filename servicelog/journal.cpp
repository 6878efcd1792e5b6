#include "servicelog/journal.h"

#include <string>

#include "base/error.h"

namespace varenta {

void reportToJournal(const std::exception& error) {
  writeJournalEntry(JournalSeverity::Error, "SrvVarenta: " + errorTypeName(error) + " - " + error.what());
}

void reportToJournal(std::string_view text) {
  writeJournalEntry(JournalSeverity::Error, "SrvVarenta: " + std::string(text));
}

void reportWarningToJournal(std::string_view text) {
  writeJournalEntry(JournalSeverity::Warning, "SrvVarenta: " + std::string(text));
}

void reportLostLogLine(std::string_view line, const std::exception& error) {
  writeJournalEntry(JournalSeverity::Error, "SrvVarenta: lost log line \"" + std::string(line) +
                                                "\": " + errorTypeName(error) + " - " + error.what());
}

}  // namespace varenta
