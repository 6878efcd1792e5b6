#include "base/json_writer.h"

#include <charconv>
#include <cmath>
#include <stdexcept>

#include "base/error.h"
#include "base/text.h"

namespace varenta {
namespace {

constexpr char kHex[] = "0123456789ABCDEF";
constexpr std::string_view kReplacementUtf8 = "\xEF\xBF\xBD";  // U+FFFD

void appendUnicodeEscape(std::string& out, char32_t unit) {
  out += "\\u";
  for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(unit >> shift) & 0xF];
}

// The eight escapes both dialects share; 0 when the character has none.
char shortEscape(char32_t cp) {
  switch (cp) {
    case '"':
      return '"';
    case '\\':
      return '\\';
    case '/':
      return '/';
    case '\b':
      return 'b';
    case '\t':
      return 't';
    case '\n':
      return 'n';
    case '\f':
      return 'f';
    case '\r':
      return 'r';
    default:
      return 0;
  }
}

std::size_t plainRun(std::string_view text, std::size_t from) {
  std::size_t end = from;
  for (; end < text.size(); ++end) {
    const auto c = static_cast<unsigned char>(text[end]);
    if (c < 0x20 || c > 0x7F || c == '"' || c == '\\' || c == '/') break;
  }
  return end - from;
}

}  // namespace

void appendJsonString(std::string& out, std::string_view text, JsonEscaping escaping) {
  out += '"';
  for (std::size_t i = 0; i < text.size();) {
    // Printable ASCII is the same in both escapings: copy it a run at a time.
    const std::size_t run = plainRun(text, i);
    if (run > 0) {
      out.append(text, i, run);
      i += run;
      continue;
    }
    char32_t cp;
    std::size_t len = decodeUtf8(text, i, cp);
    if (len == 0) cp = 0xFFFD, len = 1;
    if (const char e = shortEscape(cp)) {
      out += '\\';
      out += e;
    } else if (cp < 0x20 || (escaping == JsonEscaping::kAsciiOnly && cp > 0x7F)) {
      if (cp > 0xFFFF) {
        appendUnicodeEscape(out, 0xD800 + ((cp - 0x10000) >> 10));
        appendUnicodeEscape(out, 0xDC00 + ((cp - 0x10000) & 0x3FF));
      } else {
        appendUnicodeEscape(out, cp);
      }
    } else if (cp == 0xFFFD && len == 1) {
      out += kReplacementUtf8;
    } else {
      out.append(text, i, len);
    }
    i += len;
  }
  out += '"';
}

std::string formatJsonNumber(double value) {
  if (!std::isfinite(value)) throw EConvertError("A JSON number must be finite");
  if (value == 0) return "0";  // also for -0.0
  // Scientific form with 15 significant digits does the rounding: "-1.23456780000000e+03".
  char buffer[40];
  const auto [end, ec] =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, 14);
  const std::string_view sci(buffer, end - buffer);
  const bool negative = sci[0] == '-';
  const std::size_t first = negative ? 1 : 0;
  const std::size_t e = sci.find('e');
  std::string digits = std::string(1, sci[first]) + std::string(sci.substr(first + 2, e - first - 2));
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  int exponent = 0;
  const std::size_t expStart = e + (sci[e + 1] == '+' ? 2 : 1);
  std::from_chars(sci.data() + expStart, sci.data() + sci.size(), exponent);

  std::string out = negative ? "-" : "";
  const int count = static_cast<int>(digits.size());
  if (exponent < -5 || exponent >= 15) {
    out += digits[0];
    if (count > 1) out += "." + digits.substr(1);
    out += "E" + std::to_string(exponent);
  } else if (exponent < 0) {
    out += "0." + std::string(-exponent - 1, '0') + digits;
  } else if (count <= exponent + 1) {
    out += digits + std::string(exponent + 1 - count, '0');
  } else {
    out += digits.substr(0, exponent + 1) + "." + digits.substr(exponent + 1);
  }
  return out;
}

JsonWriter& JsonWriter::open(char bracket) {
  beforeValue();
  out_ += bracket;
  levels_.push_back({bracket == '{' ? '}' : ']', false});
  return *this;
}

JsonWriter& JsonWriter::close(char bracket) {
  if (levels_.empty() || levels_.back().close != bracket || afterKey_)
    throw std::logic_error(std::string("JSON writer: unexpected '") + bracket + "'");
  levels_.pop_back();
  out_ += bracket;
  return *this;
}

void JsonWriter::beforeValue() {
  if (afterKey_) {
    afterKey_ = false;
  } else if (!levels_.empty()) {
    if (levels_.back().hasItems) out_ += ',';
    levels_.back().hasItems = true;
  }
}

JsonWriter& JsonWriter::beginObject() {
  return open('{');
}
JsonWriter& JsonWriter::endObject() {
  return close('}');
}
JsonWriter& JsonWriter::beginArray() {
  return open('[');
}
JsonWriter& JsonWriter::endArray() {
  return close(']');
}

JsonWriter& JsonWriter::key(std::string_view name) {
  beforeValue();
  appendJsonString(out_, name, escaping_);
  out_ += ':';
  afterKey_ = true;
  return *this;
}

JsonWriter& JsonWriter::string(std::string_view text) {
  beforeValue();
  appendJsonString(out_, text, escaping_);
  return *this;
}

JsonWriter& JsonWriter::number(double value) {
  const std::string text = formatJsonNumber(value);  // before any output, so a throw leaves no comma
  beforeValue();
  out_ += text;
  return *this;
}

JsonWriter& JsonWriter::integer(std::int64_t value) {
  beforeValue();
  out_ += std::to_string(value);
  return *this;
}

JsonWriter& JsonWriter::boolean(bool value) {
  beforeValue();
  out_ += value ? "true" : "false";
  return *this;
}

JsonWriter& JsonWriter::null() {
  beforeValue();
  out_ += "null";
  return *this;
}

}  // namespace varenta
