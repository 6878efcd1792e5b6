#pragma once
// The tally of what reached the stand-in against what was expected: every movement or closing the
// journal holds is matched to the expected post with the same endpoint, register and exact text.
// Expected posts the stand-in never accepted (answered 2xx) are missing, unless it answered them 413 (too
// large: the cloud's verdict, which moves the mark); journaled posts that match nothing are unexpected;
// an expected post that came more often than expected counts its extra copies (duplicates), and one
// the stand-in accepted more often than expected is noted with where each accepted copy stands.
// The closing a late cancellation owes counts as delivered by a further accepted copy of that day's
// closing in the closing export's form (the closing mark brought back to that day sends it so).

#include <string>
#include <vector>

#include "tests/e2e/expected_run.h"
#include "tests/e2e/service_run.h"
#include "tools/request_journal.h"

namespace varenta::e2e {

struct PostTally {
  struct Extra {
    const ExpectedPost* post;
    int times;
  };
  int posts = 0;  // movements and closings in the journal
  struct AcceptedAgain {
    const ExpectedPost* post;
    std::vector<std::size_t> acceptedAt;  // the accepted copies' positions in the journal, in order
  };
  std::vector<const ExpectedPost*> missing;   // never accepted nor refused as too large, in expected order
  std::vector<const ExpectedPost*> tooLarge;  // never accepted, answered 413
  std::vector<std::string> unexpected;        // "<register> <endpoint>: <body>"
  std::vector<Extra> extras;                  // in expected order
  std::vector<AcceptedAgain> acceptedAgain;   // accepted more often than expected, in expected order
  int duplicates() const;
  int duplicatesOf(Phase phase) const;
};

PostTally tallyPosts(const std::vector<ExpectedPost>& expected, const std::vector<JournalEntry>& journal);

// The journal's posts, each read as endpoint and register; other requests are left out.
struct JournaledPost {
  std::string endpoint;
  std::string caixa;
  const JournalEntry* entry;
};
std::vector<JournaledPost> journaledPosts(const std::vector<JournalEntry>& journal);

// What the marks claim and the journal does not show: a sale at or below the sale mark, a
// cancellation at or below the cancellation mark, or a closing of a day before the closing mark
// that the stand-in never accepted. The marks must be read before the journal.
std::vector<std::string> marksAheadOfPosts(const Store& store, const ExpectedRun& run, const Marks& marks,
                                           const std::vector<JournalEntry>& journal);

}  // namespace varenta::e2e
