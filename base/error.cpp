#include "base/error.h"

#include <cxxabi.h>

#include <cstdlib>
#include <memory>
#include <typeinfo>

namespace varenta {

std::string errorTypeName(const std::exception& error) {
  if (const auto* ours = dynamic_cast<const Error*>(&error)) return ours->typeName();
  const char* mangled = typeid(error).name();
  int status = 0;
  std::unique_ptr<char, decltype(&std::free)> plain(abi::__cxa_demangle(mangled, nullptr, nullptr, &status),
                                                    &std::free);
  return status == 0 && plain ? plain.get() : mangled;
}

std::string errorLine(std::string_view prefix, const std::exception& error) {
  return std::string(prefix) + errorTypeName(error) + "\r\nMensagem: " + error.what();
}

}  // namespace varenta
