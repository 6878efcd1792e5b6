// The probe over WinHTTP against the cloud stand-in on loopback, under wine: what probe_test.cpp
// shows for the Linux probe against listeners of its own (those are built on a Linux HTTP server).

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "service/probe.h"
#include "tests/standin/standin_launcher.h"
#include "tests/standin/test_certificates.h"
#include "tests/support/closed_port.h"
#include "tests/support/silent_resolver.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wine.h"

namespace varenta {
namespace {

ProbeHost at(int port) {
  return {"127.0.0.1", port};
}

TEST(ProbeWinHttp, AnyAnswerCountsAndOneRequestIsEnough) {
  StandIn first;
  StandIn second;
  EXPECT_TRUE(isInternetOk({at(first.port()), at(second.port())}));
  const std::vector<JournalEntry> seen = first.journal();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].method, "HEAD");
  EXPECT_EQ(seen[0].path, "/");
  EXPECT_EQ(headerOf(seen[0], "User-Agent"), "Durelco");
  // No extra headers; WinHTTP's own wish to keep the connection alive aside.
  std::vector<std::string> names;
  for (const auto& header : seen[0].headers) names.push_back(header.first);
  EXPECT_EQ(names, (std::vector<std::string>{"Connection", "Host", "User-Agent"}));
  EXPECT_EQ(headerOf(seen[0], "Connection"), "Keep-Alive");
  EXPECT_TRUE(second.journal().empty());
}

// A certificate nobody vouches for (self-signed) is an answer too.
TEST(ProbeWinHttp, HttpsWithAnyCertificateAfterPlainHttpFails) {
  TempDir temp;
  const TestCertificates certificates = makeTestCertificates(temp.dir());
  StandInConfig config;
  config.certFile = certificates.selfSignedCert;
  config.keyFile = certificates.selfSignedKey;
  StandIn secure(config);
  EXPECT_FALSE(TestUrl(at(secure.port()), false));
  EXPECT_TRUE(TestUrl(at(secure.port()), true));
  EXPECT_TRUE(isInternetOk({at(secure.port())}));
  EXPECT_EQ(secure.journal().size(), 2u);  // one per HTTPS attempt; the plain ones never got through
}

// Two seconds for the answer, counted from the request: an answer after three is no answer.
TEST(ProbeWinHttp, AnAnswerLaterThanTwoSecondsAfterTheRequestCountsAsNone) {
  StandIn slow;
  slow.force({.delayMs = 3000});
  EXPECT_FALSE(TestUrl(at(slow.port()), false));
  EXPECT_EQ(slow.journal().size(), 1u);  // the request went out; its answer was too late
}

TEST(ProbeWinHttp, ClosedPortsAndUnknownNamesFailWithoutWaitingForTheTimeOut) {
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(isInternetOk({at(closedPort()), {"varenta-probe.invalid", 0}}));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

// The resolver is the one the Windows suite preloads into wine (tests/support/silent_dns_preload.cpp),
// which holds the lookup 30 seconds; the attempt gives up after its 2 seconds.
TEST(ProbeWinHttp, ANameThatNeverResolvesFailsWithoutWaitingForTheResolver) {
  if (!preloaded("varenta_silent_dns")) GTEST_SKIP() << "wine runs without the silent resolver in LD_PRELOAD";
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(TestUrl({SilentResolver::kName, 0}, false));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10))
      << "the attempt waited for the resolver";
}

}  // namespace
}  // namespace varenta
