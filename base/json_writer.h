#pragma once
// JsonWriter: compact JSON text (no whitespace anywhere), written token by token. Members keep the
// order in which they are written; the writer adds the commas and colons itself.
//
// Two documents of the service need different string escapes, chosen once per writer:
//   kRawUtf8   the movement document: " \ / and the backspace, tab, line feed, form feed and
//              carriage return take their short escapes (\" \\ \/ \b \t \n \f \r), every other
//              character below U+0020 is "\u00XX" (JSON allows no control character raw in a string,
//              and the cloud refuses such a document whole), and every other character, DEL and
//              the non-ASCII ones included, is written as it is.
//   kAsciiOnly the promotion objects: the same eight escapes, "\u00XX" for every other character
//              below U+0020, and "\uXXXX" (a surrogate pair above U+FFFF) for every character above
//              U+007F, so the text is plain ASCII. Hexadecimal digits are upper case.
// Strings are UTF-8. A byte that does not belong to a valid UTF-8 sequence is written as U+FFFD,
// so the result is always valid UTF-8 whatever the input held.
//
// Numbers from doubles are rounded to 15 significant digits and written as briefly as possible
// (12.5, 0.0001, 100000000000000); only a magnitude below 0.00001 or with more than 15 integer
// digits takes the exponent form (1E-6, 1.5E20). Integers are plain digits.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace varenta {

enum class JsonEscaping { kRawUtf8, kAsciiOnly };

class JsonWriter {
 public:
  explicit JsonWriter(JsonEscaping escaping) : escaping_(escaping) {}

  // Inside an object every value follows its key(). Ending a container that is not the innermost
  // open one throws std::logic_error.
  JsonWriter& beginObject();
  JsonWriter& endObject();
  JsonWriter& beginArray();
  JsonWriter& endArray();
  JsonWriter& key(std::string_view name);

  JsonWriter& string(std::string_view text);
  JsonWriter& number(double value);  // throws EConvertError for NaN and infinities
  JsonWriter& integer(std::int64_t value);
  JsonWriter& boolean(bool value);
  JsonWriter& null();

  const std::string& text() const { return out_; }

 private:
  JsonWriter& open(char bracket);
  JsonWriter& close(char bracket);
  void beforeValue();

  struct Level {
    char close;
    bool hasItems;
  };
  JsonEscaping escaping_;
  std::string out_;
  std::vector<Level> levels_;
  bool afterKey_ = false;
};

// The text of a double by the rules above: formatJsonNumber(0.000001) is "1E-6".
std::string formatJsonNumber(double value);

// Appends text as a quoted JSON string escaped as the escaping asks.
void appendJsonString(std::string& out, std::string_view text, JsonEscaping escaping);

}  // namespace varenta
