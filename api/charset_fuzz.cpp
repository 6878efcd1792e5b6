// Any answer through the charset conversion: the input is a Content-Type line, a line feed and the
// body. Never a crash, and the text is always valid UTF-8; a body in UTF-8 that is valid comes out
// as it is; ISO-8859-1 gives one character per byte, of the byte's value.

#include <cstdint>
#include <string>
#include <string_view>

#include "api/charset.h"
#include "base/text.h"
#include "tests/support/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t newline = input.find('\n');
  const std::string_view contentType = input.substr(0, newline);
  const std::string_view body = newline == std::string_view::npos ? "" : input.substr(newline + 1);

  const std::string charset = varenta::charsetOf(contentType);
  const std::string text = varenta::decodeBody(body, charset);
  FUZZ_CHECK(varenta::isValidUtf8(text));

  if ((charset.empty() || varenta::asciiIEquals(charset, "utf-8")) && varenta::isValidUtf8(body))
    FUZZ_CHECK(text == body);
  if (varenta::asciiIEquals(charset, "iso-8859-1")) {
    std::size_t at = 0;
    for (const char byte : body) {
      char32_t cp = 0;
      const std::size_t length = varenta::decodeUtf8(text, at, cp);
      FUZZ_CHECK(length > 0 && cp == static_cast<unsigned char>(byte));
      at += length;
    }
    FUZZ_CHECK(at == text.size());
  }
  return 0;
}
