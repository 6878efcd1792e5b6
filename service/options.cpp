#include "service/options.h"

#include <cmath>
#include <cstdlib>
#include <string>

#include "base/error.h"

namespace varenta {

std::chrono::milliseconds ServiceOptions::scaled(std::chrono::milliseconds wait) const {
  return std::chrono::milliseconds(std::llround(static_cast<double>(wait.count()) * timeScale));
}

double parseTimeScale(std::string_view text) {
  // Beyond a million the longest wait (the three minutes before the first tick) no longer fits the
  // clock the waits are counted on, and would come at once instead of never.
  constexpr double kLargest = 1e6;
  const auto fail = [&] {
    throw EConvertError("VARENTA_TIME_SCALE: \"" + std::string(text) +
                        "\" is not a positive decimal number up to 1000000 (such as 0.01 or 2)");
  };
  const auto dot = text.find('.');
  const std::string_view whole = text.substr(0, dot);
  const std::string_view fraction = dot == std::string_view::npos ? std::string_view() : text.substr(dot + 1);
  const auto digits = [](std::string_view part) {
    return part.find_first_not_of("0123456789") == std::string_view::npos;
  };
  if (whole.empty() || !digits(whole) || !digits(fraction) ||
      (dot != std::string_view::npos && fraction.empty()))
    fail();
  const double scale = std::strtod(std::string(text).c_str(), nullptr);
  if (!(scale > 0) || scale > kLargest) fail();
  return scale;
}

ServiceOptions optionsFromEnvironment() {
  ServiceOptions options;
  if (const char* scale = std::getenv("VARENTA_TIME_SCALE")) options.timeScale = parseTimeScale(scale);
  if (const char* hosts = std::getenv("VARENTA_PROBE_HOSTS")) options.probeHosts = parseProbeHosts(hosts);
  return options;
}

}  // namespace varenta
