#include "tests/support/closed_port.h"

#ifdef _WIN32
#include <winsock2.h>
#else
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <stdexcept>
#include <string>

namespace varenta {

namespace {

#ifdef _WIN32
using Length = int;
void closeSocket(long long fd) {
  closesocket(static_cast<SOCKET>(fd));
}
#else
using Length = socklen_t;
void closeSocket(long long fd) {
  close(static_cast<int>(fd));
}
#endif

void startSockets() {
#ifdef _WIN32
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  if (!started) throw std::runtime_error("winsock did not start");
#endif
}

// A socket bound to a free loopback port, and that port.
long long boundSocket(int& port) {
  startSockets();
  const auto fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  Length length = sizeof address;
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
    throw std::runtime_error("cannot find a free loopback port");
  port = ntohs(address.sin_port);
  return static_cast<long long>(fd);
}

}  // namespace

// A port the system just gave out and nobody took since: bound, read and closed again.
int closedPort() {
  int port = 0;
  closeSocket(boundSocket(port));
  return port;
}

UnansweredPort::UnansweredPort() : listener_(boundSocket(port_)), filler_(-1) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<unsigned short>(port_));
  filler_ = static_cast<long long>(socket(AF_INET, SOCK_STREAM, 0));
  if (listen(static_cast<decltype(socket(0, 0, 0))>(listener_), 0) != 0 ||
      connect(static_cast<decltype(socket(0, 0, 0))>(filler_), reinterpret_cast<sockaddr*>(&address),
              sizeof address) != 0)
    throw std::runtime_error("cannot fill a loopback listener's queue: error " +
#ifdef _WIN32
                             std::to_string(WSAGetLastError()));
#else
                             std::to_string(errno));
#endif
}

UnansweredPort::~UnansweredPort() {
  closeSocket(filler_);
  closeSocket(listener_);
}

}  // namespace varenta
