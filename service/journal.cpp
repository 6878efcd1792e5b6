#include "service/journal.h"

#include <iostream>

#include "base/error.h"

namespace varenta {

void reportToJournal(const std::exception& error) {
  std::cerr << "SrvVarenta: " << errorTypeName(error) << " - " << error.what() << std::endl;
}

void reportToJournal(std::string_view text) {
  std::cerr << "SrvVarenta: " << text << std::endl;
}

}  // namespace varenta
