#include "storedb/field.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "base/error.h"

namespace varenta {
namespace {

template <class... F>
struct Overload : F... {
  using F::operator()...;
};
// C++20 deduces this aggregate's arguments by itself, but clang before 17 does not: without the guide
// the fuzz build (clang) fails where g++ builds.
template <class... F>
Overload(F...) -> Overload<F...>;

std::string doubleText(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.15g", v);
  return text;
}

std::int64_t roundedInteger(Decimal d) {
  const std::int64_t units = d.units();
  const std::int64_t half = units < 0 ? -Decimal::kScale / 2 : Decimal::kScale / 2;
  return (units + half) / Decimal::kScale;
}

}  // namespace

std::string Field::asString() const {
  return std::visit(Overload{
                        [](std::monostate) { return std::string(); },
                        [](std::int64_t v) { return std::to_string(v); },
                        [](Decimal v) { return v.toString(); },
                        [](double v) { return doubleText(v); },
                        [](const std::string& v) { return v; },
                        [](const Moment& m) {
                          switch (m.kind) {
                            case DateKind::Date:
                              return m.value.format("dd/mm/yyyy");
                            case DateKind::Time:
                              return m.value.format("hh:nn:ss");
                            case DateKind::Timestamp:
                              break;
                          }
                          return m.value.format("dd/mm/yyyy hh:nn:ss");
                        },
                        [](bool v) { return std::string(v ? "True" : "False"); },
                    },
                    value_);
}

std::int64_t Field::asInteger() const {
  return std::visit(Overload{
                        [](std::monostate) -> std::int64_t { return 0; },
                        [](std::int64_t v) { return v; },
                        [](Decimal v) { return roundedInteger(v); },
                        [](double v) { return roundedInteger(Decimal::fromDouble(v)); },
                        [](const std::string& v) {
                          std::int64_t out = 0;
                          const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), out);
                          if (v.empty() || ec != std::errc() || end != v.data() + v.size())
                            throw EConvertError("'" + v + "' is not a valid integer value");
                          return out;
                        },
                        [](const Moment& m) -> std::int64_t {
                          throw EConvertError("'" + m.value.format("dd/mm/yyyy hh:nn:ss") +
                                              "' is not a valid integer value");
                        },
                        [](bool v) -> std::int64_t { return v ? 1 : 0; },
                    },
                    value_);
}

Decimal Field::asDecimal() const {
  return std::visit(Overload{
                        [](std::monostate) { return Decimal(); },
                        [](std::int64_t v) { return Decimal::fromInt(v); },
                        [](Decimal v) { return v; },
                        [](double v) { return Decimal::fromDouble(v); },
                        [](const std::string& v) { return Decimal::parse(v); },
                        [](const Moment& m) -> Decimal {
                          throw EConvertError("'" + m.value.format("dd/mm/yyyy hh:nn:ss") +
                                              "' is not a valid decimal value");
                        },
                        [](bool v) { return Decimal::fromInt(v ? 1 : 0); },
                    },
                    value_);
}

DateTime Field::asDateTime() const {
  if (isNull()) return DateTime();
  if (const Moment* m = std::get_if<Moment>(&value_)) return m->value;
  throw EConvertError("'" + asString() + "' is not a valid date and time");
}

}  // namespace varenta
