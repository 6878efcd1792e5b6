#include "base/error.h"
#include "servicelog/log_tail.h"
#include "base/win32.h"

namespace varenta {

// Every sharing flag: the service may open the file to append while it is read here, and the file
// may be renamed or removed meanwhile.
std::optional<std::string> readLogTail(const std::string& path, std::size_t maxBytes) {
  const HANDLE opened =
      CreateFileW(widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (opened == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return std::nullopt;
    throw EInOutError(systemMessage(error));
  }
  const Handle file(opened);
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size)) throw EInOutError(systemMessage(GetLastError()));
  const auto total = static_cast<std::size_t>(size.QuadPart);
  const std::size_t from = total > maxBytes ? total - maxBytes : 0;
  LARGE_INTEGER at{};
  at.QuadPart = static_cast<LONGLONG>(from);
  if (!SetFilePointerEx(file.get(), at, nullptr, FILE_BEGIN))
    throw EInOutError(systemMessage(GetLastError()));
  std::string bytes(total - from, '\0');
  std::size_t done = 0;
  while (done < bytes.size()) {
    DWORD got = 0;
    if (!ReadFile(file.get(), bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &got, nullptr))
      throw EInOutError(systemMessage(GetLastError()));
    if (got == 0) break;  // cut short meanwhile
    done += got;
  }
  bytes.resize(done);
  return bytes;
}

}  // namespace varenta
