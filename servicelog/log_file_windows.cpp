#include <algorithm>
#include <chrono>
#include <cstdint>
#include <thread>

#include "servicelog/log_file.h"
#include "base/win32.h"

namespace varenta {
namespace {

[[noreturn]] void failWith(DWORD error) {
  throw EInOutError(systemMessage(error));
}

// Another process's line takes a moment at most; a process that keeps the file locked or open
// without sharing it (a stuck copy of the program, a tool holding it) must not hold the ticks and the
// stop for as long as it likes, so after this long the line fails, as on Linux.
constexpr auto kLockWait = std::chrono::seconds(2);
constexpr auto kLockRetry = std::chrono::milliseconds(10);

// Copies of the program writing the same file take turns by a lock on one byte far past any real end
// of the file: Windows' locks keep out whoever reads the bytes they cover, and readers of the log
// (an operator's editor, a tail) must not be kept out.
constexpr DWORD kLockOffsetHigh = 0x40000000;

bool waitedTooLong(std::chrono::steady_clock::time_point deadline) {
  if (std::chrono::steady_clock::now() >= deadline) return true;
  std::this_thread::sleep_for(kLockRetry);
  return false;
}

Handle openShared(const std::wstring& path, std::chrono::steady_clock::time_point deadline) {
  for (;;) {
    const HANDLE file =
        CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) return Handle(file);
    const DWORD error = GetLastError();
    if (error != ERROR_SHARING_VIOLATION || waitedTooLong(deadline)) failWith(error);
  }
}

void lockWithin(HANDLE file, std::chrono::steady_clock::time_point deadline) {
  for (;;) {
    OVERLAPPED at{};
    at.OffsetHigh = kLockOffsetHigh;
    if (LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) return;
    const DWORD error = GetLastError();
    if (error != ERROR_LOCK_VIOLATION && error != ERROR_IO_PENDING) failWith(error);
    if (waitedTooLong(deadline)) failWith(ERROR_SHARING_VIOLATION);
  }
}

OVERLAPPED offset(std::int64_t at) {
  OVERLAPPED position{};
  position.Offset = static_cast<DWORD>(at & 0xFFFFFFFF);
  position.OffsetHigh = static_cast<DWORD>(at >> 32);
  return position;
}

// Old DOS-style writers ended text files with Ctrl-Z (0x1A); appending after it would hide the
// new lines from readers that stop there. Returns where the file really ends.
std::int64_t endBeforeCtrlZ(HANDLE file, std::int64_t size) {
  constexpr std::int64_t kTail = 128;
  const std::int64_t from = std::max<std::int64_t>(0, size - kTail);
  char tail[kTail];
  DWORD got = 0;
  OVERLAPPED position = offset(from);
  if (size > from && !ReadFile(file, tail, static_cast<DWORD>(size - from), &got, &position))
    failWith(GetLastError());
  const char* cut = std::find(tail, tail + got, '\x1A');
  return cut == tail + got ? size : from + (cut - tail);
}

bool truncateAt(HANDLE file, std::int64_t end) {
  FILE_END_OF_FILE_INFO info{};
  info.EndOfFile.QuadPart = end;
  return SetFileInformationByHandle(file, FileEndOfFileInfo, &info, sizeof info);
}

void writeAll(HANDLE file, const std::string& bytes, std::int64_t at) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    DWORD written = 0;
    OVERLAPPED position = offset(at + static_cast<std::int64_t>(done));
    if (!WriteFile(file, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &written, &position))
      failWith(GetLastError());
    if (written == 0) failWith(ERROR_DISK_FULL);
    done += written;
  }
}

}  // namespace

void appendToLogFile(const std::string& path, const std::string& bytes) {
  const auto deadline = std::chrono::steady_clock::now() + kLockWait;
  const Handle file = openShared(widen(path), deadline);
  lockWithin(file.get(), deadline);  // until the handle closes
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size)) failWith(GetLastError());
  const std::int64_t end = endBeforeCtrlZ(file.get(), size.QuadPart);
  if (end != size.QuadPart && !truncateAt(file.get(), end)) failWith(GetLastError());
  try {
    writeAll(file.get(), bytes, end);
  } catch (...) {
    // Take back what part of the line got in, so a full disk leaves no broken line behind.
    truncateAt(file.get(), end);
    throw;
  }
}

}  // namespace varenta
