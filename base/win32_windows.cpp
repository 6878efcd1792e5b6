#include "base/win32.h"

namespace varenta {

std::string systemMessage(DWORD code) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text(buffer, length);
  LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
    text.pop_back();
  if (text.empty()) text = L"System error";
  return narrow(text) + " (" + std::to_string(code) + ")";
}

bool writeConsole(DWORD which, std::string_view text) {
  const HANDLE console = GetStdHandle(which);
  DWORD mode = 0;
  if (console == INVALID_HANDLE_VALUE || console == nullptr || !GetConsoleMode(console, &mode)) return false;
  const std::wstring wide = widen(text);
  DWORD written = 0;
  WriteConsoleW(console, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
  return true;
}

void throwSystemError(std::string_view what, DWORD code) {
  throw EOSError(std::string(what) + ": " + systemMessage(code));
}

}  // namespace varenta
