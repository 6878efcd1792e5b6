#include "tests/support/closed_port.h"

#ifdef _WIN32
#include <winsock2.h>
#else
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <stdexcept>

namespace varenta {

// A port the system just gave out and nobody took since: bound, read and closed again.
int closedPort() {
#ifdef _WIN32
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  if (!started) throw std::runtime_error("winsock did not start");
  using Length = int;
  const auto closeSocket = closesocket;
#else
  using Length = socklen_t;
  const auto closeSocket = close;
#endif
  const auto fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  Length length = sizeof address;
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
    throw std::runtime_error("cannot find a free loopback port");
  closeSocket(fd);
  return ntohs(address.sin_port);
}

}  // namespace varenta
