#include "base/log.h"

#include <iostream>

#include "base/error.h"

namespace varenta {

void LogOrReport::DoSaveLog(std::string_view message) {
  try {
    log_.DoSaveLog(message);
  } catch (const std::exception& e) {
    log_.reportLost(message, e);
  }
}

void ServiceLog::reportLost(std::string_view line, const std::exception& error) {
  std::cerr << "SrvVarenta: lost log line \"" << line << "\": " << errorTypeName(error) << " - "
            << error.what() << std::endl;
}

}  // namespace varenta
