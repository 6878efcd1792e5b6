#include "base/regional.h"

namespace varenta {

std::string regionalDate(DateTime day, const RegionalSettings& settings) {
  return day.format("dd") + settings.dateSeparator + day.format("mm") + settings.dateSeparator +
         day.format("yyyy");
}

std::string regionalTimestamp(DateTime at, const RegionalSettings& settings) {
  return regionalDate(at, settings) + " " + at.format("hh") + settings.timeSeparator + at.format("nn") +
         settings.timeSeparator + at.format("ss");
}

}  // namespace varenta
