#pragma once
// TFBConn: the connection helper. It keeps the settings of the current connection attempt and
// writes them, with the fixed options every statement of the service relies on, into a Connection.

#include <memory>
#include <string>
#include <string_view>

#include "storedb/connection.h"

namespace varenta {

class TFBConn {
 public:
  // Only FDatabase, FUser_Name, FPassword, FServer and FPort are ever set; FCharacterSet stays
  // empty (the database's own bytes), and protocol and dialect are fixed by ConfigureConnection.
  std::string FDatabase;
  std::string FUser_Name;
  std::string FPassword;
  std::string FProtocol;
  std::string FServer;
  std::string FPort;
  std::string FSQLDialect;
  std::string FCharacterSet;

  // Stores the settings of an attempt, replacing those of the previous one; Conn is left alone.
  void CreateConn(std::string_view Server, std::string_view DatabasePath, std::string_view Port,
                  std::string_view Username, std::string_view Password, Connection& Conn);
  // Rewrites Conn's parameter lines from the stored settings, then sets its options.
  void ConfigureConnection(Connection& Conn) const;
  // Opens Conn and answers whether it is open. A failure is written to standard output and
  // rethrown to the caller as a failed attempt.
  bool ConnectConn(Connection& Conn) const;
  void DisconnectConn(Connection& Conn) const;
  void DestroyConn(std::unique_ptr<Connection>& Conn) const;
};

}  // namespace varenta
