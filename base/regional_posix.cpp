#include "base/regional.h"
#include "base/text.h"

namespace varenta {

const RegionalSettings& hostRegionalSettings() {
  static const RegionalSettings settings;
  return settings;
}

// The settings here always name Windows-1252.
std::string regionalBytes(std::string_view utf8, const RegionalSettings&) {
  return utf8ToCp1252(utf8);
}

std::string regionalText(std::string_view bytes, const RegionalSettings&) {
  return cp1252ToUtf8(bytes);
}

}  // namespace varenta
