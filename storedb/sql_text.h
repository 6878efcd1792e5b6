#pragma once
// SQL text as the store database reads it: named parameters and statement ends are found only
// outside string literals, quoted identifiers and comments, so a ":x" or ";" inside '...' stays text.

#include <string>
#include <string_view>
#include <vector>

namespace varenta {

struct PositionalSql {
  std::string text;                // the statement with every ":name" replaced by "?"
  std::vector<std::string> names;  // the parameter name of each "?", in order, as written
};

// Rewrites ":name" parameters (letters, digits, "_" and "$") to positional ones.
PositionalSql toPositional(std::string_view sql);

// Splits a script into its statements at ";", dropping empty ones and surrounding blanks.
std::vector<std::string> splitStatements(std::string_view script);

}  // namespace varenta
