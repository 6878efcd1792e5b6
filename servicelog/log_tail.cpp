#include "servicelog/log_tail.h"

#include <cstdint>
#include <memory>

#include "servicelog/log_file_handle.h"

namespace varenta {

// The service takes its lock for each line it writes; a reader that takes none is never in its way.
std::optional<std::string> readLogTail(const std::string& path, std::size_t maxBytes) {
  const std::unique_ptr<LogFileHandle> file = openLogForReading(path);
  if (!file) return std::nullopt;
  const auto size = static_cast<std::size_t>(file->size());
  const std::size_t from = size > maxBytes ? size - maxBytes : 0;
  std::string bytes(size - from, '\0');
  std::size_t done = 0;
  while (done < bytes.size()) {
    const std::size_t n =
        file->readAt(static_cast<std::int64_t>(from + done), bytes.data() + done, bytes.size() - done);
    if (n == 0) break;  // cut short meanwhile
    done += n;
  }
  bytes.resize(done);
  return bytes;
}

}  // namespace varenta
