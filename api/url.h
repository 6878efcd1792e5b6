#pragma once
// How a request's target is made sendable from the text the client concatenated.

#include <string>
#include <string_view>

namespace varenta {

// Removes blanks around the text, puts "http://" in front when it names no scheme, removes one
// trailing "/" and percent-encodes every byte that may not appear in a URL (an existing "%XX" and
// the reserved characters stay as they are).
std::string normaliseUrl(std::string_view url);

}  // namespace varenta
