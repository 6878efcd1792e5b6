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

// RFC 3986's own examples (5.4) where they fit an HTTP redirect, and the shapes a cloud's front
// servers answer with.
TEST(UrlTest, ResolvesARedirectTargetFromTheUrlItWasAnsweredOn) {
  const std::string base = "http://a/b/c/d;p?q";
  const struct {
    const char* reference;
    const char* resolved;
  } cases[] = {
      {"g", "http://a/b/c/g"},
      {"./g", "http://a/b/c/g"},
      {"g/", "http://a/b/c/g/"},
      {"/g", "http://a/g"},
      {"//g", "http://g"},
      {"//g:8443/x?y", "http://g:8443/x?y"},
      {"?y", "http://a/b/c/d;p?y"},
      {"g?y", "http://a/b/c/g?y"},
      {"#s", "http://a/b/c/d;p?q"},
      {"g#s", "http://a/b/c/g"},
      {"..", "http://a/b/"},
      {"../g", "http://a/b/g"},
      {"../../g", "http://a/g"},
      {"../../../g", "http://a/g"},
      {"/./g", "http://a/g"},
      {"g/../h", "http://a/b/c/h"},
      {"", "http://a/b/c/d;p?q"},
      {"https://cloud.example/api/./x/../y?estado=A#top", "https://cloud.example/api/y?estado=A"},
      {"HTTPS://Cloud.Example", "HTTPS://Cloud.Example"},
      {"ftp://files.example/x", "ftp://files.example/x"},
      {"mailto:x@example.com", "mailto:x@example.com"},
  };
  for (const auto& c : cases) EXPECT_EQ(resolveReference(base, c.reference), c.resolved) << c.reference;
  EXPECT_EQ(resolveReference("https://127.0.0.1:8443", "/api/x"), "https://127.0.0.1:8443/api/x");
  EXPECT_EQ(resolveReference("https://127.0.0.1:8443", "x"), "https://127.0.0.1:8443/x");
}

}  // namespace
}  // namespace varenta
