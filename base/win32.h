#pragma once
// What the code that calls Windows shares (the service log, the service host): the system's own
// text for an error code, and handles that close themselves (UTF-16 at the API's border is
// base/utf16.h).

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <memory>
#include <string>
#include <string_view>

#include "base/error.h"
#include "base/utf16.h"

namespace varenta {

// A call into the system failed; the message ends with the system's text and its code.
VARENTA_ERROR_TYPE(EOSError);

// "Access is denied. (5)", in the system's language.
std::string systemMessage(DWORD code);

// Throws EOSError "<what>: <system text> (<code>)".
[[noreturn]] void throwSystemError(std::string_view what, DWORD code = GetLastError());

// Writes UTF-8 `text` to the console behind the standard handle `which` (STD_OUTPUT_HANDLE,
// STD_ERROR_HANDLE) as UTF-16, so that "próxima" shows as written whatever the console's code page
// (an OEM one, 850 on the stores' machines). False, writing nothing, when that handle is no console
// (a file or a pipe, which take the UTF-8 bytes themselves).
bool writeConsole(DWORD which, std::string_view text);

struct ServiceHandleCloser {
  void operator()(SC_HANDLE handle) const { CloseServiceHandle(handle); }
};
using ServiceHandle = std::unique_ptr<std::remove_pointer_t<SC_HANDLE>, ServiceHandleCloser>;

struct HandleCloser {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using Handle = std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleCloser>;

struct KeyCloser {
  void operator()(HKEY key) const { RegCloseKey(key); }
};
using Key = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

}  // namespace varenta
