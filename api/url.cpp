#include "api/url.h"

namespace varenta {
namespace {

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

bool isAlpha(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// RFC 3986: scheme = ALPHA *( ALPHA / DIGIT / "+" / "-" / "." ), followed here by "://".
bool hasScheme(std::string_view url) {
  if (url.empty() || !isAlpha(url[0])) return false;
  std::size_t i = 1;
  while (i < url.size() && (isAlpha(url[i]) || (url[i] >= '0' && url[i] <= '9') || url[i] == '+' ||
                            url[i] == '-' || url[i] == '.')) {
    ++i;
  }
  return url.substr(i, 3) == "://";
}

// Unreserved and reserved characters of RFC 3986, and "%" so that encoded text is not encoded twice.
bool mayAppear(unsigned char c) {
  if (isAlpha(static_cast<char>(c)) || (c >= '0' && c <= '9')) return true;
  return std::string_view("-._~:/?#[]@!$&'()*+,;=%").find(static_cast<char>(c)) != std::string_view::npos;
}

}  // namespace

std::string normaliseUrl(std::string_view url) {
  while (!url.empty() && isBlank(url.front())) url.remove_prefix(1);
  while (!url.empty() && isBlank(url.back())) url.remove_suffix(1);
  std::string out = hasScheme(url) ? "" : "http://";
  if (!url.empty() && url.back() == '/') url.remove_suffix(1);
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (const char c : url) {
    const auto byte = static_cast<unsigned char>(c);
    if (mayAppear(byte)) {
      out += c;
    } else {
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 0xF];
    }
  }
  return out;
}

}  // namespace varenta
