#pragma once
// The real program prjSrvVarenta run end to end: a copy of it in a directory of its own with a
// Tolvane.ini naming the store database, started with the time scale and probe hosts of a test or
// of the demo, stopped as its platform stops it (SIGTERM; on Windows, where it runs with /CONSOLE, a
// Ctrl+C); and the sync marks read back from the store database.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/datetime.h"
#include "storedb/connection.h"
#include "tests/support/child_process.h"

namespace varenta::e2e {

// The length of the time stamp a log line starts with ("11/12/2026 09:28:38 - "), 0 when it starts
// with none.
std::size_t timeStampLength(std::string_view line);

// The messages of a log file in UTF-8 without their time stamps; a message written with CR LF
// inside keeps them. A missing file has none.
std::vector<std::string> logMessages(const std::string& path);

class ServiceRun {
 public:
  // Copies `binary` into `directory` (which must exist; on Windows with the Firebird client beside the
  // test) and writes a Tolvane.ini there naming `server` (a host, or "host/port") and `databasePath`.
  ServiceRun(const std::string& binary, const std::string& directory, const std::string& server,
             const std::string& databasePath);
  ~ServiceRun();  // kills a program still running
  ServiceRun(const ServiceRun&) = delete;
  ServiceRun& operator=(const ServiceRun&) = delete;

  // Starts the program with VARENTA_TIME_SCALE and VARENTA_PROBE_HOSTS set (and no other VARENTA_
  // variable); its standard output and error go to files beside it. Throws std::runtime_error.
  void start(const std::string& timeScale, const std::string& probeHosts);
  bool running();
  // Stops it and waits for the end (killing it after `patienceSeconds`); the exit status, or on
  // Linux 128 + the signal that ended it.
  int stop(int patienceSeconds = 30);
  // Ends the program at once, as a crash or a power cut would, and waits for it.
  void kill();
  std::int64_t pid() const { return process_ ? process_->id() : 0; }

  const std::string& directory() const { return dir_; }
  std::string logPath() const { return dir_ + "Varenta.log"; }
  std::vector<std::string> messages() const { return logMessages(logPath()); }
  std::string standardError() const;
  // The messages the log could not take, as the program wrote them to standard error.
  std::vector<std::string> lostMessages() const;

 private:
  std::string dir_;
  std::string program_;
  std::unique_ptr<ChildProcess> process_;
  int status_ = 0;
};

struct Marks {
  int ultVenda = 0;
  int ultCancelamento = 0;
  DateTime ultCaixa;  // zero when NULL
  DateTime verificaPromo;
  DateTime verificaReenvio;
  DateTime dataInicio;
};

// The company row's marks as they stand in the database. Throws EDatabaseError.
Marks readMarks(Connection& connection);

}  // namespace varenta::e2e
