#pragma once
// StandIn: runs the cloud stand-in program (varenta-standin) for one test, on a free loopback port,
// with a fresh data directory and journal of its own; it is stopped and its files removed when
// the object goes. Tests of every subsystem that talks to the cloud use it. The stand-in is a Linux
// program: the Windows tests run under wine and start it through wine
// (standin_launcher_windows.cpp).

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/temp_dir.h"
#include "tools/request_journal.h"
#include "tools/standin_config.h"

namespace varenta {

class StandIn {
 public:
  // Starts the program for the company, store, credentials and certificate of `config` (its data
  // directory and journal are the launcher's own) and waits until it listens; throws
  // std::runtime_error when it does not.
  explicit StandIn(StandInConfig config = {});
  ~StandIn();
  StandIn(const StandIn&) = delete;
  StandIn& operator=(const StandIn&) = delete;

  int port() const { return port_; }
  std::string baseUrl() const;  // "http://127.0.0.1:<port>" (https with a certificate)

  // Writes one of the list files the stand-in serves (names in tools/cloud_standin.h).
  void writeDataFile(const std::string& name, std::string_view content) const;
  std::vector<JournalEntry> journal() const;

  void force(const StandInForcing& forcing) const;
  void reset() const;

 private:
  void control(const std::string& path, const std::string& body) const;

  struct Program;  // the running program, as the platform knows it

  StandInConfig config_;
  TempDir temp_{"varenta-standin"};  // the data directory, journal and port file, gone with the object
  std::filesystem::path dir_{temp_.path()};
  std::unique_ptr<Program> program_;
  int port_ = 0;
};

// The value of a journaled header, by case-insensitive name; nothing when it was not sent.
std::optional<std::string> headerOf(const JournalEntry& entry, std::string_view name);

}  // namespace varenta
