#include "closing/request_date.h"

#include <chrono>

namespace varenta {
namespace {

class Cursor {
 public:
  explicit Cursor(std::string_view text) : text_(text) {}

  bool done() const { return pos_ == text_.size(); }
  bool take(char c) {
    if (pos_ >= text_.size() || text_[pos_] != c) return false;
    ++pos_;
    return true;
  }
  bool digitNext() const { return pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9'; }
  // Exactly `count` digits as a number, or nothing.
  std::optional<int> digits(int count) {
    int value = 0;
    for (int i = 0; i < count; ++i, ++pos_) {
      if (!digitNext()) return std::nullopt;
      value = value * 10 + (text_[pos_] - '0');
    }
    return value;
  }
  // The milliseconds of a fraction of a second after "." (finer digits are cut off); 0 without one.
  std::optional<int> millis() {
    if (!take('.')) return 0;
    if (!digitNext()) return std::nullopt;
    int value = 0;
    for (int scale = 100; digitNext(); ++pos_, scale /= 10) value += (text_[pos_] - '0') * scale;
    return value;
  }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
};

// "hh:nn", "hh:nn:ss" or "hh:nn:ss.fff" as milliseconds of the day.
std::optional<std::chrono::milliseconds> readTime(Cursor& in) {
  const std::optional<int> hour = in.digits(2);
  const std::optional<int> minute = in.take(':') ? in.digits(2) : std::nullopt;
  const std::optional<int> second = in.take(':') ? in.digits(2) : 0;
  const std::optional<int> millis = second ? in.millis() : std::nullopt;
  if (!hour || !minute || !second || !millis || *hour > 23 || *minute > 59 || *second > 59)
    return std::nullopt;
  return std::chrono::hours(*hour) + std::chrono::minutes(*minute) + std::chrono::seconds(*second) +
         std::chrono::milliseconds(*millis);
}

// The zone as minutes east of UTC: 0 for "Z" and for none.
std::optional<int> readZone(Cursor& in) {
  if (in.take('Z')) return 0;
  const int sign = in.take('+') ? 1 : in.take('-') ? -1 : 0;
  if (sign == 0) return 0;
  const std::optional<int> hours = in.digits(2);
  const std::optional<int> minutes = in.take(':') || in.digitNext() ? in.digits(2) : 0;
  if (!hours || !minutes || *hours > 23 || *minutes > 59) return std::nullopt;
  return sign * (*hours * 60 + *minutes);
}

}  // namespace

std::optional<DateTime> readRequestDate(std::string_view text) {
  Cursor in(text);
  const std::optional<int> year = in.digits(4);
  const std::optional<int> month = in.take('-') ? in.digits(2) : std::nullopt;
  const std::optional<int> day = in.take('-') ? in.digits(2) : std::nullopt;
  if (!year || !month || !day) return std::nullopt;
  const std::chrono::year_month_day date{std::chrono::year(*year), std::chrono::month(*month),
                                         std::chrono::day(*day)};
  if (!date.ok()) return std::nullopt;
  std::chrono::milliseconds time{0};
  int zone = 0;
  if (in.take('T')) {
    const std::optional<std::chrono::milliseconds> read = readTime(in);
    const std::optional<int> offset = read ? readZone(in) : std::nullopt;
    if (!offset) return std::nullopt;
    time = *read;
    zone = *offset;
  }
  if (!in.done()) return std::nullopt;
  return DateTime::fromDays(std::chrono::sys_days(date)) + time - std::chrono::minutes(zone);
}

}  // namespace varenta
