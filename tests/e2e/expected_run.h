#pragma once
// What the service must post for a generated store, worked out from the store's own record by a
// small table of the document rules (the test's own, independent of the service's code): every
// sale, every cancellation and every daily closing as exact text, with the log line each post
// gives, in the order a clean run posts them, and the marks the run ends with.
//
// A drawn value cannot be known in advance: in an expected text "<N9>" stands for the nine drawn
// digits of a partial cancellation's number.

#include <string>
#include <string_view>
#include <vector>

#include "tests/e2e/cloud_fixture.h"
#include "tests/e2e/store_model.h"

namespace varenta::e2e {

enum class Phase { Resend, Closing, Sale, Cancellation, CancellationClosingResend };

struct ExpectedPost {
  Phase phase;
  std::string endpoint;  // "movimientos" or "cierresDiarios"
  std::string caixa;     // the register in the path
  std::string body;
  std::string logPrefix;  // the post's log line up to its verdict, "[Venda= 1234]"
  std::string what;       // for people: "sale 5012", "closing 05/03/2024 register 2"
  int venda = 0;          // the sale, for sale and cancellation posts
  DateTime day;           // the day, for closing posts
};

struct ExpectedRun {
  std::vector<ExpectedPost> posts;  // in the order of a clean run
  int ultVenda = 0;
  int ultCancelamento = 0;
  DateTime ultCaixa;
  int sales = 0;  // counts of what the export must post, for reports
  int cancellations = 0;
  int closingDays = 0;
};

ExpectedRun expectedRun(const Store& store);

// The sale's movement batch as the new-sale export and the sale resend post it, and its
// cancellation as the cancellation export posts it.
std::string saleBatch(const Store& store, const Sale& sale);
std::string cancellationBatch(const Store& store, const Sale& sale);

// The log's result lines of a clean run, in order: every post's line with the stand-in's batch
// numbers counted from 1, and the resend poll's and the promotion import's own lines.
std::vector<std::string> expectedResultLines(const Store& store, const std::vector<ExpectedPost>& posts,
                                             bool resendPolling);

// Whether `actual` is `expected` with every "<N9>" standing for nine digits (the first not 0).
bool matchesExpected(std::string_view expected, std::string_view actual);

}  // namespace varenta::e2e
