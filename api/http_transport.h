#pragma once
// One synchronous HTTP(S) exchange over libcurl, built from scratch for every call: nothing (no
// connection, cookie or TLS session) outlives it.

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
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

// The seam through which every call of the cloud client goes: one request, its final response.
class HttpTransport {
 public:
  virtual ~HttpTransport() = default;
  // Follows redirects and answers the final response, whatever its status. A transport failure
  // raises ERestError with the message "REST request failed: Error sending data: (<code>)
  // <description>" (or "Error receiving data" once the request went out), with the Windows HTTP
  // error code of the failure.
  virtual HttpResponse send(const HttpRequest& request) = 0;
};

// The real transport, over libcurl. Server certificates are verified against the system's trust
// store.
class CurlTransport : public HttpTransport {
 public:
  explicit CurlTransport(TransportSettings settings = {}) : settings_(std::move(settings)) {}
  HttpResponse send(const HttpRequest& request) override;

 private:
  TransportSettings settings_;
};

}  // namespace varenta
