#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/error.h"
#include "servicelog/log_tail.h"

namespace varenta {

// The service takes an advisory lock on the file for each line it writes; a reader that takes none
// is never in its way.
std::optional<std::string> readLogTail(const std::string& path, std::size_t maxBytes) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return std::nullopt;
    throw EInOutError(std::strerror(errno));
  }
  struct Closer {
    int fd;
    ~Closer() { close(fd); }
  } closer{fd};
  struct stat about {};
  if (fstat(fd, &about) != 0) throw EInOutError(std::strerror(errno));
  const auto size = static_cast<std::size_t>(about.st_size);
  const std::size_t from = size > maxBytes ? size - maxBytes : 0;
  std::string bytes(size - from, '\0');
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = pread(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(from + done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw EInOutError(std::strerror(errno));
    if (n == 0) break;  // cut short meanwhile
    done += static_cast<std::size_t>(n);
  }
  bytes.resize(done);
  return bytes;
}

}  // namespace varenta
