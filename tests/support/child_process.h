#pragma once
// ChildProcess: a program a test runs (the real prjSrvVarenta, mostly), with its standard output and
// error in files, on either platform. The stop is the platform's own: SIGTERM on Linux; on Windows a
// Ctrl+C in a console of the test's own, which the program, run with /CONSOLE, takes as a stop
// (the test process itself lets the event pass).

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace varenta {

class ChildProcess {
 public:
  // Starts `program` with `arguments`; its environment is the test's without any VARENTA_ variable,
  // plus `variables` ("NAME=value"). Standard output and error go to the files named, made anew.
  // Throws std::runtime_error.
  ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
               const std::vector<std::string>& variables, const std::string& outFile,
               const std::string& errFile);
  ~ChildProcess();  // kills one still running
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool running();
  // Waits for the end; the exit status (128 + the signal that ended it on Linux).
  int wait();
  // Asks for a stop and waits for the end, killing it after `patience`; the exit status.
  int stop(std::chrono::seconds patience = std::chrono::seconds(30));
  // Ends it at once (SIGKILL, TerminateProcess) and waits for the end.
  void kill();
  // The process's id (on Linux, the one /proc knows it by).
  std::int64_t id() const { return id_; }

 private:
  std::int64_t id_ = 0;
  std::intptr_t handle_ = 0;  // Windows: the process handle
  bool ended_ = false;
  int status_ = 0;
};

// What a program wrote to the file `path` as text: its lines end in LF (a Windows program's standard
// output, in text mode, ends them CR LF, as any console program there does).
std::string programText(const std::string& path);

// Copies the program `binary` into `directory` (ending in a separator) under its own name, with, on
// Windows, the Firebird client beside the running test (the wine bridge) beside it; the copy's path.
std::string copyProgram(const std::string& binary, const std::string& directory);

}  // namespace varenta
