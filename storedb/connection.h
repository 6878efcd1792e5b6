#pragma once
// Connection: the one attachment of the process to the store database. It is described by
// name=value parameter lines (written by TFBConn::ConfigureConnection) and behaves as the options
// say for every statement run on it through Query: read-committed transactions, each statement
// committed on its own, results counted in full.

#include <cstdint>
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
};

}  // namespace varenta
