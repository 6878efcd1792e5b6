#pragma once
// One synchronous HTTP(S) exchange, built from scratch for every call: nothing (no connection,
// cookie or TLS session) outlives it. libcurl carries it on Linux (http_transport_curl.cpp), WinHTTP
// on Windows (http_transport_winhttp.cpp); both follow the rules below and report failures alike.

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace varenta {

struct TransportSettings {
  std::chrono::milliseconds connectTimeout{30000};  // name resolution and TLS included
  // How long the answer may keep the line silent, counted from the end of sending: it must begin
  // within this time and never pause longer.
  std::chrono::milliseconds responseTimeout{30000};
  // Trust besides the system's trust store, for tests only (never the configuration, and never the
  // program, which trusts the system's store alone): tests/standin/extra_trust.h makes one that
  // trusts the stand-in's own certificate authority. The transport hands it the platform's own
  // object, and it answers whether the exchange may go on: libcurl's SSL_CTX before each
  // handshake, to add the CA to; WinHTTP's server certificate (CERT_CONTEXT) after it, which
  // WinHTTP was told to take whatever its root, to vouch for.
  std::function<bool(void* platformObject)> extraTrust{};
  // How long the whole exchange may take, redirects included, however the answer keeps coming: an
  // answer trickled a byte at a time is never silent for long, and would otherwise hold the call
  // (and the cycle) for as long as the server likes.
  std::chrono::milliseconds callTimeout{std::chrono::minutes(5)};
};

struct HttpRequest {
  std::string url;                   // already normalised
  std::vector<std::string> headers;  // "Name: value", sent to every address of the exchange
  // "Name: value", sent only to the host of `url` (the credentials): on a redirect to another
  // host they stay behind.
  std::vector<std::string> hostHeaders;
  std::optional<std::string> body;  // a POST of these bytes when present, a GET otherwise
  // The most bytes an answer's body may have (each answer of the exchange, a redirect's included):
  // beyond it the exchange fails, before more of the answer is kept in memory.
  std::size_t maxAnswer = std::size_t{64} << 20;
};

struct HttpResponse {
  long status = 0;
  std::string version;  // as in the status line: "HTTP/1.1", "HTTP/1.0"
  std::string reason;   // the status line's reason phrase
  std::string contentType;
  std::string body;  // the bytes as received
};

// The seam through which every call of the cloud client goes: one request, its final response.
class HttpTransport {
 public:
  virtual ~HttpTransport() = default;
  // Follows redirects and answers the final response, whatever its status. A transport failure
  // raises ERestError with the message "REST request failed: Error sending data: (<code>)
  // <description>" (or "Error receiving data" once the request went out), with the Windows HTTP
  // error code of the failure; a name that does not resolve is (12007) however the resolving ends,
  // a resolver that does not answer within the connect time-out included.
  //
  // Redirects (301, 302, 303, 307, 308; ten at most) are followed as browsers do: 307 and 308 send
  // the method and body again, 303 and a POST answered 301 or 302 go on as a GET without a body. A
  // redirect keeps the host headers on the host of `url`, whatever its scheme or port (an upgrade
  // from http to https included), and leaves them behind on another host. An exchange that began
  // over HTTPS follows redirects to HTTPS only: one to plain http (where the body would travel
  // unencrypted) fails with (12156), a failed redirection.
  //
  // An answer's body longer than the request's maxAnswer fails with (12152), the server's answer
  // not being one the client can take; an exchange still running after the settings' callTimeout
  // fails with (12002), a time-out.
  virtual HttpResponse send(const HttpRequest& request) = 0;
};

// The real transport of the platform. Server certificates are verified against the system's
// trust store.
std::unique_ptr<HttpTransport> makeHttpTransport(TransportSettings settings = {});

}  // namespace varenta
