#pragma once
// TCP on 127.0.0.1 for test helpers of both platforms: the few names and flags in which Winsock and
// POSIX sockets differ, under one set of names.

#ifdef _WIN32
#include <winsock2.h>
#else
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <cstdint>

namespace varenta::net {

using Socket = std::intptr_t;  // Winsock's are pointer-sized

#ifdef _WIN32
using socklen_t = int;
using pollfd = WSAPOLLFD;
constexpr int kShutBoth = SD_BOTH;
constexpr int kNoSignal = 0;  // Winsock raises no signal for a closed peer
inline const Socket kNoSocket = static_cast<Socket>(INVALID_SOCKET);
inline void closeSocket(Socket s) {
  closesocket(static_cast<SOCKET>(s));
}
inline int pollSockets(pollfd* p, unsigned count, int ms) {
  return WSAPoll(p, count, ms);
}
// Winsock wants starting once per process.
inline bool socketsReady() {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return started;
}
#else
using ::pollfd;
using ::socklen_t;
constexpr int kShutBoth = SHUT_RDWR;
constexpr int kNoSignal = MSG_NOSIGNAL;  // a side that already closed ends the link, not the process
inline const Socket kNoSocket = -1;
inline void closeSocket(Socket s) {
  close(static_cast<int>(s));
}
inline int pollSockets(pollfd* p, unsigned count, int ms) {
  return poll(p, count, ms);
}
inline bool socketsReady() {
  return true;
}
#endif

inline sockaddr_in loopback(int port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<std::uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return a;
}

// A socket polled for reading.
inline pollfd readable(Socket s, short events = POLLIN) {
  return pollfd{static_cast<decltype(pollfd::fd)>(s), events, 0};
}

// Keeps a socket out of the programs the test starts: one that inherited a listener would keep its
// port taken, and the connections to it waiting, after the test closed it.
inline Socket ownSocket(Socket s) {
#ifdef _WIN32
  if (s != kNoSocket) SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
#else
  if (s != kNoSocket) fcntl(static_cast<int>(s), F_SETFD, FD_CLOEXEC);
#endif
  return s;
}

inline Socket newSocket() {
  return socketsReady() ? ownSocket(static_cast<Socket>(socket(AF_INET, SOCK_STREAM, 0))) : kNoSocket;
}

inline Socket acceptFrom(Socket listener) {
  return ownSocket(static_cast<Socket>(accept(listener, nullptr, nullptr)));
}

// A socket listening on 127.0.0.1:`port` (0: a free one), or kNoSocket.
inline Socket listenOn(int port) {
  const Socket s = newSocket();
  if (s == kNoSocket) return s;
  // A port given back may be taken again at once, whatever its last connections are still doing.
  const int yes = 1;
  setsockopt(s, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&yes), sizeof yes);
  const sockaddr_in a = loopback(port);
  if (bind(s, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0 || listen(s, 16) != 0) {
    closeSocket(s);
    return kNoSocket;
  }
  return s;
}

// The port a socket is bound to.
inline int portOf(Socket s) {
  sockaddr_in a{};
  socklen_t size = sizeof a;
  getsockname(s, reinterpret_cast<sockaddr*>(&a), &size);
  return ntohs(a.sin_port);
}

}  // namespace varenta::net
