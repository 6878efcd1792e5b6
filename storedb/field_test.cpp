#include "storedb/field.h"

#include <gtest/gtest.h>

#include "base/error.h"

namespace varenta {
namespace {

TEST(Field, NullReadsAsEmptyZeroOrZeroDate) {
  const Field null;
  EXPECT_TRUE(null.isNull());
  EXPECT_EQ(null.asString(), "");
  EXPECT_EQ(null.asInteger(), 0);
  EXPECT_EQ(null.asDecimal(), Decimal());
  EXPECT_TRUE(null.asDateTime().isZero());
}

TEST(Field, ConvertsBetweenKinds) {
  const Field integer(std::int64_t{57});
  EXPECT_EQ(integer.asString(), "57");
  EXPECT_EQ(integer.asDecimal(), Decimal::fromInt(57));

  const Field amount(Decimal::parse("-12.5"));
  EXPECT_EQ(amount.asString(), "-12.5");
  EXPECT_EQ(amount.asInteger(), -13);  // half away from zero

  const Field text(std::string("42"));
  EXPECT_EQ(text.asInteger(), 42);
  EXPECT_EQ(text.asDecimal(), Decimal::fromInt(42));

  const DateTime at = DateTime::fromParts(2024, 3, 5, 14, 7, 9);
  EXPECT_EQ(Field(Field::Moment{at, Field::DateKind::Timestamp}).asString(), "05/03/2024 14:07:09");
  EXPECT_EQ(Field(Field::Moment{at.date(), Field::DateKind::Date}).asString(), "05/03/2024");
  EXPECT_EQ(Field(Field::Moment{at, Field::DateKind::Timestamp}).asDateTime(), at);
}

TEST(Field, RefusesConversionsThatMakeNoSense) {
  EXPECT_THROW(Field(std::string("12a")).asInteger(), EConvertError);
  EXPECT_THROW(Field(std::string("")).asInteger(), EConvertError);
  EXPECT_THROW(Field(std::string("abc")).asDecimal(), EConvertError);
  EXPECT_THROW(Field(std::string("2024-01-01")).asDateTime(), EConvertError);
  EXPECT_THROW(Field(Field::Moment{DateTime::fromParts(2024, 1, 1), Field::DateKind::Date}).asInteger(),
               EConvertError);
}

}  // namespace
}  // namespace varenta
