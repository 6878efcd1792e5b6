#pragma once
// Reading the end of Varenta.log while the service may be writing it. The file is opened for
// reading only, shared with every writer, and never locked, so the service's next line is not held
// up and a rename (a log rotation) is not refused.

#include <cstddef>
#include <optional>
#include <string>

namespace varenta {

// The file's last `maxBytes` bytes (all of it when smaller), as they are; nothing when there is no
// such file. Throws EInOutError with the system's text when it exists and cannot be read.
std::optional<std::string> readLogTail(const std::string& path, std::size_t maxBytes);

}  // namespace varenta
