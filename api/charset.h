#pragma once
// How an answer's body becomes text: by the character set its Content-Type names.

#include <string>
#include <string_view>

namespace varenta {

// The value of the "charset" parameter of a Content-Type header, unquoted; empty when there is none.
std::string charsetOf(std::string_view contentType);

// UTF-8 text from the body's bytes in `charset` (UTF-8 when empty or unknown to the host). A byte
// sequence that is invalid in that character set becomes U+FFFD, so the text is always valid UTF-8.
std::string decodeBody(std::string_view body, std::string_view charset);

}  // namespace varenta
