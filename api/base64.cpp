#include "api/base64.h"

#include <algorithm>
#include <cstdint>

namespace varenta {
namespace {

constexpr std::string_view kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int sextet(char c) {
  const auto at = kAlphabet.find(c);
  return at == std::string_view::npos ? -1 : static_cast<int>(at);
}

}  // namespace

std::string base64Encode(std::string_view bytes) {
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
    std::uint32_t group = 0;
    for (std::size_t k = 0; k < 3; ++k) {
      group = (group << 8) | (k < n ? static_cast<unsigned char>(bytes[i + k]) : 0u);
    }
    for (std::size_t k = 0; k < 4; ++k) {
      out += k <= n ? kAlphabet[(group >> (18 - 6 * k)) & 0x3F] : '=';
    }
  }
  return out;
}

std::optional<std::string> base64Decode(std::string_view text) {
  if (text.size() % 4 != 0) return std::nullopt;
  std::string out;
  for (std::size_t i = 0; i < text.size(); i += 4) {
    const bool last = i + 4 == text.size();
    std::size_t padding = 0;
    std::uint32_t group = 0;
    for (std::size_t k = 0; k < 4; ++k) {
      const char c = text[i + k];
      int value = 0;
      if (c == '=' && last && k >= 2) {
        ++padding;
      } else if (padding > 0 || (value = sextet(c)) < 0) {
        return std::nullopt;  // a character outside the alphabet, or data after padding
      }
      group = (group << 6) | static_cast<std::uint32_t>(value);
    }
    for (std::size_t k = 0; k < 3 - padding; ++k) out += static_cast<char>((group >> (16 - 8 * k)) & 0xFF);
  }
  return out;
}

}  // namespace varenta
