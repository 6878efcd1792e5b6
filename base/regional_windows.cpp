#include <windows.h>

#include "base/regional.h"
#include "base/text.h"
#include "base/utf16.h"

namespace varenta {
namespace {

// The first character of a locale's value, as a program that keeps each separator as one character
// reads it; the default when the locale has none.
std::string firstCharacter(LCTYPE type, const std::string& fallback) {
  wchar_t value[16] = {};
  if (GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, type, value, 16) < 2) return fallback;
  const int units = IS_HIGH_SURROGATE(value[0]) ? 2 : 1;
  char utf8[8] = {};
  const int length = WideCharToMultiByte(CP_UTF8, 0, value, units, utf8, sizeof utf8, nullptr, nullptr);
  return length > 0 ? std::string(utf8, static_cast<size_t>(length)) : fallback;
}

// A multi-byte ANSI code page (UTF-8 among them) cannot be the log's: the log keeps to one byte per
// character, in Windows-1252 then.
unsigned singleByteCodePage() {
  const UINT ansi = GetACP();
  CPINFO info{};
  return GetCPInfo(ansi, &info) && info.MaxCharSize == 1 ? ansi : 1252;
}

RegionalSettings read() {
  const RegionalSettings defaults;
  RegionalSettings settings;
  settings.dateSeparator = firstCharacter(LOCALE_SDATE, defaults.dateSeparator);
  settings.timeSeparator = firstCharacter(LOCALE_STIME, defaults.timeSeparator);
  settings.codePage = singleByteCodePage();
  return settings;
}

}  // namespace

const RegionalSettings& hostRegionalSettings() {
  static const RegionalSettings settings = read();
  return settings;
}

std::string regionalBytes(std::string_view utf8, const RegionalSettings& settings) {
  if (settings.codePage == 1252 || utf8.empty()) return utf8ToCp1252(utf8);
  const int size = static_cast<int>(utf8.size());
  const int units = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  std::wstring wide(static_cast<size_t>(units), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), units);
  const int length = WideCharToMultiByte(settings.codePage, 0, wide.data(), units, nullptr, 0, "?", nullptr);
  std::string bytes(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(settings.codePage, 0, wide.data(), units, bytes.data(), length, "?", nullptr);
  return bytes;
}

std::string regionalText(std::string_view bytes, const RegionalSettings& settings) {
  if (settings.codePage == 1252 || bytes.empty()) return cp1252ToUtf8(bytes);
  const int size = static_cast<int>(bytes.size());
  const int units = MultiByteToWideChar(settings.codePage, 0, bytes.data(), size, nullptr, 0);
  std::wstring wide(static_cast<size_t>(units), L'\0');
  MultiByteToWideChar(settings.codePage, 0, bytes.data(), size, wide.data(), units);
  return narrow(wide);
}

}  // namespace varenta
