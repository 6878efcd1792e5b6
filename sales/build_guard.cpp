#include "sales/build_guard.h"

#include <exception>

#include "base/error.h"

namespace varenta {
namespace {

std::nullopt_t failedBuild(ServiceLog& log, std::string_view prefix, const std::exception& error) {
  log.DoSaveLog("");
  log.DoSaveLog(errorLine(prefix, error));
  return std::nullopt;
}

}  // namespace

std::optional<Movement> guardedBuild(ServiceLog& log, std::string_view prefix,
                                     const std::function<Movement()>& build) {
  try {
    return build();
  } catch (const EDatabaseError& e) {
    if (!e.valueFault()) throw;
    return failedBuild(log, prefix, e);
  } catch (const std::exception& e) {
    return failedBuild(log, prefix, e);
  }
}

}  // namespace varenta
