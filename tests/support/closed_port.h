#pragma once

namespace varenta {

// A loopback port on which nothing listens: a connection to it is refused at once.
int closedPort();

// A loopback port where a connection is never answered, as behind a firewall that drops it: a
// listener with a queue of one, filled by a connection of its own and never accepted (the system
// then drops every further attempt's first packet). Closed when it goes.
class UnansweredPort {
 public:
  UnansweredPort();
  ~UnansweredPort();
  UnansweredPort(const UnansweredPort&) = delete;
  UnansweredPort& operator=(const UnansweredPort&) = delete;
  int port() const { return port_; }

 private:
  int port_ = 0;  // before the sockets: the listener's making sets it
  long long listener_;
  long long filler_;
};

}  // namespace varenta
