#include "promotions/json_pretty.h"

#include <vector>

#include "base/json_writer.h"
#include "promotions/json_value.h"

namespace varenta {
namespace {

using Lines = std::vector<std::string>;
using Kind = JsonValue::Kind;

std::string quoted(std::string_view text) {
  std::string out;
  appendJsonString(out, text, JsonEscaping::kAsciiOnly);
  return out;
}

std::string scalarJson(const JsonValue& value) {
  switch (value.kind) {
    case Kind::kString:
      return quoted(value.text);
    case Kind::kNull:
      return "null";
    default:
      return std::string(value.scalarText());
  }
}

std::string trimmed(const std::string& text) {
  const auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
  std::size_t first = 0, last = text.size();
  while (first < last && blank(text[first])) ++first;
  while (last > first && blank(text[last - 1])) --last;
  return text.substr(first, last - first);
}

void print(const JsonValue& value, int indent, Lines& lines) {
  const std::string pad(indent, ' ');
  if (value.is(Kind::kObject)) {
    lines.push_back(pad + "{");
    for (std::size_t i = 0; i < value.members.size(); ++i) {
      // The value is printed on its own and folded into the key's one entry, so a nested
      // container opens on the key's line and keeps its inner lines indented.
      Lines inner;
      print(value.members[i].value, indent + 2, inner);
      std::string joined;
      for (std::size_t k = 0; k < inner.size(); ++k) {
        if (k > 0) joined += "\r\n";
        joined += inner[k];
      }
      lines.push_back(pad + "  " + quoted(value.members[i].key) + ": " + trimmed(joined) +
                      (i + 1 < value.members.size() ? "," : ""));
    }
    lines.push_back(pad + "}");
  } else if (value.is(Kind::kArray)) {
    lines.push_back(pad + "[");
    for (std::size_t i = 0; i < value.items.size(); ++i) {
      print(value.items[i], indent + 2, lines);
      if (i + 1 < value.items.size()) lines.back() += ",";
    }
    lines.push_back(pad + "]");
  } else {
    lines.push_back(pad + scalarJson(value));
  }
}

}  // namespace

std::string PrettyPrintJSON(std::string_view aJson) {
  const std::optional<JsonValue> value = parseJson(aJson);
  if (!value) return {};
  Lines lines;
  print(*value, 0, lines);
  std::string out;
  for (const std::string& line : lines) out += line + "\r\n";
  return out;
}

}  // namespace varenta
