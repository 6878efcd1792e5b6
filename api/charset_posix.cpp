#include <errno.h>
#include <iconv.h>

#include <memory>

#include "api/charset.h"

namespace varenta {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

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
  return out;
}

}  // namespace varenta
