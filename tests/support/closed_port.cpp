#include "tests/support/closed_port.h"

#include <cerrno>
#include <stdexcept>
#include <string>

#include "tests/support/loopback_sockets.h"

namespace varenta {
namespace {

using namespace net;

// A socket bound to a free loopback port, and that port.
Socket boundSocket(int& port) {
  const Socket s = newSocket();
  const sockaddr_in address = loopback(0);
  if (s == kNoSocket || bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
    throw std::runtime_error("cannot find a free loopback port");
  port = portOf(s);
  return s;
}

}  // namespace

// A port the system just gave out and nobody took since: bound, read and closed again.
int closedPort() {
  int port = 0;
  closeSocket(boundSocket(port));
  return port;
}

UnansweredPort::UnansweredPort() : listener_(boundSocket(port_)), filler_(newSocket()) {
  const sockaddr_in address = loopback(port_);
  if (listen(static_cast<Socket>(listener_), 0) != 0 ||
      connect(static_cast<Socket>(filler_), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
    throw std::runtime_error("cannot fill a loopback listener's queue: error " +
#ifdef _WIN32
                             std::to_string(WSAGetLastError()));
#else
                             std::to_string(errno));
#endif
}

UnansweredPort::~UnansweredPort() {
  closeSocket(static_cast<Socket>(filler_));
  closeSocket(static_cast<Socket>(listener_));
}

}  // namespace varenta
