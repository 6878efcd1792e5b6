#include "api/url.h"

#include <gtest/gtest.h>

namespace varenta {
namespace {

TEST(UrlTest, NormalisesTheConcatenatedTarget) {
  const struct {
    const char* built;
    const char* sent;
  } cases[] = {
      {"https://cloud.example/api/x", "https://cloud.example/api/x"},
      {" https://cloud.example/api/x", "https://cloud.example/api/x"},
      {"\t https://cloud.example/api/x \r\n", "https://cloud.example/api/x"},
      {"cloud.example:8080/api/x", "http://cloud.example:8080/api/x"},
      {"127.0.0.1:8080/api/x", "http://127.0.0.1:8080/api/x"},
      {"HTTP://cloud.example/a", "HTTP://cloud.example/a"},
      {"http://cloud.example/a/", "http://cloud.example/a"},
      {"http://cloud.example/a//", "http://cloud.example/a/"},
      {"http://cloud.example /a b", "http://cloud.example%20/a%20b"},  // inner blanks stay, encoded
      {"http://h/p?estado=ACEPTADA&x=[1]", "http://h/p?estado=ACEPTADA&x=[1]"},
      {"http://h/caj\xC3\xA3o/\"{x}\"|^`<>\\", "http://h/caj%C3%A3o/%22%7Bx%7D%22%7C%5E%60%3C%3E%5C"},
      {"http://h/already%20encoded", "http://h/already%20encoded"},
      {"/api-minoristas/api/v2", "http:///api-minoristas/api/v2"},
      {"", "http://"},
  };
  for (const auto& c : cases) EXPECT_EQ(normaliseUrl(c.built), c.sent) << c.built;
}

}  // namespace
}  // namespace varenta
