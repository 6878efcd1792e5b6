#include "storedb/sql_text.h"

#include <cctype>

namespace varenta {
namespace {

bool isNameChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$';
}

// Length of the literal, quoted identifier or comment starting at text[i], or 0 when none starts
// there. An unterminated one runs to the end of the text.
std::size_t skippable(std::string_view text, std::size_t i) {
  const char c = text[i];
  if (c == '\'' || c == '"') {
    // A doubled quote inside is part of the literal ('it''s'), which this loop handles by
    // leaving and re-entering at the second quote.
    const std::size_t end = text.find(c, i + 1);
    return end == std::string_view::npos ? text.size() - i : end - i + 1;
  }
  if (text.substr(i, 2) == "--") {
    const std::size_t end = text.find('\n', i);
    return end == std::string_view::npos ? text.size() - i : end - i + 1;
  }
  if (text.substr(i, 2) == "/*") {
    const std::size_t end = text.find("*/", i + 2);
    return end == std::string_view::npos ? text.size() - i : end - i + 2;
  }
  return 0;
}

// True when the text holds nothing but blanks and comments.
bool isBlank(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    if (std::isspace(static_cast<unsigned char>(text[i]))) {
      ++i;
    } else if (text[i] != '\'' && text[i] != '"' && skippable(text, i) != 0) {
      i += skippable(text, i);
    } else {
      return false;
    }
  }
  return true;
}

std::string_view trimmed(std::string_view s) {
  const auto blank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

}  // namespace

PositionalSql toPositional(std::string_view sql) {
  PositionalSql out;
  out.text.reserve(sql.size());
  for (std::size_t i = 0; i < sql.size();) {
    if (const std::size_t n = skippable(sql, i)) {
      out.text.append(sql.substr(i, n));
      i += n;
      continue;
    }
    if (sql[i] == ':' && i + 1 < sql.size() && isNameChar(sql[i + 1])) {
      std::size_t end = i + 1;
      while (end < sql.size() && isNameChar(sql[end])) ++end;
      out.names.emplace_back(sql.substr(i + 1, end - i - 1));
      out.text += '?';
      i = end;
      continue;
    }
    out.text += sql[i++];
  }
  return out;
}

std::vector<std::string> splitStatements(std::string_view script) {
  std::vector<std::string> out;
  std::size_t start = 0;
  const auto cut = [&](std::size_t end) {
    const std::string_view statement = trimmed(script.substr(start, end - start));
    if (!isBlank(statement)) out.emplace_back(statement);
  };
  for (std::size_t i = 0; i < script.size();) {
    if (const std::size_t n = skippable(script, i)) {
      i += n;
    } else if (script[i] == ';') {
      cut(i);
      start = ++i;
    } else {
      ++i;
    }
  }
  cut(script.size());
  return out;
}

}  // namespace varenta
