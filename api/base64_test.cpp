#include "api/base64.h"

#include <gtest/gtest.h>

namespace varenta {
namespace {

TEST(Base64Test, EncodesTheStandardVectors) {
  const struct {
    const char* bytes;
    const char* text;
  } cases[] = {
      {"", ""},
      {"f", "Zg=="},
      {"fo", "Zm8="},
      {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="},
      {"foobar", "Zm9vYmFy"},
      {":", "Og=="},
      {"jos\xC3\xA9:s\xC3\xAA\xFF", "am9zw6k6c8Oq/w=="},  // UTF-8 bytes and a byte that uses "/"
  };
  for (const auto& c : cases) EXPECT_EQ(base64Encode(c.bytes), c.text) << c.bytes;
}

}  // namespace
}  // namespace varenta
