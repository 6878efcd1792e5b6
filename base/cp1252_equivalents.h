#pragma once
// Close equivalents in Windows-1252 for characters the code page cannot hold ("Ł" is "L", "→" is
// "->"): one table of ours, so that the log and the store database get the same bytes from every
// platform.

#include <string_view>

namespace varenta {

// The equivalent of `cp` as UTF-8 text made of characters the code page holds; empty when there is
// none (the character then becomes "?").
std::string_view cp1252Equivalent(char32_t cp);

}  // namespace varenta
