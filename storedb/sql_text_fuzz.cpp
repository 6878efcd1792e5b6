// Any text through the named-parameter rewriter and the script splitter, never a crash, and:
// - the rewriter changes nothing but the parameters: putting ":name" back for each "?" it wrote
//   gives the text it was given;
// - nothing inside a string literal, a quoted identifier or a comment is a parameter or a statement
//   end, whatever the text inside;
// - what stands before a literal or comment does not change what follows it;
// - a statement the splitter cuts out splits into itself alone.

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "storedb/sql_text.h"
#include "tests/support/fuzz_check.h"

namespace {

using varenta::PositionalSql;
using varenta::toPositional;

// The rewritten text with ":name" in place of each "?", in order. Only meaningful when the original
// held no "?" of its own.
std::string withNamesBack(const PositionalSql& sql) {
  std::string out;
  std::size_t next = 0;
  for (char c : sql.text) {
    if (c != '?') {
      out += c;
    } else {
      FUZZ_CHECK(next < sql.names.size());
      out += ':' + sql.names[next++];
    }
  }
  FUZZ_CHECK(next == sql.names.size());
  return out;
}

std::string doubled(std::string_view text, char quote) {
  std::string out;
  for (char c : text) {
    out += c;
    if (c == quote) out += c;
  }
  return out;
}

void checkUnchanged(const std::string& sql) {
  const PositionalSql rewritten = toPositional(sql);
  FUZZ_CHECK(rewritten.text == sql && rewritten.names.empty());
  FUZZ_CHECK(varenta::splitStatements("select 1 from x where " + sql).size() == 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);

  std::string noMarks = text;
  std::replace(noMarks.begin(), noMarks.end(), '?', '!');
  const PositionalSql rewritten = toPositional(noMarks);
  for (const std::string& name : rewritten.names) FUZZ_CHECK(!name.empty());
  FUZZ_CHECK(withNamesBack(rewritten) == noMarks);

  checkUnchanged("'" + doubled(text, '\'') + "'");
  checkUnchanged("\"" + doubled(text, '"') + "\"");
  if (text.find("*/") == std::string::npos) checkUnchanged("/*" + text + "*/");
  if (text.find('\n') == std::string::npos) checkUnchanged("--" + text + "\n");

  const PositionalSql alone = toPositional(text);
  const PositionalSql afterLiteral = toPositional("'a:b;c' /* :d; */ " + text);
  FUZZ_CHECK(afterLiteral.names == alone.names);
  FUZZ_CHECK(afterLiteral.text == "'a:b;c' /* :d; */ " + alone.text);

  for (const std::string& statement : varenta::splitStatements(text)) {
    FUZZ_CHECK(!statement.empty());
    const auto again = varenta::splitStatements(statement);
    FUZZ_CHECK(again.size() == 1 && again[0] == statement);
  }
  return 0;
}
