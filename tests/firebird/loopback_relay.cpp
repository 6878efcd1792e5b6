#include "tests/firebird/loopback_relay.h"

#include <algorithm>

#include "base/error.h"
#include "tests/support/loopback_sockets.h"

namespace varenta::testing {

using namespace net;

LoopbackRelay::LoopbackRelay(int targetPort) : target_(targetPort) {
  listener_ = listenOn(0);
  if (listener_ == kNoSocket) throw EInOutError("The relay cannot listen on loopback");
  port_ = portOf(listener_);
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
  for (const Socket fd : open_) shutdown(fd, kShutBoth);
}

void LoopbackRelay::acceptLoop() {
  while (!stopping_) {
    pollfd p = readable(listener_);
    if (pollSockets(&p, 1, 50) <= 0) continue;
    const Socket client = acceptFrom(listener_);
    if (client == kNoSocket) continue;
    if (refusing_) {
      closeSocket(client);
      continue;
    }
    const Socket server = newSocket();
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
    pollfd p[2] = {readable(client, wanted), readable(server, wanted)};
    if (pollSockets(p, 2, 50) < 0) break;
    for (int i = 0; i < 2 && open; ++i) {
      if (p[i].revents == 0) continue;
      if (stalled) {
        open = (p[i].revents & (POLLHUP | POLLERR)) == 0;
        continue;
      }
      const auto got = recv(p[i].fd, buffer, sizeof buffer, 0);
      // MSG_NOSIGNAL: a side that already closed ends the link, not the test process.
      open = got > 0 && send(p[1 - i].fd, buffer, got, kNoSignal) == got;
      if (i == 1) ++replies;
    }
  }
  std::lock_guard lock(mutex_);
  std::erase_if(open_, [&](Socket fd) { return fd == client || fd == server; });
  closeSocket(client);
  closeSocket(server);
}

}  // namespace varenta::testing
