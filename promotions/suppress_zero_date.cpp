#include "promotions/suppress_zero_date.h"

#include <chrono>

#include "base/error.h"

namespace varenta {
namespace {

// Reads ISO 8601 text left to right; every step fails softly so that one message covers all.
class IsoReader {
 public:
  explicit IsoReader(std::string_view text) : text_(text) {}

  bool done() const { return pos_ == text_.size(); }
  bool take(char c) {
    if (pos_ < text_.size() && text_[pos_] == c) return ++pos_, true;
    return false;
  }
  bool peekDigit() const { return pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9'; }
  // Exactly `count` digits as a number, or -1.
  int digits(int count) {
    int value = 0;
    for (int i = 0; i < count; ++i, ++pos_) {
      if (!peekDigit()) return -1;
      value = value * 10 + (text_[pos_] - '0');
    }
    return value;
  }
  // One or more digits of a fraction of a second, as milliseconds (finer digits are cut off).
  int fractionMillis() {
    if (!peekDigit()) return -1;
    int millis = 0;
    for (int scale = 100; peekDigit(); ++pos_, scale /= 10) millis += (text_[pos_] - '0') * scale;
    return millis;
  }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
};

[[noreturn]] void notIso(std::string_view text) {
  throw EConvertError("\"" + std::string(text) + "\" is not a valid ISO 8601 date");
}

}  // namespace

std::string TSuppressZeroDateInterceptor::StringConverter(DateTime value) {
  return value.isZero() ? std::string() : value.format("yyyy-mm-ddThh:nn:ss.zzzZ");
}

DateTime TSuppressZeroDateInterceptor::StringReverter(std::string_view text) {
  if (text.empty()) return DateTime();
  IsoReader in(text);
  const int year = in.digits(4);
  const int month = in.take('-') ? in.digits(2) : -1;
  const int day = in.take('-') ? in.digits(2) : -1;
  if (year < 0 || month < 0 || day < 0) notIso(text);
  int hour = 0, minute = 0, second = 0, millis = 0, offsetMinutes = 0;
  if (in.take('T')) {
    hour = in.digits(2);
    minute = in.take(':') ? in.digits(2) : -1;
    if (in.take(':')) {
      second = in.digits(2);
      if (in.take('.')) millis = in.fractionMillis();
    }
    if (hour < 0 || minute < 0 || second < 0 || millis < 0) notIso(text);
    if (!in.take('Z') && !in.done()) {
      const int sign = in.take('+') ? 1 : in.take('-') ? -1 : 0;
      const int zoneHours = in.digits(2);
      const int zoneMinutes = in.done() ? 0 : (in.take(':'), in.digits(2));
      if (sign == 0 || zoneHours < 0 || zoneHours > 23 || zoneMinutes < 0 || zoneMinutes > 59) notIso(text);
      offsetMinutes = sign * (zoneHours * 60 + zoneMinutes);
    }
  }
  if (!in.done()) notIso(text);
  try {
    return DateTime::fromParts(year, month, day, hour, minute, second, millis) -
           std::chrono::minutes(offsetMinutes);
  } catch (const EConvertError&) {
    notIso(text);
  }
}

}  // namespace varenta
