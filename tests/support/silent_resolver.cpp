#include "tests/support/silent_resolver.h"

#include <dlfcn.h>
#include <netdb.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>

namespace varenta {
namespace {

struct State {
  std::mutex mutex;
  std::condition_variable changed;
  bool silent = false;
  int waiting = 0;
};

State& state() {
  static State instance;
  return instance;
}

}  // namespace

SilentResolver::SilentResolver() {
  std::lock_guard lock(state().mutex);
  state().silent = true;
}

SilentResolver::~SilentResolver() {
  State& s = state();
  std::unique_lock lock(s.mutex);
  s.silent = false;
  s.changed.notify_all();
  s.changed.wait(lock, [&] { return s.waiting == 0; });
}

int SilentResolver::waiting() const {
  std::lock_guard lock(state().mutex);
  return state().waiting;
}

}  // namespace varenta

extern "C" int getaddrinfo(const char* name, const char* service, const addrinfo* hints, addrinfo** result) {
  using Real = int (*)(const char*, const char*, const addrinfo*, addrinfo**);
  static const auto real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "getaddrinfo"));
  varenta::State& s = varenta::state();
  if (name == nullptr || std::strcmp(name, varenta::SilentResolver::kName) != 0) {
    return real(name, service, hints, result);
  }
  std::unique_lock lock(s.mutex);
  ++s.waiting;
  s.changed.wait_for(lock, std::chrono::seconds(30), [&] { return !s.silent; });
  --s.waiting;
  s.changed.notify_all();
  return EAI_AGAIN;
}
