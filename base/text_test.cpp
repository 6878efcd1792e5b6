#include "base/text.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <iconv.h>
#include <locale.h>
#endif

namespace varenta {
namespace {

TEST(Text, Cp1252RoundTripsPortugueseAndTheHighRange) {
  const std::string utf8 = "Serviço É ção € “aspas” ÿ";
  const std::string bytes = utf8ToCp1252(utf8);
  EXPECT_EQ(bytes,
            "Servi\xE7o \xC9 \xE7\xE3o \x80 \x93"
            "aspas\x94 \xFF");
  EXPECT_EQ(cp1252ToUtf8(bytes), utf8);
  // The undefined bytes come back as the control characters of the same number.
  EXPECT_EQ(cp1252ToUtf8("\x81\x9D"), "\xC2\x81\xC2\x9D");
  EXPECT_EQ(utf8ToCp1252("\xC2\x81"), "\x81");
}

TEST(Text, WhatTheCodePageCannotHoldBecomesACloseEquivalentOrAQuestionMark) {
  EXPECT_EQ(utf8ToCp1252("Łódź"), "L\xF3\x64z");
  EXPECT_EQ(utf8ToCp1252("İstanbul, Ōsaka, Đakovo, Győr, Brașov"), "Istanbul, Osaka, Dakovo, Gyor, Brasov");
  EXPECT_EQ(utf8ToCp1252("Farma\x63\xCC\xA7\x61\xCC\x83o"), "Farmacao");  // combining accents are dropped
  EXPECT_EQ(utf8ToCp1252("2 → 3 ≠ 4"), "2 -> 3 != 4");
  EXPECT_EQ(utf8ToCp1252("a\xE4\xB8\xAD"
                         "b"),
            "a?b");                                  // CJK
  EXPECT_EQ(utf8ToCp1252("\xF0\x9F\x98\x80"), "?");  // emoji
  EXPECT_EQ(utf8ToCp1252("x\xC3"), "x?");            // truncated sequence
  EXPECT_EQ(utf8ToCp1252("\xC0\xAF"), "??");         // overlong "/"
  EXPECT_EQ(utf8ToCp1252("\xED\xA0\x80"), "???");    // surrogate
  EXPECT_EQ(utf8Length("Ç\xFFz"), 3u);
  EXPECT_TRUE(isValidUtf8("Farmácia €"));
  for (const char* invalid : {"Farm\xE1\x63ia", "x\xC3", "\xC0\xAF", "\xED\xA0\x80"})
    EXPECT_FALSE(isValidUtf8(invalid));
}

#ifndef _WIN32
std::string utf8Of(char32_t cp) {
  std::string out;
  if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
  } else {
    if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    }
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
  }
  out += static_cast<char>(0x80 | (cp & 0x3F));
  return out;
}

// The C library's transliteration into Windows-1252 (in the C.UTF-8 locale's tables), as the Linux
// build wrote text the code page cannot hold before it had its own table; "?" where it has none.
class GlibcTransliteration {
 public:
  GlibcTransliteration()
      : tables_(newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0))),
        previous_(uselocale(tables_)),
        cd_(iconv_open("WINDOWS-1252//TRANSLIT", "UTF-8")) {}
  ~GlibcTransliteration() {
    iconv_close(cd_);
    uselocale(previous_);
    freelocale(tables_);
  }

  std::string of(const std::string& utf8) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char buffer[32];
    char* in = const_cast<char*>(utf8.data());
    std::size_t inLeft = utf8.size();
    char* at = buffer;
    std::size_t outLeft = sizeof buffer;
    const bool converted = iconv(cd_, &in, &inLeft, &at, &outLeft) != static_cast<std::size_t>(-1);
    return converted && at != buffer ? std::string(buffer, at) : "?";
  }

 private:
  locale_t tables_;
  locale_t previous_;
  iconv_t cd_;
};

// Both builds use the same table; on Linux it must write what the Linux build always wrote.
TEST(Text, CloseEquivalentsAreTheCLibrarysForEveryCharacter) {
  GlibcTransliteration glibc;
  int differing = 0;
  for (char32_t cp = 0x80; cp < 0x20000; ++cp) {
    if ((cp >= 0xD800 && cp <= 0xDFFF) || (cp >= 0x300 && cp <= 0x36F)) continue;
    const std::string utf8 = utf8Of(cp);
    const std::string ours = utf8ToCp1252(utf8);
    if (cp1252ToUtf8(ours) == utf8) continue;  // the code page holds it
    const std::string theirs = glibc.of(utf8);
    if (ours != theirs && ++differing <= 10)
      ADD_FAILURE() << "U+" << std::hex << static_cast<unsigned>(cp) << ": \"" << ours
                    << "\" where glibc gives \"" << theirs << "\"";
  }
  EXPECT_EQ(differing, 0);
}
#endif

TEST(Text, AsciiCaseOnlyTouchesAToZ) {
  EXPECT_EQ(asciiLower("NÃO PÔDE Ser"), "nÃo pÔde ser");
  EXPECT_TRUE(asciiIEquals("Tolvane", "TOLVANE"));
  EXPECT_FALSE(asciiIEquals("Ç", "ç"));
}

TEST(Text, TrimDropsBlanksAndControlCharactersAtBothEnds) {
  EXPECT_EQ(trimBlanksAndControls(" \t\r\n 123.456 789-00\x01 "), "123.456 789-00");
  EXPECT_EQ(trimBlanksAndControls(" \x1f\t "), "");
  EXPECT_EQ(trimBlanksAndControls("Ç "), "Ç");  // bytes above 0x7F are never blanks
}

}  // namespace
}  // namespace varenta
