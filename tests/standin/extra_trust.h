#pragma once
// Trust in the test's own certificate authority besides the system's store, for a transport of the
// cloud client (TransportSettings::extraTrust). Test code: the program trusts the system's store
// alone. On Linux the CA is added to libcurl's TLS context; on Windows WinHTTP's server
// certificate is checked against it, by building its chain with the CA and the intermediates the
// server sent.

#include <filesystem>
#include <functional>

namespace varenta {

// Trusts the first certificate of the PEM file `caFile` as a root; a file that cannot be read
// trusts nothing, and the exchange fails as for an unknown root.
std::function<bool(void*)> extraTrustIn(const std::filesystem::path& caFile);

}  // namespace varenta
