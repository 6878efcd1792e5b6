#include "base/iso8601.h"

#include <chrono>
#include <cstdint>

namespace varenta {
namespace {

constexpr std::int64_t kMillisPerHour = 3'600'000;
constexpr std::int64_t kMillisPerMinute = 60'000;
constexpr std::int64_t kMillisPerSecond = 1'000;

class Cursor {
 public:
  explicit Cursor(std::string_view text) : text_(text) {}

  bool done() const { return pos_ == text_.size(); }
  bool peek(char c) const { return pos_ < text_.size() && text_[pos_] == c; }
  bool take(char c) { return peek(c) ? (++pos_, true) : false; }
  bool digitAt(std::size_t offset) const {
    return pos_ + offset < text_.size() && text_[pos_ + offset] >= '0' && text_[pos_ + offset] <= '9';
  }
  // Exactly `count` digits as a number, or nothing.
  std::optional<int> digits(int count) {
    int value = 0;
    for (int i = 0; i < count; ++i, ++pos_) {
      if (!digitAt(0)) return std::nullopt;
      value = value * 10 + (text_[pos_] - '0');
    }
    return value;
  }
  // A decimal fraction after "." or "," as that share of `unit` milliseconds, cut to the
  // millisecond; 0 when there is none, nothing when the separator has no digits after it.
  std::optional<std::int64_t> fraction(std::int64_t unit) {
    if (!take('.') && !take(',')) return 0;
    if (!digitAt(0)) return std::nullopt;
    std::int64_t numerator = 0;
    std::int64_t denominator = 1;
    for (; digitAt(0); ++pos_) {
      // Nine digits are finer than a millisecond of any unit; the rest only has to be digits.
      if (denominator < 1'000'000'000) numerator = numerator * 10 + (text_[pos_] - '0'), denominator *= 10;
    }
    return numerator * unit / denominator;
  }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
};

std::optional<std::chrono::sys_days> readDate(Cursor& in) {
  const std::optional<int> year = in.digits(4);
  const bool extended = in.take('-');
  const std::optional<int> month = in.digits(2);
  if (extended && !in.take('-')) return std::nullopt;
  const std::optional<int> day = in.digits(2);
  if (!year || !month || !day) return std::nullopt;
  const std::chrono::year_month_day date{std::chrono::year(*year),
                                         std::chrono::month(static_cast<unsigned>(*month)),
                                         std::chrono::day(static_cast<unsigned>(*day))};
  if (!date.ok()) return std::nullopt;
  return std::chrono::sys_days(date);
}

// Hours, then minutes and seconds when present, the last of them with its fraction; the time of
// day in milliseconds (24:00 gives a whole day).
std::optional<std::int64_t> readTime(Cursor& in) {
  const std::optional<int> hour = in.digits(2);
  if (!hour) return std::nullopt;
  const bool extended = in.peek(':');
  const auto next = [&]() -> std::optional<int> {
    if (extended ? in.take(':') : in.digitAt(0) && in.digitAt(1)) return in.digits(2);
    return -1;  // not given
  };
  const std::optional<int> minute = next();
  const std::optional<int> second = minute && *minute >= 0 ? next() : -1;
  if (!minute || !second || *minute > 59 || *second > 59) return std::nullopt;
  const std::int64_t unit = *minute < 0 ? kMillisPerHour : *second < 0 ? kMillisPerMinute : kMillisPerSecond;
  const std::optional<std::int64_t> fraction = in.fraction(unit);
  if (!fraction) return std::nullopt;
  const std::int64_t millis = *hour * kMillisPerHour + std::max(*minute, 0) * kMillisPerMinute +
                              std::max(*second, 0) * kMillisPerSecond + *fraction;
  // The end of the day is 24:00 exactly, never later.
  if (*hour > 24 || millis > 24 * kMillisPerHour) return std::nullopt;
  return millis;
}

// Minutes east of UTC; 0 for "Z" and for no zone at all.
std::optional<int> readZone(Cursor& in) {
  if (in.take('Z')) return 0;
  const int sign = in.take('+') ? 1 : in.take('-') ? -1 : 0;
  if (sign == 0) return 0;
  const std::optional<int> hours = in.digits(2);
  std::optional<int> minutes = 0;
  if (in.take(':') || (in.digitAt(0) && in.digitAt(1))) minutes = in.digits(2);
  if (!hours || !minutes || *hours > 23 || *minutes > 59) return std::nullopt;
  return sign * (*hours * 60 + *minutes);
}

}  // namespace

std::optional<DateTime> parseIso8601(std::string_view text) {
  Cursor in(text);
  const std::optional<std::chrono::sys_days> date = readDate(in);
  if (!date) return std::nullopt;
  std::int64_t timeMillis = 0;
  int offsetMinutes = 0;
  if (in.take('T')) {
    const std::optional<std::int64_t> time = readTime(in);
    const std::optional<int> zone = time ? readZone(in) : std::nullopt;
    if (!zone) return std::nullopt;
    timeMillis = *time;
    offsetMinutes = *zone;
  }
  if (!in.done()) return std::nullopt;
  return DateTime::fromDays(*date) + std::chrono::milliseconds(timeMillis) -
         std::chrono::minutes(offsetMinutes);
}

}  // namespace varenta
