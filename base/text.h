#pragma once
// Text conversions at the program's borders. Inside, text is UTF-8; the store database and the
// log file hold Windows-1252 bytes.

#include <string>
#include <string_view>

namespace varenta {

// What some writers put before UTF-8 text; never part of the text itself.
inline constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

// Windows-1252 bytes from UTF-8 text, as the log and the store database hold it. A character the
// code page cannot hold becomes a close equivalent where one is known ("Łódź" gives "Lódz",
// "İstanbul" "Istanbul"), otherwise "?", as does every byte of an invalid UTF-8 sequence.
std::string utf8ToCp1252(std::string_view utf8);

// UTF-8 text from Windows-1252 bytes. The five bytes the code page leaves undefined map to the
// control characters of the same number, as Windows does.
std::string cp1252ToUtf8(std::string_view cp1252);

// Decodes one UTF-8 sequence at text[i] (i < text.size()) into cp; returns its length, or 0 when
// it is invalid (overlong forms, surrogates and values past U+10FFFF included).
std::size_t decodeUtf8(std::string_view text, std::size_t i, char32_t& cp);

// True when every byte of `text` belongs to a valid UTF-8 sequence.
bool isValidUtf8(std::string_view text);

// Length in characters of valid UTF-8 (an invalid byte counts as one character).
std::size_t utf8Length(std::string_view utf8);

// Removes leading and trailing blanks and control characters (every byte up to 0x20).
std::string_view trimBlanksAndControls(std::string_view text);

// The message as a log line may carry it: a line break (CR LF, or LF alone as the database
// client's messages break theirs) becomes CR LF, and every other control character (U+0000 to
// U+001F, DEL, U+0080 to U+009F) becomes "<0xNN>", its number in two upper-case hexadecimal digits.
std::string withVisibleControls(std::string_view message);

// An answer's first 100 characters for the log, on one line: line breaks and other control
// characters become blanks (an HTML page would otherwise break the log's one line per event).
std::string answerExcerpt(std::string_view body);

// Lower-cases the letters A to Z only; every other byte stays as it is.
std::string asciiLower(std::string_view text);

// Compares ignoring the case of A to Z only.
bool asciiIEquals(std::string_view a, std::string_view b);

}  // namespace varenta
