#pragma once
// JsonValue: a parsed JSON text as a plain tree. Numbers keep the text they were written with
// ("4.20", "1e400", "123456789012345678901234567890"), object members keep the order of the text,
// duplicate keys included. The promotion objects are filled from this tree and the pretty printer
// prints it.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varenta {

struct JsonValue {
  enum class Kind { kNull, kFalse, kTrue, kNumber, kString, kArray, kObject };
  struct Member;

  Kind kind = Kind::kNull;
  std::string text;              // a number as written, a string's characters
  std::vector<JsonValue> items;  // an array's elements
  std::vector<Member> members;   // an object's members, in text order

  bool is(Kind k) const { return kind == k; }
  // The text a scalar stands for: a string's characters, a number as written, "true", "false";
  // empty for null, arrays and objects.
  std::string_view scalarText() const;
};

struct JsonValue::Member {
  std::string key;
  JsonValue value;
};

// Nesting deeper than this is refused like any other unreadable text, so that no walk over a
// tree can run out of stack.
inline constexpr int kMaxJsonDepth = 512;

// The tree of a JSON text, or nothing when the text is not one JSON value with optional
// whitespace around it (the empty text included). Strings are taken byte for byte, so text that
// is not valid UTF-8 still parses.
std::optional<JsonValue> parseJson(std::string_view text);

}  // namespace varenta
