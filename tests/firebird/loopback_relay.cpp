#include "tests/firebird/loopback_relay.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>

#include "base/error.h"

namespace varenta::testing {
namespace {

sockaddr_in loopback(int port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<std::uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return a;
}

}  // namespace

LoopbackRelay::LoopbackRelay(int targetPort) : target_(targetPort) {
  listener_ = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a = loopback(0);
  socklen_t size = sizeof a;
  if (listener_ < 0 || bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
      listen(listener_, 16) != 0 || getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &size) != 0) {
    if (listener_ >= 0) close(listener_);
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
  close(listener_);
}

void LoopbackRelay::cut() {
  std::lock_guard lock(mutex_);
  for (int fd : open_) shutdown(fd, SHUT_RDWR);
}

void LoopbackRelay::acceptLoop() {
  while (!stopping_) {
    pollfd p{listener_, POLLIN, 0};
    if (poll(&p, 1, 50) <= 0) continue;
    const int client = accept(listener_, nullptr, nullptr);
    if (client < 0) continue;
    if (refusing_) {
      close(client);
      continue;
    }
    const int server = socket(AF_INET, SOCK_STREAM, 0);
    const sockaddr_in a = loopback(target_);
    if (server < 0 || connect(server, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) {
      close(client);
      if (server >= 0) close(server);
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

void LoopbackRelay::pump(int client, int server) {
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
    pollfd p[2] = {{client, wanted, 0}, {server, wanted, 0}};
    if (poll(p, 2, 50) < 0) break;
    for (int i = 0; i < 2 && open; ++i) {
      if (p[i].revents == 0) continue;
      if (stalled) {
        open = (p[i].revents & (POLLHUP | POLLERR)) == 0;
        continue;
      }
      const ssize_t got = read(p[i].fd, buffer, sizeof buffer);
      // MSG_NOSIGNAL: a side that already closed ends the link, not the test process.
      open = got > 0 && send(p[1 - i].fd, buffer, static_cast<std::size_t>(got), MSG_NOSIGNAL) == got;
      if (i == 1) ++replies;
    }
  }
  std::lock_guard lock(mutex_);
  std::erase_if(open_, [&](int fd) { return fd == client || fd == server; });
  close(client);
  close(server);
}

}  // namespace varenta::testing
