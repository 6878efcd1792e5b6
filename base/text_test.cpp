#include "base/text.h"

#include <gtest/gtest.h>

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
