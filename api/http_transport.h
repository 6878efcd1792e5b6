#pragma once
// One synchronous HTTP(S) exchange over libcurl, built from scratch for every call: nothing (no
// connection, cookie or TLS session) outlives it.

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace varenta {

struct TransportSettings {
  std::chrono::milliseconds connectTimeout{30000};  // name resolution included
  // How long the answer may keep the line silent; libcurl counts it in whole seconds (rounded up).
  std::chrono::milliseconds responseTimeout{30000};
  // A CA certificate (PEM) trusted besides the system's trust store. Only code sets it, never the
  // configuration: tests use it to trust the stand-in's certificate.
  std::filesystem::path extraCaFile;
};

struct HttpRequest {
  std::string url;                   // already normalised
  std::vector<std::string> headers;  // "Name: value"
  std::optional<std::string> body;   // a POST of these bytes when present, a GET otherwise
};

struct HttpResponse {
  long status = 0;
  std::string version;  // as in the status line: "HTTP/1.1", "HTTP/1.0"
  std::string reason;   // the status line's reason phrase
  std::string contentType;
  std::string body;  // the bytes as received
};

// Follows redirects and answers the final response, whatever its status. Server certificates are
// verified against the system's trust store. A transport failure raises ERestError with the message
// "REST request failed: Error sending data: (<code>) <description>" (or "Error receiving data"
// once the request went out), with the Windows HTTP error code of the failure.
HttpResponse sendRequest(const HttpRequest& request, const TransportSettings& settings);

}  // namespace varenta
