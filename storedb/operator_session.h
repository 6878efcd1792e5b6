#pragma once
// OperatorSession: the service's connection, made for an operator's command run from a prompt. It
// connects as the cycle's connection step does (Tolvane.ini in the program's directory, the store
// system's first password, then its second) and loads the settings and marks, which moves a start
// date older than two months up as every load does. The lines the step and the load would log go to
// the operator's error stream instead of Varenta.log.

#include <exception>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "base/log.h"
#include "base/timer.h"
#include "storedb/fbconn.h"
#include "storedb/settings.h"
#include "storedb/store_db.h"
#include "storedb/tolvane_ini.h"

namespace varenta {

// The service's log lines, written for the operator instead.
class OperatorLog : public ServiceLog {
 public:
  explicit OperatorLog(std::ostream& err) : err_(err) {}
  void DoSaveLog(std::string_view message) override;
  std::vector<std::string> lines;

 private:
  std::ostream& err_;
};

struct OperatorSession {
  StoreDb db;
  VarentaSettings settings;
  Timer timer;
  TFBConn fbConn;
  DatabaseLocation location;
  bool connected = false;

  // False when the database could not be reached or the settings not loaded; `log` has said why.
  bool connect(const std::string& programDir, OperatorLog& log, std::ostream& err);
};

// A command's failure as one line on err ("prjSrvVarenta: " + the error's type and message); answers
// the command's status, 1.
int operatorFailure(std::ostream& err, const std::exception& e);

}  // namespace varenta
