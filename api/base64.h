#pragma once
// Standard Base64 (RFC 4648, with padding, on one line), for HTTP basic authentication.

#include <string>
#include <string_view>

namespace varenta {

std::string base64Encode(std::string_view bytes);

}  // namespace varenta
