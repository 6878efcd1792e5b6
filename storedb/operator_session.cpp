#include "storedb/operator_session.h"

#include <algorithm>
#include <iostream>

#include "base/clock.h"
#include "base/error.h"
#include "storedb/ini_conn.h"

namespace varenta {
namespace {

constexpr std::string_view kLoadFailed = "Falha ao tentar recuperar os dados da Varenta do banco do Olvessa";

}  // namespace

void OperatorLog::DoSaveLog(std::string_view message) {
  err_ << message << '\n';
  lines.emplace_back(message);
}

bool OperatorSession::connect(const std::string& programDir, OperatorLog& log, std::ostream& err) {
  // A refused attempt is reported on standard output, which carries only the command's answer.
  std::streambuf* const standardOutput = std::cout.rdbuf(err.rdbuf());
  struct Restore {
    std::streambuf* buffer;
    ~Restore() { std::cout.rdbuf(buffer); }
  } restore{standardOutput};
  IniConn({{db, settings, timer, systemClock(), log}, fbConn, location, connected, programDir});
  return connected && std::ranges::find(log.lines, kLoadFailed) == log.lines.end();
}

int operatorFailure(std::ostream& err, const std::exception& e) {
  err << "prjSrvVarenta: " << errorTypeName(e) << ": " << e.what() << '\n';
  return 1;
}

}  // namespace varenta
