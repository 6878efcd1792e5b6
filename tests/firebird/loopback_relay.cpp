#include "tests/firebird/loopback_relay.h"

#ifdef _WIN32
#include <winsock2.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <algorithm>

#include "base/error.h"

namespace varenta::testing {
namespace {

// The few calls whose names or flags differ between Winsock and POSIX sockets.
#ifdef _WIN32
using socklen_t = int;
using pollfd = WSAPOLLFD;
constexpr int SHUT_RDWR = SD_BOTH;
constexpr int MSG_NOSIGNAL = 0;  // Winsock raises no signal for a closed peer
const LoopbackRelay::Socket kNoSocket = static_cast<LoopbackRelay::Socket>(INVALID_SOCKET);
void closeSocket(LoopbackRelay::Socket s) {
  closesocket(static_cast<SOCKET>(s));
}
int pollSockets(pollfd* p, unsigned count, int ms) {
  return WSAPoll(p, count, ms);
}
bool winsockStarted() {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return started;
}
#else
const LoopbackRelay::Socket kNoSocket = -1;
void closeSocket(LoopbackRelay::Socket s) {
  close(static_cast<int>(s));
}
int pollSockets(pollfd* p, unsigned count, int ms) {
  return poll(p, count, ms);
}
bool winsockStarted() {
  return true;
}
#endif

sockaddr_in loopback(int port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<std::uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return a;
}

}  // namespace

LoopbackRelay::LoopbackRelay(int targetPort) : target_(targetPort) {
  listener_ = winsockStarted() ? static_cast<Socket>(socket(AF_INET, SOCK_STREAM, 0)) : kNoSocket;
  sockaddr_in a = loopback(0);
  socklen_t size = sizeof a;
  if (listener_ == kNoSocket || bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
      listen(listener_, 16) != 0 || getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &size) != 0) {
    if (listener_ != kNoSocket) closeSocket(listener_);
    throw EInOutError("The relay cannot listen on loopback");
  }
  port_ = ntohs(a.sin_port);
  acceptor_ = std::thread([this] { acceptLoop(); });
}

LoopbackRelay::~LoopbackRelay() {
  stopping_ = true;
  acceptor_.join();
  cut();
  for (std::thread& t : pumps_) t.join();
  closeSocket(listener_);
}

void LoopbackRelay::cut() {
  std::lock_guard lock(mutex_);
  for (const Socket fd : open_) shutdown(fd, SHUT_RDWR);
}

void LoopbackRelay::acceptLoop() {
  while (!stopping_) {
    pollfd p{static_cast<decltype(pollfd::fd)>(listener_), POLLIN, 0};
    if (pollSockets(&p, 1, 50) <= 0) continue;
    const auto client = static_cast<Socket>(accept(listener_, nullptr, nullptr));
    if (client == kNoSocket) continue;
    if (refusing_) {
      closeSocket(client);
      continue;
    }
    const auto server = static_cast<Socket>(socket(AF_INET, SOCK_STREAM, 0));
    const sockaddr_in a = loopback(target_);
    if (server == kNoSocket || connect(server, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) {
      closeSocket(client);
      if (server != kNoSocket) closeSocket(server);
      continue;
    }
    std::lock_guard lock(mutex_);
    open_.push_back(client);
    open_.push_back(server);
    pumps_.emplace_back([this, client, server] { pump(client, server); });
  }
}

void LoopbackRelay::stall(int replies) {
  stall_after_ = replies;
}

void LoopbackRelay::pump(Socket client, Socket server) {
  char buffer[16384];
  int replies = 0;
  bool stalled = false;
  for (bool open = true; open && !stopping_;) {
    if (!stalled && stall_after_ >= 0 && replies >= stall_after_) {
      stalled = true;
      ++stalled_;
    }
    // A stalled link reads nothing and only notices its end (a cut or the peer going away).
    const short wanted = stalled ? 0 : POLLIN;
    using Fd = decltype(pollfd::fd);
    pollfd p[2] = {{static_cast<Fd>(client), wanted, 0}, {static_cast<Fd>(server), wanted, 0}};
    if (pollSockets(p, 2, 50) < 0) break;
    for (int i = 0; i < 2 && open; ++i) {
      if (p[i].revents == 0) continue;
      if (stalled) {
        open = (p[i].revents & (POLLHUP | POLLERR)) == 0;
        continue;
      }
      const auto got = recv(p[i].fd, buffer, sizeof buffer, 0);
      // MSG_NOSIGNAL: a side that already closed ends the link, not the test process.
      open = got > 0 && send(p[1 - i].fd, buffer, got, MSG_NOSIGNAL) == got;
      if (i == 1) ++replies;
    }
  }
  std::lock_guard lock(mutex_);
  std::erase_if(open_, [&](Socket fd) { return fd == client || fd == server; });
  closeSocket(client);
  closeSocket(server);
}

}  // namespace varenta::testing
