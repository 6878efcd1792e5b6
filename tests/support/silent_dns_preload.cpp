// The silent resolver for the Windows tests: wine resolves names in its own Linux process through the
// C library, so the Windows suite runs under wine with this library in LD_PRELOAD. A lookup of
// SilentResolver::kName then behaves as behind a DNS server that never answers: it blocks for 30
// seconds and fails; a lookup of SilentResolver::kSlowName answers 127.0.0.1 after kSlowAnswer;
// every other name resolves as usual. (A Linux test program replaces getaddrinfo
// from inside, through SilentResolver.)

#include <dlfcn.h>
#include <netdb.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "tests/support/silent_resolver.h"

extern "C" int getaddrinfo(const char* name, const char* service, const addrinfo* hints, addrinfo** result) {
  using Real = int (*)(const char*, const char*, const addrinfo*, addrinfo**);
  static const auto real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "getaddrinfo"));
  if (name != nullptr && std::strcmp(name, varenta::SilentResolver::kSlowName) == 0) {
    std::this_thread::sleep_for(varenta::SilentResolver::kSlowAnswer);
    return real("127.0.0.1", service, hints, result);
  }
  if (name == nullptr || std::strcmp(name, varenta::SilentResolver::kName) != 0) {
    return real(name, service, hints, result);
  }
  std::this_thread::sleep_for(std::chrono::seconds(30));
  return EAI_AGAIN;
}
