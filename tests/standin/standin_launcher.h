#pragma once
// StandIn: runs the cloud stand-in program (varenta-standin) for one test, on a free loopback port,
// with a fresh data directory and journal of its own; it is stopped and its files removed when
// the object goes. Tests of every subsystem that talks to the cloud use it.

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/request_journal.h"

namespace varenta {

struct StandInOptions {
  std::string empresa = "12";
  std::string local = "1";
  std::string usuario = "varenta";
  std::string senha = "varenta";
  std::filesystem::path certFile;  // HTTPS when given, with its key
  std::filesystem::path keyFile;
};

// How the next requests are answered (see tools/cloud_standin.h).
struct StandInForcing {
  int status = 0;
  std::string body{};
  std::string location{};
  int delayMs = 0;
  bool close = false;
  int times = 0;  // 0: until reset()
};

class StandIn {
 public:
  // Starts the program and waits until it listens; throws std::runtime_error when it does not.
  explicit StandIn(StandInOptions options = {});
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

  StandInOptions options_;
  std::filesystem::path dir_;
  pid_t pid_ = -1;
  int port_ = 0;
};

// The value of a journaled header, by case-insensitive name; nothing when it was not sent.
std::optional<std::string> headerOf(const JournalEntry& entry, std::string_view name);

}  // namespace varenta
