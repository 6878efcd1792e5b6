#include "storedb/sql_text.h"

#include <gtest/gtest.h>

namespace varenta {
namespace {

TEST(SqlText, NamedParametersBecomePositionalOutsideQuotesAndComments) {
  struct Case {
    const char* sql;
    const char* text;
    std::vector<std::string> names;
  };
  const Case cases[] = {
      {"update padrao set varenta_ultvenda = :venda where codigo is not null",
       "update padrao set varenta_ultvenda = ? where codigo is not null",
       {"venda"}},
      {"v.data = :DATACAIXA AND V.TERMINAL = :TERMINAL",
       "v.data = ? AND V.TERMINAL = ?",
       {"DATACAIXA", "TERMINAL"}},
      {"select ':x' || :y from rdb$database", "select ':x' || ? from rdb$database", {"y"}},
      {"select 'it''s :x' , :y", "select 'it''s :x' , ?", {"y"}},
      {"select \"A:B\" from t where c = :c", "select \"A:B\" from t where c = ?", {"c"}},
      {"-- :a\nselect :b /* :c */", "-- :a\nselect ? /* :c */", {"b"}},
      {"x = :p or y = :p", "x = ? or y = ?", {"p", "p"}},
      {"a = :", "a = :", {}},
      {"a = ':unterminated", "a = ':unterminated", {}},
  };
  for (const Case& c : cases) {
    const PositionalSql out = toPositional(c.sql);
    EXPECT_EQ(out.text, c.text) << c.sql;
    EXPECT_EQ(out.names, c.names) << c.sql;
  }
}

TEST(SqlText, ScriptSplitsAtSemicolonsThatEndStatements) {
  const auto statements = splitStatements(
      "-- the store's tables;\n"
      "CREATE TABLE a (x VARCHAR(5));\n"
      "/* a comment; with a semicolon */\n"
      "INSERT INTO a VALUES ('x;y');\n"
      "  ;\n"
      "CREATE GENERATOR g");
  ASSERT_EQ(statements.size(), 3u);
  EXPECT_EQ(statements[0], "-- the store's tables;\nCREATE TABLE a (x VARCHAR(5))");
  EXPECT_EQ(statements[1], "/* a comment; with a semicolon */\nINSERT INTO a VALUES ('x;y')");
  EXPECT_EQ(statements[2], "CREATE GENERATOR g");
}

}  // namespace
}  // namespace varenta
