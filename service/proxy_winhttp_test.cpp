// The machine's WinHTTP proxy (what `netsh winhttp set proxy` sets) under wine: the probe and the
// cloud calls reach hosts this machine cannot resolve through a proxy on loopback, plain HTTP as a
// request in absolute form, HTTPS through a CONNECT tunnel. The proxy sends every request on to the
// loopback port it names, where a stand-in answers.

#include <winsock2.h>
// after winsock2.h, which must come before windows.h
#include <gtest/gtest.h>
#include <windows.h>
#include <winhttp.h>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "api/varenta_client.h"
#include "service/probe.h"
#include "tests/standin/standin_launcher.h"
#include "tests/standin/test_certificates.h"
#include "tests/support/temp_dir.h"

namespace varenta {
namespace {

// Copies what comes on `from` to `to` until either side ends.
void pipe(SOCKET from, SOCKET to) {
  char buffer[16384];
  for (;;) {
    const int got = recv(from, buffer, sizeof buffer, 0);
    if (got <= 0 || send(to, buffer, got, 0) != got) break;
  }
  shutdown(to, SD_SEND);
}

// A proxy on a loopback port of its own that takes every host for 127.0.0.1, and the first line of
// each request it was asked.
class LoopbackProxy {
 public:
  LoopbackProxy() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    listen(listener_, 16);
    accepting_ = std::thread([this] {
      for (;;) {
        const SOCKET client = accept(listener_, nullptr, nullptr);
        if (client == INVALID_SOCKET) return;
        std::lock_guard lock(mutex_);
        open_.push_back(client);
        serving_.emplace_back([this, client] { serve(client); });
      }
    });
  }
  // Connections kept open for reuse (wine's WinHTTP keeps them 30 seconds after the session) are
  // cut: closed under the threads that read them, which then end.
  ~LoopbackProxy() {
    closesocket(listener_);
    accepting_.join();
    {
      std::lock_guard lock(mutex_);
      for (const SOCKET open : open_) closesocket(open);
    }
    for (std::thread& t : serving_) t.join();
  }

  int port() const { return port_; }
  std::vector<std::string> asked() {
    std::lock_guard lock(mutex_);
    return asked_;
  }

 private:
  void serve(SOCKET client) {
    std::string head;
    char c;
    while (head.find("\r\n\r\n") == std::string::npos && recv(client, &c, 1, 0) == 1) head += c;
    const std::string line = head.substr(0, head.find("\r\n"));
    {
      std::lock_guard lock(mutex_);
      asked_.push_back(line);
    }
    // "CONNECT host:port HTTP/1.1", or "GET http://host:port/path HTTP/1.1".
    const bool tunnel = line.starts_with("CONNECT ");
    std::string target = line.substr(line.find(' ') + 1);
    target = target.substr(0, target.find(' '));
    if (!tunnel) target = target.substr(target.find("://") + 3);
    const std::size_t pathAt = tunnel ? std::string::npos : target.find('/');
    const std::string hostPort = target.substr(0, pathAt);
    const int port = std::stoi(hostPort.substr(hostPort.rfind(':') + 1));
    const SOCKET server = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<u_short>(port));
    {
      std::lock_guard lock(mutex_);
      open_.push_back(server);
    }
    if (connect(server, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
      shutdown(client, SD_BOTH);
      return;
    }
    if (tunnel) {
      const std::string established = "HTTP/1.1 200 Connection established\r\n\r\n";
      send(client, established.data(), static_cast<int>(established.size()), 0);
    } else {
      const std::string method = line.substr(0, line.find(' '));
      const std::string request =
          method + " " + target.substr(pathAt) + line.substr(line.rfind(' ')) + head.substr(line.size());
      send(server, request.data(), static_cast<int>(request.size()), 0);
    }
    std::thread back([&] { pipe(server, client); });
    pipe(client, server);
    back.join();
  }

  SOCKET listener_;
  int port_ = 0;
  std::mutex mutex_;
  std::vector<std::string> asked_;
  std::vector<SOCKET> open_;
  std::thread accepting_;
  std::vector<std::thread> serving_;
};

// The machine's WinHTTP proxy, as `netsh winhttp set proxy 127.0.0.1:<port>` sets it, for the
// test's time; then none again, as the other tests need.
class MachineProxy {
 public:
  explicit MachineProxy(int port) {
    std::wstring server = L"127.0.0.1:" + std::to_wstring(port);
    WINHTTP_PROXY_INFO proxy{WINHTTP_ACCESS_TYPE_NAMED_PROXY, server.data(), nullptr};
    set_ = WinHttpSetDefaultProxyConfiguration(&proxy);
  }
  ~MachineProxy() {
    WINHTTP_PROXY_INFO none{WINHTTP_ACCESS_TYPE_NO_PROXY, nullptr, nullptr};
    WinHttpSetDefaultProxyConfiguration(&none);
  }
  bool set() const { return set_; }

 private:
  bool set_ = false;
};

// Names this machine cannot resolve: only the proxy gets anywhere with them.
constexpr char kUnresolvable[] = "varenta-behind-proxy.invalid";

TEST(MachineProxyWinHttp, TheProbeGoesThroughTheMachinesProxy) {
  TempDir temp;
  const TestCertificates certificates = makeTestCertificates(temp.dir());
  StandInConfig config;
  config.certFile = certificates.selfSignedCert;
  config.keyFile = certificates.selfSignedKey;
  StandIn secure(config);
  StandIn plain;
  EXPECT_FALSE(isInternetOk({{kUnresolvable, plain.port()}})) << "the name resolved without a proxy";

  LoopbackProxy proxy;
  const MachineProxy machine(proxy.port());
  ASSERT_TRUE(machine.set()) << GetLastError();
  EXPECT_TRUE(TestUrl({kUnresolvable, plain.port()}, false));
  EXPECT_TRUE(TestUrl({kUnresolvable, secure.port()}, true));
  const std::string at = std::string(kUnresolvable) + ":";
  EXPECT_EQ(proxy.asked(), (std::vector<std::string>{
                               "HEAD http://" + at + std::to_string(plain.port()) + "/ HTTP/1.1",
                               "CONNECT " + at + std::to_string(secure.port()) + " HTTP/1.1",
                           }));
  EXPECT_EQ(plain.journal().size(), 1u);
  EXPECT_EQ(secure.journal().size(), 1u);
}

TEST(MachineProxyWinHttp, CloudCallsGoThroughTheMachinesProxy) {
  StandInConfig config;
  config.usuario = "varenta";
  config.senha = "varenta";
  StandIn cloud(config);
  LoopbackProxy proxy;
  const MachineProxy machine(proxy.port());
  ASSERT_TRUE(machine.set()) << GetLastError();
  TVarenta client{TransportSettings{}};
  client.setContext({.BaseUrl = "http://" + std::string(kUnresolvable) + ":" + std::to_string(cloud.port()),
                     .Usuario = "varenta",
                     .Senha = "varenta",
                     .IdEmpresa = "12",
                     .IdLocal = "1"});
  EXPECT_EQ(client.getPromoAceitas().code_retorno, "200");
  ASSERT_EQ(proxy.asked().size(), 1u);
  EXPECT_TRUE(proxy.asked()[0].starts_with("GET http://" + std::string(kUnresolvable) + ":"))
      << proxy.asked()[0];
  EXPECT_EQ(cloud.journal().size(), 1u);
}

}  // namespace
}  // namespace varenta
