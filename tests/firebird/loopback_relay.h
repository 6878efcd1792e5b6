#pragma once
// LoopbackRelay: a TCP relay on 127.0.0.1 in front of a local port. Tests put it between a client and
// the database server to break the client's links the way a server restart does, or to stall them
// the way a dropped route or a hung host does, without touching the server that other suites share.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace varenta::testing {

class LoopbackRelay {
 public:
  explicit LoopbackRelay(int targetPort);  // throws EInOutError when it cannot listen
  ~LoopbackRelay();
  LoopbackRelay(const LoopbackRelay&) = delete;
  LoopbackRelay& operator=(const LoopbackRelay&) = delete;

  int port() const { return port_; }
  // Closes every link relayed so far; new ones are still accepted.
  void cut();
  // While on, every new link is closed as soon as it comes, as when the server is down.
  void refuse(bool on) { refusing_ = on; }
  // From now on every link, open or to come, stays open but passes nothing more, either way, once
  // the server has answered `replies` times on it: no reset, so the client waits on it for as
  // long as it is willing to wait.
  void stall(int replies = 0);
  // Links that have stalled so far.
  int stalledLinks() const { return stalled_; }

 private:
  void acceptLoop();
  using Socket = std::intptr_t;  // a socket of either platform (net::Socket)
  void pump(Socket client, Socket server);

  int target_;
  Socket listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<bool> refusing_{false};
  std::atomic<int> stall_after_{-1};  // replies a link passes before it stalls; -1: none stall
  std::atomic<int> stalled_{0};
  std::mutex mutex_;
  std::vector<Socket> open_;  // sockets of live links
  std::vector<std::thread> pumps_;
  std::thread acceptor_;
};

}  // namespace varenta::testing
