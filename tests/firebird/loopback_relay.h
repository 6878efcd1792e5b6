#pragma once
// LoopbackRelay: a TCP relay on 127.0.0.1 in front of a local port. Tests put it between a client and
// the database server to break the client's links the way a server restart does, without touching
// the server that other suites share.

#include <atomic>
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

 private:
  void acceptLoop();
  void pump(int client, int server);

  int target_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<bool> refusing_{false};
  std::mutex mutex_;
  std::vector<int> open_;  // sockets of live links
  std::vector<std::thread> pumps_;
  std::thread acceptor_;
};

}  // namespace varenta::testing
