#include <errno.h>
#include <iconv.h>

#include <memory>
#include <utility>

#include "api/charset.h"
#include "base/text.h"

namespace varenta {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// Every byte that belongs to no valid UTF-8 sequence replaced by U+FFFD. iconv's own UTF-8 reader
// lets some through (code points past U+10FFFF, as F4 90 80 80), and an answer in any character set
// must still give text the verdict and the log can take.
std::string validUtf8(std::string text) {
  if (isValidUtf8(text)) return text;
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    char32_t cp = 0;
    const std::size_t length = decodeUtf8(text, i, cp);
    if (length == 0) {
      out += kReplacement;
      ++i;
    } else {
      out.append(text, i, length);
      i += length;
    }
  }
  return out;
}

struct IconvCloser {
  void operator()(void* cd) const { iconv_close(static_cast<iconv_t>(cd)); }
};

}  // namespace

std::string decodeBody(std::string_view body, std::string_view charset) {
  const std::string from = charset.empty() ? "UTF-8" : std::string(charset);
  iconv_t cd = iconv_open("UTF-8", from.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) cd = iconv_open("UTF-8", "UTF-8");
  const std::unique_ptr<void, IconvCloser> guard(cd);

  std::string out;
  char buffer[4096];
  char* in = const_cast<char*>(body.data());
  std::size_t inLeft = body.size();
  while (inLeft > 0) {
    char* outPtr = buffer;
    std::size_t outLeft = sizeof buffer;
    const std::size_t result = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
    if (result != static_cast<std::size_t>(-1) || errno == E2BIG) continue;
    // EILSEQ: an invalid sequence; EINVAL: one cut off by the end of the body. Either way the
    // offending byte is replaced and decoding goes on after it.
    out += kReplacement;
    ++in;
    --inLeft;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  return validUtf8(std::move(out));
}

}  // namespace varenta
