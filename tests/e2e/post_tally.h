#pragma once
// The tally of what reached the stand-in against what was expected: every movement or closing the
// journal holds is matched to the expected post with the same endpoint, register and exact text.
// Expected posts the stand-in never accepted (answered 2xx) are missing; journaled posts that match nothing
// are unexpected; an expected post that came more often than expected counts its extra copies (duplicates).

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
  int posts = 0;                             // movements and closings in the journal
  std::vector<const ExpectedPost*> missing;  // never accepted, in expected order
  std::vector<std::string> unexpected;       // "<register> <endpoint>: <body>"
  std::vector<Extra> extras;                 // in expected order
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
