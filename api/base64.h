#pragma once
// Standard Base64 (RFC 4648, with padding, on one line), for HTTP basic authentication.

#include <optional>
#include <string>
#include <string_view>

namespace varenta {

std::string base64Encode(std::string_view bytes);

// The decoded bytes, or nothing when the text is not padded Base64 of the standard alphabet.
std::optional<std::string> base64Decode(std::string_view text);

}  // namespace varenta
