#pragma once
// Connection: the one attachment of the process to the store database. It is described by
// name=value parameter lines (written by TFBConn::ConfigureConnection) and behaves as the options
// say for every statement run on it through Query: read-committed transactions, each statement
// committed on its own, results counted in full.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Firebird {
class IAttachment;
}

namespace varenta {

// Name=value lines; names are matched without regard to letter case.
class ConnectionParams {
 public:
  void clear() { lines_.clear(); }
  void add(std::string_view name, std::string_view value);
  // Replaces the value of the first line with that name, or appends a line when there is none.
  void setValue(std::string_view name, std::string_view value);
  // The value of the first line with that name; empty when there is none.
  std::string value(std::string_view name) const;
  const std::vector<std::string>& lines() const { return lines_; }

 private:
  std::vector<std::string> lines_;
};

struct ConnectionOptions {
  bool autoReconnect = false;       // a statement that finds the link broken reattaches and runs again
  bool emptyStringsAsNull = false;  // a string parameter "" is sent as NULL
  bool trimOnRead = false;          // trailing blanks of text read are removed
  bool trimToLength = false;        // text longer than its column is cut to the column's length
};

class Connection {
 public:
  Connection() = default;
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  ConnectionParams& params() { return params_; }
  const ConnectionParams& params() const { return params_; }
  ConnectionOptions& options() { return options_; }
  const ConnectionOptions& options() const { return options_; }

  // Attaches over TCP/IP to an existing database, as "Server" (this host when empty), "Port",
  // "Database", "User_Name", "Password" and "SQLDialect" say; a "Server" with a port of its own
  // ("host/3051") is reached on that port. Does nothing when already open. Throws EDatabaseError.
  void open();
  // Detaches; a link found broken is dropped without a word. Never throws.
  void close();
  bool connected() const { return attachment_ != nullptr; }

  // Readies the link for a task at monotonic time `now`. The link is kept from task to task: every
  // attachment leaves the client library a little memory it never gives back, and attaching costs
  // more than a task's statements. It is attached anew when it is closed, when a statement on it
  // failed since (the link may be in a state nobody can see from here), or when it was attached an
  // hour or more ago, so that a link is never older than that. Throws EDatabaseError.
  void renew(std::chrono::steady_clock::time_point now);
  // Query's report that a statement on this link failed: the next renew() attaches anew.
  void statementFailed() { failed_ = true; }

  // For Query: the open attachment (opening it when closed), its dialect, and a number that
  // changes with every new attachment, so that statements prepared on an old one are not reused.
  Firebird::IAttachment* attachment();
  unsigned dialect() const { return dialect_; }
  std::uint64_t generation() const { return generation_; }

 private:
  ConnectionParams params_;
  ConnectionOptions options_;
  Firebird::IAttachment* attachment_ = nullptr;
  unsigned dialect_ = 3;
  std::uint64_t generation_ = 0;
  // When renew() first saw the present attachment open; none while it is closed.
  std::optional<std::chrono::steady_clock::time_point> attachedAt_;
  bool failed_ = false;
};

}  // namespace varenta
