#include <iostream>

#include "servicelog/journal.h"

namespace varenta {

// systemd keeps standard error in the journal; the severity is the same for both there.
void writeJournalEntry(JournalSeverity, std::string_view text) {
  std::cerr << text << std::endl;
}

}  // namespace varenta
