#pragma once
// UTF-16 at the border of the Windows API, which takes and gives it; inside, text is UTF-8.

#include <string>
#include <string_view>

namespace varenta {

// UTF-16 from UTF-8, and back; an invalid sequence becomes U+FFFD.
std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view utf16);

}  // namespace varenta
