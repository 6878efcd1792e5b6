#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/error.h"
#include "servicelog/log_file_handle.h"

namespace varenta {
namespace {

[[noreturn]] void failWith(int error) {
  throw EInOutError(std::strerror(error));
}

class PosixLogFile : public LogFileHandle {
 public:
  explicit PosixLogFile(int fd) : fd_(fd) {}
  ~PosixLogFile() override {
    if (fd_ >= 0) ::close(fd_);
  }

  // An advisory lock: a reader that takes none is never in its way.
  bool tryLock() override {
    while (flock(fd_, LOCK_EX | LOCK_NB) != 0) {
      if (errno == EWOULDBLOCK) return false;
      if (errno != EINTR) failWith(errno);
    }
    return true;
  }

  std::int64_t size() override {
    struct stat about {};
    if (fstat(fd_, &about) != 0) failWith(errno);
    return about.st_size;
  }

  std::size_t readAt(std::int64_t at, char* into, std::size_t count) override {
    for (;;) {
      const ssize_t n = pread(fd_, into, count, static_cast<off_t>(at));
      if (n >= 0) return static_cast<std::size_t>(n);
      if (errno != EINTR) failWith(errno);
    }
  }

  std::size_t writeAt(std::int64_t at, const char* from, std::size_t count) override {
    for (;;) {
      const ssize_t n = pwrite(fd_, from, count, static_cast<off_t>(at));
      if (n > 0) return static_cast<std::size_t>(n);
      if (n == 0) failWith(ENOSPC);
      if (errno != EINTR) failWith(errno);
    }
  }

  void truncate(std::int64_t end) override {
    if (ftruncate(fd_, static_cast<off_t>(end)) != 0) failWith(errno);
  }

  void close() override {
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) failWith(errno);
  }

 private:
  int fd_;
};

}  // namespace

std::unique_ptr<LogFileHandle> openLogForAppend(const std::string& path) {
  // An existing log is opened without O_CREAT: where the directory is shared with the service's
  // account (sticky and group-writable), the kernel refuses even root an O_CREAT open of a file the
  // account owns (fs.protected_regular=2, Debian's default). A new log holds whole rejected
  // documents, customers' tax numbers among them, and is readable by its owner and group only.
  int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0 && errno == ENOENT) fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0640);
  if (fd < 0) failWith(errno);
  return std::make_unique<PosixLogFile>(fd);
}

std::unique_ptr<LogFileHandle> openLogForReading(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return nullptr;
    failWith(errno);
  }
  return std::make_unique<PosixLogFile>(fd);
}

// The text Windows gives a file in use: it tells the technician what is wrong, where this system's
// own text for a lock that is not free ("Resource temporarily unavailable") would not.
std::string fileInUseMessage() {
  return "The process cannot access the file because it is being used by another process";
}

}  // namespace varenta
