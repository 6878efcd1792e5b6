#pragma once
// How a request's target is made sendable from the text the client concatenated.

#include <string>
#include <string_view>

namespace varenta {

// Removes blanks around the text, puts "http://" in front when it names no scheme, removes one
// trailing "/" and percent-encodes every byte that may not appear in a URL (an existing "%XX" and
// the reserved characters stay as they are).
std::string normaliseUrl(std::string_view url);

// The absolute URL a reference (a redirect's Location) names from the URL `base` it was answered
// on, as RFC 3986 resolves it: an absolute URL as it is, "//host/x" with the base's scheme, "/x"
// on the base's host, "x" and "../x" beside the base's path, "?q" on the base's path; dot
// segments are removed and no fragment is kept.
std::string resolveReference(std::string_view base, std::string_view reference);

}  // namespace varenta
