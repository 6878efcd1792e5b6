// The log file on Windows (under wine in the tests): a reader may keep it open while lines go in, a
// holder of the file makes a line fail after the bounded wait instead of holding the service, and a
// Ctrl-Z that ends the file is dropped, as on Linux.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "base/error.h"
#include "base/win32.h"
#include "servicelog/log_file.h"
#include "tests/support/manual_clock.h"
#include "tests/support/temp_dir.h"

namespace varenta {
namespace {

std::string readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

class LogFileWindows : public ::testing::Test {
 protected:
  TempDir temp;
  ManualClock clock{DateTime::fromParts(2024, 3, 5, 14, 7, 9)};
  LogFile log{clock, temp.dir(), RegionalSettings{}};

  Handle open(DWORD share) const {
    return Handle(CreateFileW(widen(log.path()).c_str(), GENERIC_READ | GENERIC_WRITE, share, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  }
};

TEST_F(LogFileWindows, AReaderKeepsTheFileOpenWhileLinesGoIn) {
  log.DoSaveLog("antes");
  // As an editor or a tail opens it.
  const Handle reader(CreateFileW(widen(log.path()).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_NE(reader.get(), INVALID_HANDLE_VALUE);
  log.DoSaveLog("durante");
  char bytes[256];
  DWORD got = 0;
  ASSERT_TRUE(ReadFile(reader.get(), bytes, sizeof bytes, &got, nullptr));
  EXPECT_EQ(std::string(bytes, got), "05/03/2024 14:07:09 - antes\r\n05/03/2024 14:07:09 - durante\r\n");
}

TEST_F(LogFileWindows, AHolderOfTheFileFailsTheLineAfterTheWaitAndTheNextLineGoesIn) {
  log.DoSaveLog("antes");
  const struct {
    const char* name;
    DWORD share;
    bool lockAll;
  } holders[] = {
      {"another copy of the program, holding the file's locks", FILE_SHARE_READ | FILE_SHARE_WRITE, true},
      {"a program that opened the file for itself alone", 0, false},
  };
  for (const auto& h : holders) {
    SCOPED_TRACE(h.name);
    {
      const Handle holder = open(h.share);
      ASSERT_NE(holder.get(), INVALID_HANDLE_VALUE);
      if (h.lockAll) {
        OVERLAPPED from{};
        ASSERT_TRUE(LockFileEx(holder.get(), LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &from));
      }
      try {
        log.DoSaveLog("perdida");
        ADD_FAILURE() << "no error";
      } catch (const EInOutError& e) {
        EXPECT_NE(std::string(e.what()).find("(32)"), std::string::npos) << e.what();  // a sharing violation
      }
    }
    log.DoSaveLog("depois");
  }
  EXPECT_EQ(
      readBytes(log.path()),
      "05/03/2024 14:07:09 - antes\r\n05/03/2024 14:07:09 - depois\r\n05/03/2024 14:07:09 - depois\r\n");
}

TEST_F(LogFileWindows, CutsAtCtrlZOnlyWithinTheLast128Bytes) {
  const std::string farOff(200, 'x');
  const struct {
    std::string before;
    std::string kept;
  } cases[] = {{"old line\r\n\x1A\x1A junk", "old line\r\n"},
               {"\x1A" + farOff, "\x1A" + farOff},
               {farOff + "\x1A" + "tail", farOff}};
  for (const auto& c : cases) {
    std::ofstream(log.path(), std::ios::binary | std::ios::trunc) << c.before;
    log.DoSaveLog("novo");
    EXPECT_EQ(readBytes(log.path()), c.kept + "05/03/2024 14:07:09 - novo\r\n") << c.before;
  }
}

}  // namespace
}  // namespace varenta
