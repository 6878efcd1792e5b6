#pragma once
// What the WinHTTP transport and the probe share on Windows: ownership of WinHTTP's handles, and the
// UTF-16 its calls take.

#include <windows.h>
#include <winhttp.h>

#include <memory>

#include "base/utf16.h"

namespace varenta {

struct WinHttpCloser {
  void operator()(void* handle) const { WinHttpCloseHandle(handle); }
};

// A session, connection or request handle, closed when it goes (a request before its connection,
// a connection before its session, when they are declared in that order).
using WinHttpHandle = std::unique_ptr<void, WinHttpCloser>;

}  // namespace varenta
