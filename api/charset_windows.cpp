#include <windows.h>

#include <cctype>
#include <string>

#include "api/charset.h"
#include "base/text.h"
#include "base/utf16.h"

namespace varenta {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD
constexpr UINT kUtf8 = CP_UTF8;
constexpr UINT kAscii = 20127;

// Windows names its code pages by number; the names an answer may give, as IANA registers them with
// their usual aliases (compared without case, "-" or "_"), for the character sets iconv reads on
// Linux and Windows holds as code pages.
UINT codePageOf(std::string_view charset) {
  std::string name;
  for (const char c : charset)
    if (c != '-' && c != '_') name += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  static const struct {
    const char* name;
    UINT codePage;
  } kNames[] = {
      {"utf8", kUtf8},       {"usascii", kAscii},   {"ascii", kAscii},     {"ansix3.41968", kAscii},
      {"iso88591", 28591},   {"latin1", 28591},     {"l1", 28591},         {"cp819", 28591},
      {"iso88592", 28592},   {"latin2", 28592},     {"iso88593", 28593},   {"iso88594", 28594},
      {"iso88595", 28595},   {"iso88596", 28596},   {"iso88597", 28597},   {"iso88598", 28598},
      {"iso88599", 28599},   {"latin5", 28599},     {"iso885913", 28603},  {"iso885915", 28605},
      {"latin9", 28605},     {"windows1250", 1250}, {"windows1251", 1251}, {"windows1252", 1252},
      {"windows1253", 1253}, {"windows1254", 1254}, {"windows1255", 1255}, {"windows1256", 1256},
      {"windows1257", 1257}, {"windows1258", 1258}, {"cp1250", 1250},      {"cp1251", 1251},
      {"cp1252", 1252},      {"cp1253", 1253},      {"cp1254", 1254},      {"cp1257", 1257},
      {"koi8r", 20866},      {"koi8u", 21866},      {"cp850", 850},        {"ibm850", 850},
  };
  for (const auto& entry : kNames)
    if (name == entry.name) return entry.codePage;
  return kUtf8;
}

// UTF-8 and ASCII are read here, as iconv reads them: every byte of an invalid sequence (for ASCII,
// every byte above 0x7F) becomes U+FFFD. Windows' own readers replace whole sequences and strip the
// high bit, which would give another text than the Linux build reads.
std::string readUtf8(std::string_view body, bool asciiOnly) {
  std::string out;
  out.reserve(body.size());
  for (std::size_t i = 0; i < body.size();) {
    char32_t cp;
    const std::size_t length = decodeUtf8(body, i, cp);
    if (length == 0 || (asciiOnly && cp >= 0x80)) {
      out += kReplacement;
      ++i;
    } else {
      out.append(body.substr(i, length));
      i += length;
    }
  }
  return out;
}

std::wstring toUtf16(std::string_view bytes, UINT codePage) {
  const int size = static_cast<int>(bytes.size());
  const int length = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
  if (length <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), size, wide.data(), length);
  return wide;
}

}  // namespace

std::string decodeBody(std::string_view body, std::string_view charset) {
  const UINT codePage = codePageOf(charset);
  if (codePage == kUtf8 || codePage == kAscii) return readUtf8(body, codePage == kAscii);
  // The other character sets are of one byte per character: a body the code page reads whole is
  // read at once, otherwise byte by byte, a byte the code page leaves undefined becoming U+FFFD.
  if (const std::wstring wide = toUtf16(body, codePage); !wide.empty() || body.empty()) return narrow(wide);
  std::string out;
  for (std::size_t i = 0; i < body.size(); ++i) {
    const std::wstring wide = toUtf16(body.substr(i, 1), codePage);
    out += wide.empty() ? std::string(kReplacement) : narrow(wide);
  }
  return out;
}

}  // namespace varenta
