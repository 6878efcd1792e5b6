#include "tests/support/loopback_listener.h"

#include <httplib.h>

#include <cstdlib>
#include <stdexcept>
#include <thread>

namespace varenta {

struct LoopbackListener::Server {
  std::unique_ptr<httplib::Server> server;
  std::thread thread;
};

LoopbackListener::LoopbackListener(std::unique_ptr<Server> server) : server_(std::move(server)) {
  httplib::Server& s = *server_->server;
  s.Get(".*", [this](const httplib::Request& request, httplib::Response& response) {
    SeenRequest seen{request.method, request.path, request.get_header_value("User-Agent"), {}};
    for (const auto& [name, value] : request.headers) {
      // The server's own notes on the connection are not headers the client sent.
      if (name.rfind("REMOTE_", 0) != 0 && name.rfind("LOCAL_", 0) != 0) seen.headerNames.push_back(name);
    }
    {
      std::lock_guard lock(mutex_);
      requests_.push_back(std::move(seen));
    }
    std::this_thread::sleep_for(delay_.load());
    response.status = 403;
  });
  port_ = s.bind_to_any_port("127.0.0.1");
  if (port_ <= 0) throw std::runtime_error("cannot bind a loopback port");
  server_->thread = std::thread([&s] { s.listen_after_bind(); });
  // stop() leaves a server alone that has not begun to listen, which would then never return:
  // hand out the listener only once it listens.
  while (!s.is_running()) std::this_thread::yield();
}

LoopbackListener::~LoopbackListener() {
  stop();
}

std::unique_ptr<LoopbackListener> LoopbackListener::http() {
  auto server = std::make_unique<Server>();
  server->server = std::make_unique<httplib::Server>();
  return std::unique_ptr<LoopbackListener>(new LoopbackListener(std::move(server)));
}

std::unique_ptr<LoopbackListener> LoopbackListener::https(const std::string& directory) {
  const std::string key = directory + "key.pem";
  const std::string cert = directory + "cert.pem";
  const std::string command =
      "openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=elsewhere.invalid -keyout " + key +
      " -out " + cert + " 2>/dev/null";
  if (std::system(command.c_str()) != 0) throw std::runtime_error("openssl could not make a certificate");
  auto server = std::make_unique<Server>();
  server->server = std::make_unique<httplib::SSLServer>(cert.c_str(), key.c_str());
  if (!server->server->is_valid()) throw std::runtime_error("the HTTPS server rejected its certificate");
  return std::unique_ptr<LoopbackListener>(new LoopbackListener(std::move(server)));
}

std::vector<SeenRequest> LoopbackListener::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

void LoopbackListener::stop() {
  if (!server_->thread.joinable()) return;
  server_->server->stop();
  server_->thread.join();
}

}  // namespace varenta
