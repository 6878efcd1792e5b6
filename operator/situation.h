#pragma once
// /SITUACAO: what a technician asks first. Connects as the service does (an OperatorSession), posts
// nothing and moves no mark, and prints in UTF-8 a first line in words, then one "name=value" line
// each: whether the store is in step or what is waiting (sales, cancellations, days to close), when
// the resend poll and the promotion import are next due, how long the waiting work takes at the
// cycle's pace, and the latest lines of Varenta.log that record an error.
//
// Status 0 in step, 3 when work is waiting, 1 when the store database cannot be reached or read
// (the log's errors are still printed then).

#include <ostream>
#include <string>

namespace varenta {

int printSituation(const std::string& programDir, std::ostream& out, std::ostream& err);

}  // namespace varenta
