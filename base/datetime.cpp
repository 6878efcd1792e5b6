#include "base/datetime.h"

#include <cstdio>

#include "base/error.h"

namespace varenta {
namespace {

namespace chr = std::chrono;
using chr::sys_days;
using chr::year_month_day;

constexpr sys_days kZeroDay = sys_days(chr::year(1899) / chr::December / 30);
constexpr std::int64_t kMillisPerDay = 86'400'000;

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
  return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

}  // namespace

DateTime DateTime::fromParts(int y, int m, int d, int h, int n, int s, int ms) {
  const year_month_day ymd{chr::year(y), chr::month(static_cast<unsigned>(m)),
                           chr::day(static_cast<unsigned>(d))};
  if (m < 1 || m > 12 || d < 1 || d > 31 || !ymd.ok() || h < 0 || h > 23 || n < 0 || n > 59 || s < 0 ||
      s > 59 || ms < 0 || ms > 999) {
    char text[64];
    std::snprintf(text, sizeof text, "Invalid date or time: %04d-%02d-%02d %02d:%02d:%02d.%03d", y, m, d, h,
                  n, s, ms);
    throw EConvertError(text);
  }
  const std::int64_t tod = ((h * 60LL + n) * 60 + s) * 1000 + ms;
  return DateTime(fromDays(sys_days(ymd)).millis_ + tod);
}

DateTime DateTime::fromDays(sys_days d) {
  return DateTime((d - kZeroDay).count() * kMillisPerDay);
}

sys_days DateTime::days() const {
  return kZeroDay + std::chrono::days(floorDiv(millis_, kMillisPerDay));
}

chr::milliseconds DateTime::timeOfDay() const {
  return chr::milliseconds(millis_ - floorDiv(millis_, kMillisPerDay) * kMillisPerDay);
}

DateTime DateTime::date() const {
  return fromDays(days());
}

int DateTime::year() const {
  return static_cast<int>(ymd().year());
}
int DateTime::month() const {
  return static_cast<int>(static_cast<unsigned>(ymd().month()));
}
int DateTime::day() const {
  return static_cast<int>(static_cast<unsigned>(ymd().day()));
}
int DateTime::hour() const {
  return static_cast<int>(timeOfDay().count() / 3'600'000);
}
int DateTime::minute() const {
  return static_cast<int>(timeOfDay().count() / 60'000 % 60);
}
int DateTime::second() const {
  return static_cast<int>(timeOfDay().count() / 1000 % 60);
}
int DateTime::millisecond() const {
  return static_cast<int>(timeOfDay().count() % 1000);
}

DateTime DateTime::addMonths(int months) const {
  const year_month_day d = ymd();
  const chr::year_month target = chr::year_month(d.year(), d.month()) + chr::months(months);
  const chr::day last = chr::year_month_day_last(target.year(), chr::month_day_last(target.month())).day();
  const year_month_day moved(target.year(), target.month(), d.day() > last ? last : d.day());
  return DateTime(fromDays(sys_days(moved)).millis_ + timeOfDay().count());
}

std::string DateTime::format(std::string_view pattern) const {
  std::string out;
  out.reserve(pattern.size() + 4);
  const auto put = [&out](int value, int width) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*d", width, value);
    out += text;
  };
  for (std::size_t i = 0; i < pattern.size();) {
    const std::string_view rest = pattern.substr(i);
    if (rest.starts_with("yyyy")) {
      put(year(), 4), i += 4;
    } else if (rest.starts_with("zzz")) {
      put(millisecond(), 3), i += 3;
    } else if (rest.starts_with("mm")) {
      put(month(), 2), i += 2;
    } else if (rest.starts_with("dd")) {
      put(day(), 2), i += 2;
    } else if (rest.starts_with("hh")) {
      put(hour(), 2), i += 2;
    } else if (rest.starts_with("nn")) {
      put(minute(), 2), i += 2;
    } else if (rest.starts_with("ss")) {
      put(second(), 2), i += 2;
    } else {
      out += pattern[i++];
    }
  }
  return out;
}

}  // namespace varenta
