// The log file on Windows (under wine in the tests): a reader may keep it open while lines go in, a
// holder of the file makes a line fail after the bounded wait instead of holding the service, and a
// Ctrl-Z that ends the file is dropped, as on Linux.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "base/error.h"
#include "base/win32.h"
// after windows.h, which they need
#include <aclapi.h>
#include <sddl.h>

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

// The file's access list in SDDL: "D:P(A;;FA;;;SY)" is SYSTEM's full control, protected from
// what the folder hands down.
std::wstring accessList(const std::string& path) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetNamedSecurityInfoW(widen(path).c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                            nullptr, nullptr, &descriptor) != ERROR_SUCCESS)
    return L"(unreadable)";
  wchar_t* text = nullptr;
  std::wstring list = L"(unreadable)";
  if (ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1,
                                                           DACL_SECURITY_INFORMATION, &text, nullptr))
    list = text;
  LocalFree(text);
  LocalFree(descriptor);
  return list;
}

// Whether the access list gives SYSTEM full control and nothing to everyone, the users or the
// authenticated users. (Windows keeps the list as given, "D:P(A;;FA;;;SY)(A;;FA;;;BA)"; wine keeps
// only the file's Unix mode and reads a list back from it, in which the owner stands for the
// Administrators.)
bool ownOnly(const std::wstring& list) {
  return list.find(L"(A;;FA;;;SY)") != std::wstring::npos && list.find(L";;;WD)") == std::wstring::npos &&
         list.find(L";;;BU)") == std::wstring::npos && list.find(L";;;AU)") == std::wstring::npos;
}

// The log holds customers' tax numbers: SYSTEM and the Administrators alone may read it, whether the
// service makes it or finds it with wider rights (an earlier version's, made with the folder's).
TEST_F(LogFileWindows, OnlySystemAndTheAdministratorsMayReadOrWriteTheLog) {
  log.DoSaveLog("novo");
  EXPECT_TRUE(ownOnly(accessList(log.path()))) << narrow(accessList(log.path()));

  const TempDir upgraded;
  const std::string found = upgraded.dir() + "Varenta.log";
  std::ofstream(found, std::ios::binary) << "05/03/2024 14:07:09 - antigo\r\n";
  PSECURITY_DESCRIPTOR everyone = nullptr;
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(A;;FA;;;SY)(A;;FA;;;BA)(A;;FR;;;WD)",
                                                                   SDDL_REVISION_1, &everyone, nullptr));
  ASSERT_TRUE(SetFileSecurityW(widen(found).c_str(), DACL_SECURITY_INFORMATION, everyone));
  LocalFree(everyone);
  ASSERT_FALSE(ownOnly(accessList(found))) << narrow(accessList(found));
  LogFile(clock, upgraded.dir(), RegionalSettings{}).DoSaveLog("novo");
  EXPECT_TRUE(ownOnly(accessList(found))) << narrow(accessList(found));
  EXPECT_EQ(readBytes(found), "05/03/2024 14:07:09 - antigo\r\n05/03/2024 14:07:09 - novo\r\n");
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
