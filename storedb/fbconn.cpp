#include "storedb/fbconn.h"

#include <exception>
#include <iostream>

namespace varenta {

void TFBConn::CreateConn(std::string_view Server, std::string_view DatabasePath, std::string_view Port,
                         std::string_view Username, std::string_view Password, Connection& /*Conn*/) {
  FServer = Server;
  FPort = Port;
  FDatabase = DatabasePath;
  FUser_Name = Username;
  FPassword = Password;
}

void TFBConn::ConfigureConnection(Connection& Conn) const {
  ConnectionParams& p = Conn.params();
  p.clear();
  p.add("DriverID", "FB");
  p.add("Pooled", "false");
  p.add("Database", FDatabase);
  p.add("User_Name", FUser_Name);
  p.add("Password", FPassword);
  p.add("Protocol", "TCPIP");
  p.add("Server", FServer);
  p.add("Port", FPort);
  p.add("SQLDialect", "3");
  p.add("CharacterSet", FCharacterSet);
  p.add("ExtendedMetaData", "False");
  p.add("OpenMode", "Open");
  p.setValue("Pooled", "False");
  p.setValue("POOLING", "False");

  // Read-committed, one transaction per statement, full record counts and no login dialog are how
  // every Query runs; these are the options that can differ.
  ConnectionOptions& o = Conn.options();
  o.autoReconnect = true;
  o.emptyStringsAsNull = true;
  o.trimOnRead = true;
  o.trimToLength = true;
}

bool TFBConn::ConnectConn(Connection& Conn) const {
  try {
    Conn.open();
    return Conn.connected();
  } catch (const std::exception& e) {
    std::cout << "Erro ao conectar com banco de dados FB: " << e.what() << std::endl;
    throw;
  }
}

void TFBConn::DisconnectConn(Connection& Conn) const {
  Conn.close();
}

void TFBConn::DestroyConn(std::unique_ptr<Connection>& Conn) const {
  Conn.reset();
}

}  // namespace varenta
