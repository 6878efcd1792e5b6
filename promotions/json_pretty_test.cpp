#include "promotions/json_pretty.h"

#include <gtest/gtest.h>

namespace varenta {
namespace {

TEST(PrettyPrintJson, IndentsByTwoWithCrLf) {
  struct Case {
    std::string_view json;
    std::string_view pretty;
  };
  for (const Case& c : {
           Case{R"({"a":1,"b":[2,3]})", "{\r\n  \"a\": 1,\r\n  \"b\": [\r\n    2,\r\n    3\r\n  ]\r\n}\r\n"},
           {"{}", "{\r\n}\r\n"},
           {" [ ] ", "[\r\n]\r\n"},
           {"4.20", "4.20\r\n"},
           {R"([{"x":null},[true,false],{}])",
            "[\r\n  {\r\n    \"x\": null\r\n  },\r\n  [\r\n    true,\r\n    false\r\n  ],\r\n  {\r\n  "
            "}\r\n]\r\n"},
           {R"({"o":{"p":{"q":"r"}},"e":{}})",
            "{\r\n  \"o\": {\r\n    \"p\": {\r\n      \"q\": \"r\"\r\n    }\r\n  },\r\n  \"e\": {\r\n  "
            "}\r\n}\r\n"},
           {R"({"s\u00e7":"a/b \"c\" é\n\u0001"})",
            "{\r\n  \"s\\u00E7\": \"a\\/b \\\"c\\\" \\u00E9\\n\\u0001\"\r\n}\r\n"},
           {"not json", ""},
           {"", ""},
           {"{\"a\":1", ""},
       })
    EXPECT_EQ(PrettyPrintJSON(c.json), c.pretty) << c.json;
}

}  // namespace
}  // namespace varenta
