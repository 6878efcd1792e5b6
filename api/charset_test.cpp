#include "api/charset.h"

#include <gtest/gtest.h>

namespace varenta {
namespace {

TEST(CharsetTest, FindsTheCharsetParameter) {
  const struct {
    const char* contentType;
    const char* charset;
  } cases[] = {
      {"application/json", ""},
      {"application/json; charset=utf-8", "utf-8"},
      {"application/json;charset=\"ISO-8859-1\"", "ISO-8859-1"},
      {"text/html; q=1; CharSet = windows-1252 ", "windows-1252"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(charsetOf(c.contentType), c.charset) << c.contentType;
}

TEST(CharsetTest, DecodesTheBodyIntoValidUtf8) {
  const struct {
    const char* body;
    const char* charset;
    const char* text;
  } cases[] = {
      {"Artigo n\xC3\xA3o encontrado", "", "Artigo n\xC3\xA3o encontrado"},
      {"Artigo n\xE3o encontrado", "ISO-8859-1", "Artigo n\xC3\xA3o encontrado"},
      {"\x80 5", "windows-1252", "\xE2\x82\xAC 5"},
      {"caf\xC3\xA9", "no-such-charset", "caf\xC3\xA9"},  // unknown: read as UTF-8
      {"a\xFF"
       "b",
       "UTF-8",
       "a\xEF\xBF\xBD"
       "b"},
      {"cut \xC3", "", "cut \xEF\xBF\xBD"},
      // Past U+10FFFF: no character at all, though the host's UTF-8 reader takes it.
      {"\xF4\x90\x80\x80!", "UTF-8", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD!"},
  };
  for (const auto& c : cases) EXPECT_EQ(decodeBody(c.body, c.charset), c.text) << c.body;
}

}  // namespace
}  // namespace varenta
