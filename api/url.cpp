#include "api/url.h"

namespace varenta {
namespace {

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

bool isAlpha(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// The length of the scheme that begins `url`, RFC 3986's ALPHA *( ALPHA / DIGIT / "+" / "-" / "." ),
// without its ":"; 0 when there is none.
std::size_t schemeLength(std::string_view url) {
  if (url.empty() || !isAlpha(url[0])) return 0;
  std::size_t i = 1;
  while (i < url.size() && (isAlpha(url[i]) || (url[i] >= '0' && url[i] <= '9') || url[i] == '+' ||
                            url[i] == '-' || url[i] == '.')) {
    ++i;
  }
  return i < url.size() && url[i] == ':' ? i : 0;
}

// A scheme followed by "://".
bool hasScheme(std::string_view url) {
  const std::size_t length = schemeLength(url);
  return length > 0 && url.substr(length, 3) == "://";
}

// RFC 3986, 5.2.4.
std::string removeDotSegments(std::string_view path) {
  std::string out;
  while (!path.empty()) {
    if (path.starts_with("../")) {
      path.remove_prefix(3);
    } else if (path.starts_with("./")) {
      path.remove_prefix(2);
    } else if (path.starts_with("/./")) {
      path.remove_prefix(2);
    } else if (path == "/.") {
      path = "/";
    } else if (path.starts_with("/../") || path == "/..") {
      path = path.size() == 3 ? std::string_view("/") : path.substr(3);
      const std::size_t last = out.rfind('/');
      out.erase(last == std::string::npos ? 0 : last);
    } else if (path == "." || path == "..") {
      path = {};
    } else {
      const std::size_t next = path.find('/', 1);
      out += path.substr(0, next);
      path = next == std::string_view::npos ? std::string_view() : path.substr(next);
    }
  }
  return out;
}

// "path?query" with the dot segments of the path removed.
std::string withCleanPath(std::string_view pathAndQuery) {
  const std::size_t query = pathAndQuery.find('?');
  std::string out = removeDotSegments(pathAndQuery.substr(0, query));
  if (query != std::string_view::npos) out += pathAndQuery.substr(query);
  return out;
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

std::string resolveReference(std::string_view base, std::string_view reference) {
  reference = reference.substr(0, reference.find('#'));
  base = base.substr(0, base.find('#'));
  const std::size_t referenceScheme = schemeLength(reference);
  if (referenceScheme > 0) {
    const std::size_t rest = reference.find_first_of("/?", referenceScheme + 3);
    if (reference.substr(referenceScheme, 3) != "://" || rest == std::string_view::npos)
      return std::string(reference);
    return std::string(reference.substr(0, rest)) + withCleanPath(reference.substr(rest));
  }
  const std::size_t scheme = schemeLength(base);
  if (reference.starts_with("//")) return std::string(base.substr(0, scheme + 1)) + std::string(reference);

  // The base's "scheme://authority", and its path and query after it.
  const std::size_t authorityEnd = base.find_first_of("/?", scheme > 0 ? scheme + 3 : 0);
  const std::string_view origin = base.substr(0, authorityEnd);
  const std::string_view basePathAndQuery =
      authorityEnd == std::string_view::npos ? std::string_view() : base.substr(authorityEnd);
  const std::string_view basePath = basePathAndQuery.substr(0, basePathAndQuery.find('?'));
  if (reference.empty()) return std::string(base);
  if (reference.front() == '?') return std::string(origin) + std::string(basePath) + std::string(reference);
  if (reference.front() == '/') return std::string(origin) + withCleanPath(reference);
  // Beside the base's path: its last segment gives way to the reference.
  const std::size_t lastSlash = basePath.rfind('/');
  const std::string directory =
      lastSlash == std::string_view::npos ? "/" : std::string(basePath.substr(0, lastSlash + 1));
  return std::string(origin) + withCleanPath(directory + std::string(reference));
}

}  // namespace varenta
