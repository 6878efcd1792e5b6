#include "base/json_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <stdexcept>

#include "base/error.h"
#include "rapidjson/document.h"

namespace varenta {
namespace {

TEST(JsonWriter, NumbersRoundToFifteenDigitsAndUseExponentOnlyAtTheExtremes) {
  struct Case {
    double value;
    const char* text;
  };
  for (const Case& c : {Case{1, "1"},
                        {12.5, "12.5"},
                        {0.0001, "0.0001"},
                        {0.00001, "0.00001"},
                        {0.000001, "1E-6"},
                        {-0.000001234, "-1.234E-6"},
                        {1234.5678, "1234.5678"},
                        {-3.25, "-3.25"},
                        {1.5E20, "1.5E20"},
                        {100000000000000, "100000000000000"},     // 15 integer digits
                        {1000000000000000, "1E15"},               // 16
                        {123456789012345.67, "123456789012346"},  // rounded at the 15th digit
                        {999999999999999.9, "1E15"},              // the rounding carries into a 16th
                        {0.1 + 0.2, "0.3"},
                        {2.0 / 3.0, "0.666666666666667"},
                        {-1e300, "-1E300"},
                        {0.0, "0"},
                        {-0.0, "0"}})
    EXPECT_EQ(formatJsonNumber(c.value), c.text) << c.text;
}

TEST(JsonWriter, RefusesNumbersJsonCannotHold) {
  JsonWriter w(JsonEscaping::kRawUtf8);
  w.beginArray().integer(1);
  for (double bad : {std::nan(""), std::numeric_limits<double>::infinity()})
    EXPECT_THROW(w.number(bad), EConvertError);
  EXPECT_EQ(w.endArray().text(), "[1]");  // a refused number leaves no stray comma behind
}

TEST(JsonWriter, StringEscapesOfBothDialects) {
  struct Case {
    const char* in;
    const char* movement;
    const char* ascii;
  };
  for (const Case& c : {
           Case{"A/B", R"("A\/B")", R"("A\/B")"},
           {"\"q\" \\", R"("\"q\" \\")", R"("\"q\" \\")"},
           {"\b\t\n\f\r", R"("\b\t\n\f\r")", R"("\b\t\n\f\r")"},
           // Every other control character as \u: JSON allows none raw in a string. DEL is no
           // control character to JSON.
           {"a\x01z\x1f\x7f", "\"a\\u0001z\\u001F\x7f\"", "\"a\\u0001z\\u001F\x7f\""},
           {"DÉBITO Ç", "\"DÉBITO Ç\"", R"("D\u00C9BITO \u00C7")"},
           {"€ 😀", "\"€ 😀\"", R"("\u20AC \uD83D\uDE00")"},
           // Invalid UTF-8 (a lone continuation byte, a truncated sequence, an overlong slash).
           {"a\x80z", "\"a\xEF\xBF\xBDz\"", R"("a\uFFFDz")"},
           {"\xC3", "\"\xEF\xBF\xBD\"", R"("\uFFFD")"},
           {"\xC0\xAF", "\"\xEF\xBF\xBD\xEF\xBF\xBD\"", R"("\uFFFD\uFFFD")"},
           {"", R"("")", R"("")"},
       }) {
    std::string movement, ascii;
    appendJsonString(movement, c.in, JsonEscaping::kRawUtf8);
    appendJsonString(ascii, c.in, JsonEscaping::kAsciiOnly);
    EXPECT_EQ(movement, c.movement) << c.in;
    EXPECT_EQ(ascii, c.ascii) << c.in;
  }
  for (const JsonEscaping escaping : {JsonEscaping::kRawUtf8, JsonEscaping::kAsciiOnly}) {
    std::string nul;
    appendJsonString(nul, std::string_view("a\0b", 3), escaping);
    EXPECT_EQ(nul, R"("a\u0000b")");
  }
}

// Whatever pieces a text is made of, a standard parser that checks the encoding reads back the
// text, with U+FFFD for each byte that was not valid UTF-8.
TEST(JsonWriter, StandardParserReadsBackWhatWasWritten) {
  struct Piece {
    std::string in;
    std::string readBack;
  };
  const std::string fffd = "\xEF\xBF\xBD";
  const std::vector<Piece> pieces = {{"a", "a"},
                                     {"/", "/"},
                                     {"\"", "\""},
                                     {"\\", "\\"},
                                     {"\b\t\n\f\r", "\b\t\n\f\r"},
                                     {"\x01", "\x01"},
                                     {"\x1f", "\x1f"},
                                     {"\x7f", "\x7f"},
                                     {"é", "é"},
                                     {"€", "€"},
                                     {"😀", "😀"},
                                     {"\x80", fffd},
                                     {"\xFF", fffd},
                                     {"\xC0\xAF", fffd + fffd},
                                     {"\xED\xA0\x80", fffd + fffd + fffd}};
  std::mt19937 engine(7);
  for (int round = 0; round < 2000; ++round) {
    std::string in, readBack;
    for (int n = engine() % 8; n > 0; --n) {
      const Piece& piece = pieces[engine() % pieces.size()];
      in += piece.in, readBack += piece.readBack;
    }
    for (const JsonEscaping escaping : {JsonEscaping::kRawUtf8, JsonEscaping::kAsciiOnly}) {
      std::string json;
      appendJsonString(json, in, escaping);
      rapidjson::Document parsed;
      parsed.Parse<rapidjson::kParseValidateEncodingFlag>(json.data(), json.size());
      ASSERT_FALSE(parsed.HasParseError()) << json;
      EXPECT_EQ(std::string(parsed.GetString(), parsed.GetStringLength()), readBack) << json;
      for (const unsigned char c : json) {
        EXPECT_GE(c, 0x20) << json;
        if (escaping == JsonEscaping::kAsciiOnly) {
          EXPECT_LE(c, 0x7F) << json;
        }
      }
    }
  }
}

TEST(JsonWriter, CompactNestedDocumentKeepsMemberOrder) {
  JsonWriter w(JsonEscaping::kRawUtf8);
  w.beginObject();
  w.key("z").integer(-42);
  w.key("a/b").string("x");
  w.key("list").beginArray();
  w.beginObject().endObject();
  w.beginArray().endArray();
  w.boolean(true).boolean(false).null().number(0.5);
  w.endArray();
  w.key("inner").beginObject().key("k").null().endObject();
  w.endObject();
  EXPECT_EQ(w.text(), R"({"z":-42,"a\/b":"x","list":[{},[],true,false,null,0.5],"inner":{"k":null}})");
}

TEST(JsonWriter, MismatchedEndsAreRefused) {
  EXPECT_THROW(JsonWriter(JsonEscaping::kRawUtf8).endObject(), std::logic_error);
  EXPECT_THROW(JsonWriter(JsonEscaping::kRawUtf8).beginArray().endObject(), std::logic_error);
  EXPECT_THROW(JsonWriter(JsonEscaping::kRawUtf8).beginObject().key("k").endObject(), std::logic_error);
}

}  // namespace
}  // namespace varenta
