#pragma once
// IniConn: the cycle's connection step. Finds the database through Tolvane.ini, connects with the
// store system's first password or else its second, and loads the settings and marks.

#include <string>

#include "storedb/fbconn.h"
#include "storedb/settings.h"
#include "storedb/tolvane_ini.h"

namespace varenta {

struct ConnectionStep {
  SettingsLoad load;           // the database objects, settings, timer, clock and log
  TFBConn& fbConn;             // the process's one connection helper
  DatabaseLocation& location;  // kept until the next connection step
  bool& dbConnected;           // DbConnected
  std::string programDir;      // where Tolvane.ini and the default database file are
};

// No connection failure escapes: it ends in the failure line and DbConnected false, after a line
// naming what is missing when there is no usable Firebird client (Windows). The settings
// load runs in every case (and logs its own failure when there is no connection).
void IniConn(const ConnectionStep& step);

}  // namespace varenta
