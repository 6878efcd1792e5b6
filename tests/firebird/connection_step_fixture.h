#pragma once
// What the service keeps between connection steps, for tests of IniConn.

#include <fstream>
#include <string>

#include "base/paths.h"
#include "storedb/ini_conn.h"
#include "tests/support/manual_clock.h"
#include "tests/support/recording_log.h"

namespace varenta {

struct ConnectionStepFixture {
  StoreDb db;
  VarentaSettings settings;
  Timer timer;
  ManualClock clock{DateTime::fromParts(2024, 6, 20, 9)};
  RecordingLog log;
  TFBConn fbConn;
  DatabaseLocation location;
  bool dbConnected = false;

  void iniConn(const std::string& programDir) {
    IniConn({{db, settings, timer, clock, log}, fbConn, location, dbConnected, programDir});
  }
};

// Writes the bytes `text` as Tolvane.ini into `dir` (UTF-8).
inline void writeIni(const std::string& dir, const std::string& text) {
  std::ofstream(utf8Path(dir + "Tolvane.ini"), std::ios::binary) << text;
}

}  // namespace varenta
