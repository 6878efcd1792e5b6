#include "base/text.h"

#include <array>
#include <cstdint>

#include "base/cp1252_equivalents.h"

namespace varenta {
namespace {

// Code points of the bytes 0x80 to 0x9F; the rest of the code page equals Latin-1.
constexpr std::array<char32_t, 32> kHigh = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                            0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                            0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                            0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// The byte of `cp` in the code page, or 0 when it has none (U+0000 itself is never asked).
char toCp1252(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<char>(cp);
  for (std::size_t i = 0; i < kHigh.size(); ++i)
    if (kHigh[i] == cp) return static_cast<char>(0x80 + i);
  return 0;
}

void appendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace

std::size_t decodeUtf8(std::string_view text, std::size_t i, char32_t& cp) {
  const auto b0 = static_cast<std::uint8_t>(text[i]);
  std::size_t len;
  char32_t min;
  if (b0 < 0x80) {
    cp = b0;
    return 1;
  } else if ((b0 & 0xE0) == 0xC0) {
    len = 2, min = 0x80, cp = b0 & 0x1F;
  } else if ((b0 & 0xF0) == 0xE0) {
    len = 3, min = 0x800, cp = b0 & 0x0F;
  } else if ((b0 & 0xF8) == 0xF0) {
    len = 4, min = 0x10000, cp = b0 & 0x07;
  } else {
    return 0;
  }
  if (i + len > text.size()) return 0;
  for (std::size_t k = 1; k < len; ++k) {
    const auto b = static_cast<std::uint8_t>(text[i + k]);
    if ((b & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return len;
}

std::string utf8ToCp1252(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    char32_t cp;
    const std::size_t len = decodeUtf8(utf8, i, cp);
    if (len == 0) {
      out += '?';
    } else if (const char byte = toCp1252(cp); byte != 0 || cp == 0) {
      out += byte;
    } else if (cp < 0x300 || cp > 0x36F) {  // a combining accent goes; the letter before it stays
      const std::string_view equivalent = cp1252Equivalent(cp);
      out += equivalent.empty() ? "?" : utf8ToCp1252(equivalent);
    }
    i += len == 0 ? 1 : len;
  }
  return out;
}

bool isValidUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    char32_t cp;
    const std::size_t len = decodeUtf8(text, i, cp);
    if (len == 0) return false;
    i += len;
  }
  return true;
}

std::string cp1252ToUtf8(std::string_view cp1252) {
  std::string out;
  out.reserve(cp1252.size() + cp1252.size() / 8);
  for (const char c : cp1252) {
    const auto b = static_cast<std::uint8_t>(c);
    appendUtf8(out, b >= 0x80 && b < 0xA0 ? kHigh[b - 0x80] : b);
  }
  return out;
}

std::size_t utf8Length(std::string_view utf8) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < utf8.size(); ++count) {
    char32_t cp;
    const std::size_t len = decodeUtf8(utf8, i, cp);
    i += len == 0 ? 1 : len;
  }
  return count;
}

std::string_view trimBlanksAndControls(std::string_view text) {
  const auto blank = [](char c) { return static_cast<unsigned char>(c) <= 0x20; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

// A control character would garble the log for its readers: a NUL ends the text for some, a
// Ctrl-Z the file for others, a lone CR starts a line without a time stamp, and the raw bytes of a
// store's text or a cloud's answer are no text at all; named, the operator still sees which one it
// was. C1 controls count too: the code page would write them as bytes it leaves undefined.
std::string withVisibleControls(std::string_view message) {
  constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(message.size());
  for (std::size_t i = 0; i < message.size(); ++i) {
    const auto c = static_cast<unsigned char>(message[i]);
    const auto next = i + 1 < message.size() ? static_cast<unsigned char>(message[i + 1]) : 0;
    unsigned control;
    if (c == '\n' || (c == '\r' && next == '\n')) {
      out += "\r\n";
      i += c == '\r';
      continue;
    } else if (c < 0x20 || c == 0x7F) {
      control = c;
    } else if (c == 0xC2 && next >= 0x80 && next <= 0x9F) {  // U+0080 to U+009F in UTF-8
      control = next;
      ++i;
    } else {
      out += static_cast<char>(c);
      continue;
    }
    out += "<0x";
    out += kHex[control >> 4];
    out += kHex[control & 0xF];
    out += '>';
  }
  return out;
}

std::string asciiLower(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

bool asciiIEquals(std::string_view a, std::string_view b) {
  // Called for every key of every parsed promotion: compares in place instead of lower-casing copies.
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (lower(a[i]) != lower(b[i])) return false;
  return true;
}

std::string answerExcerpt(std::string_view body) {
  constexpr std::size_t kShownCharacters = 100;
  std::size_t i = 0;
  for (std::size_t n = 0; i < body.size() && n < kShownCharacters; ++n) {
    char32_t cp = 0;
    const std::size_t length = decodeUtf8(body, i, cp);
    i += length == 0 ? 1 : length;
  }
  std::string shown(body.substr(0, i));
  for (char& c : shown)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
  return shown;
}

}  // namespace varenta
