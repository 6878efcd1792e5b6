#include "storedb/ini_conn.h"

#include <exception>

#include "storedb/fb_api.h"
#include "storedb/fb_client.h"

namespace varenta {
namespace {

constexpr const char* kPort = "3050";
constexpr const char* kUser = "SYSDBA";
constexpr const char* kFirstPassword = "quenbolix";
constexpr const char* kSecondPassword = "gebrow";

bool attempt(const ConnectionStep& step, const char* password) {
  Connection& connection = *step.load.db.connection;
  try {
    step.fbConn.CreateConn(step.location.server, step.location.path, kPort, kUser, password, connection);
    step.fbConn.ConfigureConnection(connection);
    return step.fbConn.ConnectConn(connection);
  } catch (const std::exception&) {
    return false;
  }
}

// Windows loads the Firebird client when it is first needed (storedb/fb_client.h): on a machine
// without a usable one, each connection step says what is missing before it fails as usual.
bool clientReady(const ConnectionStep& step) {
  try {
    fb::master();
    return true;
  } catch (const fb::EClientMissing& missing) {
    step.load.log.DoSaveLog(missing.message());
    return false;
  }
}

}  // namespace

void IniConn(const ConnectionStep& step) {
  step.location = readDatabaseLocation(step.programDir);
  step.load.db.create();
  if (clientReady(step) && (attempt(step, kFirstPassword) || attempt(step, kSecondPassword))) {
    step.dbConnected = true;
  } else {
    step.load.log.DoSaveLog("Falha na conexão com o banco de dados do Olvessa");
    step.dbConnected = false;
  }
  GetCredenciaisVarenta(step.load);
}

}  // namespace varenta
