#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "base/error.h"
#include "servicelog/log_file.h"

namespace varenta {
namespace {

[[noreturn]] void failWith(int error) {
  throw EInOutError(std::strerror(error));
}

// Old DOS-style writers ended text files with Ctrl-Z (0x1A); appending after it would hide the
// new lines from readers that stop there. Returns where the file really ends.
off_t endBeforeCtrlZ(int fd, off_t size) {
  constexpr off_t kTail = 128;
  const off_t from = std::max<off_t>(0, size - kTail);
  char tail[kTail];
  const ssize_t got = pread(fd, tail, static_cast<size_t>(size - from), from);
  if (got < 0) failWith(errno);
  const char* cut = std::find(tail, tail + got, '\x1A');
  return cut == tail + got ? size : from + (cut - tail);
}

// Another process's line takes a moment at most; a process that keeps the file locked (a stuck copy
// of the program, a tool holding it) must not hold the ticks and the stop for as long as it likes,
// so after this long the line fails. Its message is the one Windows gives a file in use: it tells
// the technician what is wrong, where this system's own text ("Resource temporarily unavailable")
// would not.
constexpr auto kLockWait = std::chrono::seconds(2);
constexpr auto kLockRetry = std::chrono::milliseconds(10);

void lockWithin(int fd) {
  const auto deadline = std::chrono::steady_clock::now() + kLockWait;
  while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK) failWith(errno);
    if (std::chrono::steady_clock::now() >= deadline)
      throw EInOutError("The process cannot access the file because it is being used by another process");
    std::this_thread::sleep_for(kLockRetry);
  }
}

void writeAll(int fd, const std::string& bytes, off_t at) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = pwrite(fd, bytes.data() + done, bytes.size() - done, at + static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) failWith(n < 0 ? errno : ENOSPC);
    done += static_cast<size_t>(n);
  }
}

}  // namespace

void appendToLogFile(const std::string& path, const std::string& bytes) {
  // An existing log is opened without O_CREAT: where the directory is shared with the service's
  // account (sticky and group-writable), the kernel refuses even root an O_CREAT open of a file the
  // account owns (fs.protected_regular=2, Debian's default). A new log holds whole rejected
  // documents, customers' tax numbers among them, and is readable by its owner and group only.
  int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0 && errno == ENOENT) fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0640);
  if (fd < 0) failWith(errno);
  try {
    lockWithin(fd);
    const off_t size = lseek(fd, 0, SEEK_END);
    if (size < 0) failWith(errno);
    const off_t end = endBeforeCtrlZ(fd, size);
    if (end != size && ftruncate(fd, end) != 0) failWith(errno);
    try {
      writeAll(fd, bytes, end);
    } catch (...) {
      // Take back what part of the line got in, so a full disk leaves no broken line behind.
      (void)!ftruncate(fd, end);
      throw;
    }
  } catch (...) {
    close(fd);
    throw;
  }
  if (close(fd) != 0) failWith(errno);
}

}  // namespace varenta
