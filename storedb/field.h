#pragma once
// Field: one column value of a row read from the store database, already in the program's own
// types (text in UTF-8). Like the store system's own reads, a NULL reads as an empty text, 0 or the
// zero date-time, and a value converts to the kind the caller asks for where that makes sense.

#include <cstdint>
#include <string>
#include <variant>

#include "base/datetime.h"
#include "base/decimal.h"

namespace varenta {

class Field {
 public:
  enum class DateKind { Date, Time, Timestamp };
  struct Moment {
    DateTime value;
    DateKind kind;
  };
  // Integers keep their exactness; scaled numbers (NUMERIC, DECIMAL) are held with four places, or,
  // beyond Decimal's range, as their exact text, which asDecimal() refuses with EOverflowError.
  using Value = std::variant<std::monostate, std::int64_t, Decimal, double, std::string, Moment, bool>;

  Field() = default;
  explicit Field(Value value) : value_(std::move(value)) {}

  bool isNull() const { return std::holds_alternative<std::monostate>(value_); }
  // Numbers in plain decimal text, dates as "dd/mm/yyyy", times as "hh:nn:ss", booleans as
  // "True"/"False". Throws nothing.
  std::string asString() const;
  // Scaled and floating values are rounded half away from zero. Throws EConvertError for a text
  // that is not a whole number and for dates.
  std::int64_t asInteger() const;
  // Throws EConvertError for a text that is not a plain number and for dates.
  Decimal asDecimal() const;
  // Throws EConvertError for anything but a date, time or timestamp.
  DateTime asDateTime() const;

 private:
  Value value_;
};

}  // namespace varenta
