#pragma once
// SilentResolver (tests): while one exists, looking up the name SilentResolver::kName behaves as
// behind a DNS server that never answers: the C library's getaddrinfo, replaced in any test program
// that uses this class, blocks for that name alone until the resolver object goes (or 30 seconds
// pass) and then fails. Every other name resolves as usual.

#include <chrono>

namespace varenta {

class SilentResolver {
 public:
  static constexpr const char* kName = "silent-dns.test";
  // Under wine only (silent_dns_preload.cpp): a name that resolves to 127.0.0.1, slowly.
  static constexpr const char* kSlowName = "slow-dns.test";
  static constexpr std::chrono::milliseconds kSlowAnswer{2500};

  SilentResolver();
  // Lets the blocked lookups fail and waits until they have returned.
  ~SilentResolver();
  SilentResolver(const SilentResolver&) = delete;
  SilentResolver& operator=(const SilentResolver&) = delete;

  // Lookups of kName blocked right now.
  int waiting() const;
};

}  // namespace varenta
