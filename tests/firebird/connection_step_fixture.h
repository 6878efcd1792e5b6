#pragma once
// What the service keeps between connection steps, for tests of IniConn.

#include <string>

#include "storedb/ini_conn.h"
#include "tests/support/manual_clock.h"
#include "tests/support/recording_log.h"
#include "tests/support/tolvane_ini_files.h"

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

}  // namespace varenta
