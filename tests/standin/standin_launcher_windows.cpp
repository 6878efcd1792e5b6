// Starts the stand-in, a Linux program, from a Windows test under wine. Wine starts it but gives no
// handle on it, so the launcher holds a loopback connection the stand-in made at its start
// (--lifeline) instead: closing it stops the stand-in, and so does the test program's end, however
// it ends.

#include "tests/support/loopback_sockets.h"
// after winsock2.h, which loopback_sockets.h brings and which must come first
#include <windows.h>
#include <winhttp.h>

#include <chrono>
#include <stdexcept>
#include <thread>

#include "api/winhttp_handle.h"
#include "tests/standin/standin_launcher.h"
#include "tests/support/files.h"
#include "tests/support/wine.h"

namespace varenta {
namespace {

using namespace net;

constexpr auto kStartTime = std::chrono::seconds(20);

struct SocketCloser {
  explicit SocketCloser(Socket s = kNoSocket) : socket(s) {}
  SocketCloser(const SocketCloser&) = delete;
  SocketCloser& operator=(const SocketCloser&) = delete;
  ~SocketCloser() {
    if (socket != kNoSocket) closeSocket(socket);
  }
  Socket socket;
};

bool accepts(int port) {
  const SocketCloser probe(newSocket());
  const sockaddr_in address = loopback(port);
  return probe.socket != kNoSocket &&
         connect(probe.socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

}  // namespace

struct StandIn::Program {
  SocketCloser lifeline;
};

StandIn::StandIn(StandInConfig config) : config_(std::move(config)) {
  if (!underWine())
    throw std::runtime_error(
        "the cloud stand-in is a Linux program: the Windows tests that use it run under wine");
  config_.dataDir = dir_ / "data";
  config_.journalFile = dir_ / "journal.jsonl";
  std::filesystem::create_directory(config_.dataDir);

  const SocketCloser listener(listenOn(0));
  if (listener.socket == kNoSocket) throw std::runtime_error("no loopback port for the stand-in's lifeline");

  std::vector<std::string> args = {"--data",      linuxPathOf(config_.dataDir),
                                   "--journal",   linuxPathOf(config_.journalFile),
                                   "--port-file", linuxPathOf(dir_ / "port"),
                                   "--empresa",   config_.empresa,
                                   "--local",     config_.local,
                                   "--usuario",   config_.usuario,
                                   "--senha",     config_.senha,
                                   "--lifeline",  std::to_string(portOf(listener.socket))};
  if (!config_.certFile.empty())
    args.insert(args.end(), {"--cert", linuxPathOf(config_.certFile), "--key", linuxPathOf(config_.keyFile)});
  std::string script = "exec " + shellQuoted(VARENTA_STANDIN_PROGRAM);
  for (const std::string& arg : args) script += " " + shellQuoted(arg);
  const std::filesystem::path output = dir_ / "output.txt";
  startLinuxShell(script + " > " + shellQuoted(linuxPathOf(output)) + " 2>&1");

  // The stand-in connects once it listens, after writing its port file.
  pollfd ready = readable(listener.socket);
  const int polled = pollSockets(&ready, 1, static_cast<int>(std::chrono::milliseconds(kStartTime).count()));
  if (polled != 1)
    throw std::runtime_error(
        "the stand-in did not start" +
        (polled == SOCKET_ERROR ? " (error " + std::to_string(WSAGetLastError()) + ")" : std::string()) +
        ": " + readFile(output.string()));
  program_ = std::make_unique<Program>();
  program_->lifeline.socket = acceptFrom(listener.socket);
  port_ = std::stoi(readFile((dir_ / "port").string()));
}

StandIn::~StandIn() {
  program_.reset();
  // Its data directory goes next: wait until the stand-in has let go of it.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (accepts(port_) && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

void StandIn::control(const std::string& path, const std::string& body) const {
  const bool secure = !config_.certFile.empty();
  const WinHttpHandle session(
      WinHttpOpen(nullptr, WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
  const WinHttpHandle connection(
      session ? WinHttpConnect(session.get(), L"127.0.0.1", static_cast<INTERNET_PORT>(port_), 0) : nullptr);
  const WinHttpHandle request(
      connection
          ? WinHttpOpenRequest(connection.get(), L"POST", widen(path).c_str(), nullptr, WINHTTP_NO_REFERER,
                               WINHTTP_DEFAULT_ACCEPT_TYPES, secure ? WINHTTP_FLAG_SECURE : 0)
          : nullptr);
  // The stand-in's own certificate, whoever signed it.
  DWORD anyCertificate = SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_CERT_DATE_INVALID |
                         SECURITY_FLAG_IGNORE_CERT_CN_INVALID | SECURITY_FLAG_IGNORE_CERT_WRONG_USAGE;
  DWORD status = 0;
  DWORD size = sizeof status;
  const bool answered =
      request &&
      (!secure || WinHttpSetOption(request.get(), WINHTTP_OPTION_SECURITY_FLAGS, &anyCertificate,
                                   sizeof anyCertificate)) &&
      WinHttpSendRequest(request.get(), L"Content-Type: application/json\r\n", static_cast<DWORD>(-1L),
                         const_cast<char*>(body.data()), static_cast<DWORD>(body.size()),
                         static_cast<DWORD>(body.size()), 0) &&
      WinHttpReceiveResponse(request.get(), nullptr) &&
      WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                          WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX);
  if (!answered || status != 200) throw std::runtime_error("the stand-in refused " + path);
}

}  // namespace varenta
