#pragma once
// UTF-16, the text of the Windows API, from and to the program's UTF-8 (Windows only).

#include <string>
#include <string_view>

namespace varenta {

// An invalid sequence becomes U+FFFD.
std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view utf16);

}  // namespace varenta
