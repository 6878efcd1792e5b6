#pragma once
// TestDatabase: a throw-away store database on the local Firebird server (127.0.0.1:3050, started
// by scripts/firebird-up.sh), created from storedb/schema.sql in a directory of its own and dropped
// with it. Each test suite makes its own, so suites run in parallel without sharing rows.

#include <string>
#include <string_view>

#include "storedb/connection.h"
#include "tests/support/temp_dir.h"

namespace varenta::testing {

// Where the tests find the server and how they log in.
inline constexpr const char* kServer = "localhost";
inline constexpr const char* kPort = "3050";
inline constexpr const char* kUser = "SYSDBA";
inline constexpr const char* kPassword = "quenbolix";

// The text of storedb/schema.sql, which creates every table the service's statements use.
std::string schemaScript();

class TestDatabase {
 public:
  // The file gets the given name (UTF-8, "/" before a directory of its own) in a fresh directory. Throws
  // EDatabaseError (or EInOutError) when the database cannot be made.
  explicit TestDatabase(std::string_view fileName = "store.fdb");
  ~TestDatabase();
  TestDatabase(const TestDatabase&) = delete;
  TestDatabase& operator=(const TestDatabase&) = delete;

  // The directory, with a trailing "/", readable and writable by the server; tests may put files
  // (such as a Tolvane.ini) in it. It goes with the database.
  const std::string& directory() const { return directory_; }
  // The database file's path as the server sees it.
  const std::string& path() const { return path_; }

  // Describes the database to conn as the service does (TFBConn), with the first password.
  void configure(Connection& conn) const;
  // A connection of the database's own for fixtures and checks, opened on first use.
  Connection& connection() { return connection_; }
  // Runs one statement on that connection, each in its own committed transaction.
  void exec(std::string_view sql);

 private:
  TempDir temp_{"varenta-db", true};  // the server, as its own user, works in it
  std::string directory_ = temp_.dir();
  std::string path_;
  Connection connection_;
};

}  // namespace varenta::testing
