#include "api/charset.h"

#include "base/text.h"

namespace varenta {
namespace {

bool isSpace(char c) {
  return c == ' ' || c == '\t';
}

std::string_view trim(std::string_view text) {
  while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
  return text;
}

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

}  // namespace varenta
