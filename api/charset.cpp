#include "api/charset.h"

#include <errno.h>
#include <iconv.h>

#include <memory>
#include <utility>

#include "base/text.h"

namespace varenta {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

bool isSpace(char c) {
  return c == ' ' || c == '\t';
}

std::string_view trim(std::string_view text) {
  while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
  return text;
}

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

std::string charsetOf(std::string_view contentType) {
  std::size_t at = contentType.find(';');
  while (at != std::string_view::npos) {
    const std::size_t next = contentType.find(';', at + 1);
    const std::string_view parameter =
        contentType.substr(at + 1, next == std::string_view::npos ? next : next - at - 1);
    const std::size_t equals = parameter.find('=');
    if (equals != std::string_view::npos && asciiIEquals(trim(parameter.substr(0, equals)), "charset")) {
      std::string_view value = trim(parameter.substr(equals + 1));
      if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        value = value.substr(1, value.size() - 2);
      return std::string(value);
    }
    at = next;
  }
  return {};
}

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
