#include <algorithm>
#include <cstdint>
#include <mutex>
#include <set>

#include "base/win32.h"
// after windows.h, which they need
#include <sddl.h>

#include "servicelog/journal.h"
#include "servicelog/log_file_handle.h"

namespace varenta {
namespace {

[[noreturn]] void failWith(DWORD error) {
  throw EInOutError(systemMessage(error));
}

// Copies of the program writing the same file take turns by a lock on one byte far past any real end
// of the file: Windows' locks keep out whoever reads the bytes they cover, and readers of the log
// (an operator's editor, a tail) must not be kept out.
constexpr DWORD kLockOffsetHigh = 0x40000000;

OVERLAPPED offset(std::int64_t at) {
  OVERLAPPED position{};
  position.Offset = static_cast<DWORD>(at & 0xFFFFFFFF);
  position.OffsetHigh = static_cast<DWORD>(at >> 32);
  return position;
}

// One call moves at most this much; the callers loop.
DWORD chunk(std::size_t count) {
  return static_cast<DWORD>(std::min<std::size_t>(count, 1u << 30));
}

class WindowsLogFile : public LogFileHandle {
 public:
  explicit WindowsLogFile(HANDLE file) : file_(file) {}

  bool tryLock() override {
    OVERLAPPED at{};
    at.OffsetHigh = kLockOffsetHigh;
    if (LockFileEx(file_.get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at))
      return true;
    const DWORD error = GetLastError();
    if (error != ERROR_LOCK_VIOLATION && error != ERROR_IO_PENDING) failWith(error);
    return false;
  }

  std::int64_t size() override {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file_.get(), &size)) failWith(GetLastError());
    return size.QuadPart;
  }

  // A read at an offset that meets the end of the file fails with ERROR_HANDLE_EOF: none read.
  std::size_t readAt(std::int64_t at, char* into, std::size_t count) override {
    DWORD got = 0;
    OVERLAPPED position = offset(at);
    if (!ReadFile(file_.get(), into, chunk(count), &got, &position)) {
      const DWORD error = GetLastError();
      if (error != ERROR_HANDLE_EOF) failWith(error);
    }
    return got;
  }

  std::size_t writeAt(std::int64_t at, const char* from, std::size_t count) override {
    DWORD written = 0;
    OVERLAPPED position = offset(at);
    if (!WriteFile(file_.get(), from, chunk(count), &written, &position)) failWith(GetLastError());
    if (written == 0) failWith(ERROR_DISK_FULL);
    return written;
  }

  void truncate(std::int64_t end) override {
    FILE_END_OF_FILE_INFO info{};
    info.EndOfFile.QuadPart = end;
    if (!SetFileInformationByHandle(file_.get(), FileEndOfFileInfo, &info, sizeof info))
      failWith(GetLastError());
  }

  void close() override { file_.reset(); }

 private:
  Handle file_;
};

// The log holds whole rejected documents, customers' tax numbers among them: only the service's own
// account (SYSTEM) and the Administrators may read or write it, whatever the folder would hand down
// to the file (a folder made under C:\ lets every authenticated user read and change what is in it).
constexpr wchar_t kLogSecurity[] = L"D:P(A;;FA;;;SY)(A;;FA;;;BA)";

// Made once and kept for the life of the process.
PSECURITY_DESCRIPTOR logSecurity() {
  static const PSECURITY_DESCRIPTOR descriptor = [] {
    PSECURITY_DESCRIPTOR made = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kLogSecurity, SDDL_REVISION_1, &made, nullptr))
      failWith(GetLastError());
    return made;
  }();
  return descriptor;
}

// A log found with other rights (one an earlier version made with the folder's) gets the log's own,
// once in each process: the first line it writes after an upgrade. A failure is reported to the
// Event Log and never costs the line.
void restrictExistingLog(const std::wstring& path) {
  static std::mutex mutex;
  static std::set<std::wstring> restricted;
  const std::lock_guard lock(mutex);
  if (!restricted.insert(path).second) return;
  // The whole descriptor, protected as it is: nothing of the folder's comes back in.
  const DWORD error = SetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, logSecurity())
                          ? ERROR_SUCCESS
                          : GetLastError();
  if (error != ERROR_SUCCESS)
    reportWarningToJournal("Varenta.log keeps rights wider than SYSTEM's and the Administrators': " +
                           systemMessage(error));
}

}  // namespace

std::unique_ptr<LogFileHandle> openLogForAppend(const std::string& path) {
  const std::wstring wide = widen(path);
  SECURITY_ATTRIBUTES security{sizeof security, logSecurity(), FALSE};
  const HANDLE file =
      CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &security,
                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    if (GetLastError() == ERROR_ALREADY_EXISTS) restrictExistingLog(wide);
    return std::make_unique<WindowsLogFile>(file);
  }
  const DWORD error = GetLastError();
  if (error != ERROR_SHARING_VIOLATION) failWith(error);
  return nullptr;
}

// Every sharing flag: the service may open the file to append while it is read, and the file may be
// renamed or removed meanwhile.
std::unique_ptr<LogFileHandle> openLogForReading(const std::string& path) {
  const HANDLE file =
      CreateFileW(widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) return std::make_unique<WindowsLogFile>(file);
  const DWORD error = GetLastError();
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return nullptr;
  failWith(error);
}

std::string fileInUseMessage() {
  return systemMessage(ERROR_SHARING_VIOLATION);
}

}  // namespace varenta
