#pragma once
// DateTime: a local wall-clock instant with millisecond precision and no time zone. The zero value
// is the "zero date-time", 30 Dec 1899 00:00:00.000, which several rules use to mean "not set".

#include <chrono>
#include <compare>
#include <cstdint>
#include <string>
#include <string_view>

namespace varenta {

class DateTime {
 public:
  constexpr DateTime() = default;

  // Throws EConvertError when a part is out of range (month 13, 31 April, hour 24, ...).
  static DateTime fromParts(int year, int month, int day, int hour = 0, int minute = 0, int second = 0,
                            int millisecond = 0);
  static DateTime fromDays(std::chrono::sys_days day);
  static constexpr DateTime fromMillis(std::int64_t millisSinceZero) { return DateTime(millisSinceZero); }

  bool isZero() const { return millis_ == 0; }
  std::int64_t millisSinceZero() const { return millis_; }

  int year() const;
  int month() const;
  int day() const;
  int hour() const;
  int minute() const;
  int second() const;
  int millisecond() const;
  std::chrono::sys_days days() const;  // the calendar day of this instant
  std::chrono::year_month_day ymd() const { return std::chrono::year_month_day(days()); }

  DateTime date() const;  // the same day at 00:00:00.000
  std::chrono::milliseconds timeOfDay() const;

  DateTime operator+(std::chrono::milliseconds d) const { return DateTime(millis_ + d.count()); }
  DateTime operator-(std::chrono::milliseconds d) const { return DateTime(millis_ - d.count()); }
  std::chrono::milliseconds operator-(DateTime other) const {
    return std::chrono::milliseconds(millis_ - other.millis_);
  }
  // Calendar months forward (or back, when negative); a day past the end of the target month
  // becomes that month's last day (31 March minus one month is 29 or 28 February). Time is kept.
  DateTime addMonths(int months) const;

  auto operator<=>(const DateTime&) const = default;

  // Formats with the tokens yyyy, mm (month), dd, hh, nn (minute), ss, zzz (milliseconds);
  // every other character is copied. "dd/mm/yyyy hh:nn:ss" gives "05/03/2024 14:07:09".
  std::string format(std::string_view pattern) const;

 private:
  constexpr explicit DateTime(std::int64_t millis) : millis_(millis) {}
  std::int64_t millis_ = 0;  // milliseconds since 1899-12-30 00:00:00.000
};

}  // namespace varenta
