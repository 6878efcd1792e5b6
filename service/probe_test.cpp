// The probe against real listeners on loopback.

#include "service/probe.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

#include "base/error.h"
#include "tests/support/loopback_listener.h"
#include "tests/support/silent_resolver.h"
#include "tests/support/temp_dir.h"

namespace varenta {
namespace {

ProbeHost at(int port) {
  return {"127.0.0.1", port};
}

TEST(Probe, AnyAnswerCountsAndOneRequestIsEnough) {
  auto first = LoopbackListener::http();
  auto second = LoopbackListener::http();
  EXPECT_TRUE(isInternetOk({at(first->port()), at(second->port())}));
  const auto seen = first->requests();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].method, "HEAD");
  EXPECT_EQ(seen[0].path, "/");
  EXPECT_EQ(seen[0].userAgent, "Durelco");
  EXPECT_EQ(seen[0].headerNames, (std::vector<std::string>{"Host", "User-Agent"}));  // no extra headers
  EXPECT_TRUE(second->requests().empty());
}

TEST(Probe, IgnoresProxiesFromTheEnvironment) {
  auto listener = LoopbackListener::http();
  const std::string deadProxy = "http://127.0.0.1:" + std::to_string(closedPort());
  for (const char* name : {"http_proxy", "https_proxy", "HTTPS_PROXY", "ALL_PROXY", "all_proxy"})
    setenv(name, deadProxy.c_str(), 1);
  const bool reached = TestUrl(at(listener->port()), false);
  for (const char* name : {"http_proxy", "https_proxy", "HTTPS_PROXY", "ALL_PROXY", "all_proxy"})
    unsetenv(name);
  EXPECT_TRUE(reached);
}

TEST(Probe, HttpsWithAnyCertificateAfterPlainHttpFails) {
  TempDir temp;
  auto listener = LoopbackListener::https(temp.dir());
  EXPECT_FALSE(TestUrl(at(listener->port()), false));
  EXPECT_TRUE(TestUrl(at(listener->port()), true));
  EXPECT_TRUE(isInternetOk({at(listener->port())}));
  EXPECT_EQ(listener->requests().size(), 2u);  // one per HTTPS attempt; the plain ones never got through
}

// Two seconds for the answer, counted from the request: an answer after three is no answer.
TEST(Probe, AnAnswerLaterThanTwoSecondsAfterTheRequestCountsAsNone) {
  auto slow = LoopbackListener::http();
  slow->answerAfter(std::chrono::milliseconds(3000));
  EXPECT_FALSE(TestUrl(at(slow->port()), false));
  EXPECT_EQ(slow->requests().size(), 1u);  // the request went out; its answer was too late
}

TEST(Probe, ANameThatNeverResolvesFailsWithoutWaitingForTheResolver) {
  SilentResolver resolver;
  EXPECT_FALSE(TestUrl({SilentResolver::kName, 0}, false));
  EXPECT_EQ(resolver.waiting(), 1) << "the attempt waited for the resolver";
}

TEST(Probe, ClosedPortsFailWithoutWaitingForTheTimeOut) {
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(isInternetOk({at(closedPort()), at(closedPort())}));
  // Refused connections answer at once; only a silent network would use the 2-second time-outs.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

TEST(ProbeHosts, ParsesHostsWithOptionalPorts) {
  const auto hosts = parseProbeHosts("127.0.0.1:8080,probe.example-1.org,a_b:65535");
  ASSERT_EQ(hosts.size(), 3u);
  EXPECT_EQ(hosts[0].name, "127.0.0.1");
  EXPECT_EQ(hosts[0].port, 8080);
  EXPECT_EQ(hosts[1].name, "probe.example-1.org");
  EXPECT_EQ(hosts[1].port, 0);
  EXPECT_EQ(hosts[2].port, 65535);
  for (const char* bad :
       {"", ",", "a,", "a:", "a:0", "a:65536", "a:8x", "a:-1", "http://a", "a/b", "a b", "a:80:90"})
    EXPECT_THROW(parseProbeHosts(bad), EConvertError) << bad;
}

}  // namespace
}  // namespace varenta
