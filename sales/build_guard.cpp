#include "sales/build_guard.h"

#include <exception>

#include "base/error.h"

namespace varenta {

std::optional<Movement> guardedBuild(ServiceLog& log, std::string_view prefix,
                                     const std::function<Movement()>& build) {
  try {
    return build();
  } catch (const EDatabaseError&) {
    throw;
  } catch (const std::exception& e) {
    log.DoSaveLog("");
    log.DoSaveLog(errorLine(prefix, e));
    return std::nullopt;
  }
}

}  // namespace varenta
