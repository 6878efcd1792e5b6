#pragma once
// LoopbackListener (tests): a real HTTP or HTTPS server on 127.0.0.1 that answers every request
// with 403 (at once, or after a delay) and remembers what it was asked. The HTTPS one presents a self-signed
// certificate made for another name, so that only a client ignoring certificate errors gets an answer.

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "tests/support/closed_port.h"

namespace varenta {

struct SeenRequest {
  std::string method;
  std::string path;
  std::string userAgent;
  std::vector<std::string> headerNames;
};

class LoopbackListener {
 public:
  static std::unique_ptr<LoopbackListener> http();
  // Makes its key and certificate in `directory` with the openssl command.
  static std::unique_ptr<LoopbackListener> https(const std::string& directory);
  ~LoopbackListener();

  int port() const { return port_; }
  // Every later request is answered only `delay` after it arrived.
  void answerAfter(std::chrono::milliseconds delay) { delay_ = delay; }
  std::vector<SeenRequest> requests() const;
  // Closes the port; later connections are refused.
  void stop();

 private:
  struct Server;
  explicit LoopbackListener(std::unique_ptr<Server> server);

  std::unique_ptr<Server> server_;
  int port_ = 0;
  std::atomic<std::chrono::milliseconds> delay_{std::chrono::milliseconds(0)};
  mutable std::mutex mutex_;
  std::vector<SeenRequest> requests_;
};

}  // namespace varenta
