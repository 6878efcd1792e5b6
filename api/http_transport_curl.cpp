// The transport over libcurl (Linux).

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "api/http_exchange.h"
#include "api/http_transport.h"
#include "api/read_timeout.h"
#include "api/transport_failure.h"
#include "base/text.h"

namespace varenta {
namespace {

// The Windows HTTP code of a libcurl failure.
int winHttpCodeOf(CURLcode result) {
  switch (result) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
      return kErrorNameNotResolved;
    case CURLE_COULDNT_CONNECT:
      return kErrorCannotConnect;
    case CURLE_OPERATION_TIMEDOUT:
      return kErrorTimeout;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_ENGINE_INITFAILED:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_SSL_SHUTDOWN_FAILED:
    case CURLE_USE_SSL_FAILED:
      return kErrorSecureFailure;
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE:
    case CURLE_BAD_CONTENT_ENCODING:
      return kErrorConnectionError;
    case CURLE_URL_MALFORMAT:
    case CURLE_UNSUPPORTED_PROTOCOL:
      return kErrorInvalidUrl;
    case CURLE_TOO_MANY_REDIRECTS:
      return kErrorRedirectFailed;
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_HTTP2:
      return kErrorInvalidServerResponse;
    case CURLE_OUT_OF_MEMORY:
      return kErrorOutOfMemory;
    default:
      return kErrorInternal;
  }
}

// A failure the Windows codes have no name for also carries libcurl's own text.
ERestError curlFailure(CURLcode result, bool requestSent) {
  const int code = winHttpCodeOf(result);
  return transportFailure(code, requestSent, code == kErrorInternal ? curl_easy_strerror(result) : "");
}

struct CurlCleanup {
  void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
  void operator()(CURLU* url) const { curl_url_cleanup(url); }
  void operator()(char* text) const { curl_free(text); }
};

using HeaderList = std::unique_ptr<curl_slist, CurlCleanup>;

void append(HeaderList& list, const std::string& line) {
  curl_slist* grown = curl_slist_append(list.get(), line.c_str());
  if (grown == nullptr) throw curlFailure(CURLE_OUT_OF_MEMORY, false);
  static_cast<void>(list.release());  // the same list, grown by one line
  list.reset(grown);
}

// Where the body of one answer goes, and how much of it may come.
struct BodySink {
  HttpResponse& response;
  std::size_t max;
  bool tooLong = false;
};

std::size_t onBody(char* data, std::size_t size, std::size_t count, void* user) {
  BodySink& sink = *static_cast<BodySink*>(user);
  const std::size_t length = size * count;
  if (length > sink.max - sink.response.body.size()) {
    sink.tooLong = true;
    return 0;  // libcurl ends the transfer with CURLE_WRITE_ERROR
  }
  sink.response.body.append(data, length);
  return length;
}

// Keeps the status line of the response; libcurl tells the status code but not the reason phrase,
// which the error of a failed answer carries.
std::size_t onHeader(char* data, std::size_t size, std::size_t count, void* user) {
  std::string_view line(data, size * count);
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
  if (line.starts_with("HTTP/")) {
    HttpResponse& response = *static_cast<HttpResponse*>(user);
    const std::size_t afterVersion = line.find(' ');
    response.version = std::string(line.substr(0, afterVersion));
    const std::size_t afterCode =
        afterVersion == std::string_view::npos ? afterVersion : line.find(' ', afterVersion + 1);
    response.reason = afterCode == std::string_view::npos ? "" : std::string(line.substr(afterCode + 1));
  }
  return size * count;
}

// The test's trust besides the system's store, given the TLS context before the handshake.
CURLcode addExtraTrust(CURL*, void* sslContext, void* user) {
  const auto* settings = static_cast<const TransportSettings*>(user);
  return settings->extraTrust(sslContext) ? CURLE_OK : CURLE_SSL_CACERT_BADFILE;
}

// Where a URL leads, read by libcurl.
Address addressOf(const std::string& url) {
  Address address;
  const std::unique_ptr<CURLU, CurlCleanup> parsed(curl_url());
  if (!parsed || curl_url_set(parsed.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK) return address;
  for (auto [part, into] :
       {std::pair{CURLUPART_SCHEME, &address.scheme}, std::pair{CURLUPART_HOST, &address.host}}) {
    char* text = nullptr;
    if (curl_url_get(parsed.get(), part, &text, 0) != CURLUE_OK) return {};
    const std::unique_ptr<char, CurlCleanup> owned(text);
    *into = asciiLower(text);
  }
  return address;
}

// A failure as the operator should read it: libcurl reports a name still being resolved when the
// connect time-out ran out as a plain time-out, and a transfer ended for its silence as aborted.
CURLcode failureOf(CURL* handle, CURLcode result, const ReadTimeout& readTimeout) {
  if (result == CURLE_ABORTED_BY_CALLBACK && readTimeout.expired()) return CURLE_OPERATION_TIMEDOUT;
  if (result == CURLE_OPERATION_TIMEDOUT) {
    curl_off_t resolved = 0;  // microseconds until the name resolved; 0 while it never did
    curl_easy_getinfo(handle, CURLINFO_NAMELOOKUP_TIME_T, &resolved);
    if (resolved == 0) return CURLE_COULDNT_RESOLVE_HOST;
  }
  return result;
}

HttpResponse perform(CURL* handle, const HttpRequest& request, const Hop& hop, ReadTimeout& readTimeout,
                     std::chrono::steady_clock::time_point deadline) {
  // What is left of the call's time bounds this request, a redirect's included (a millisecond at
  // least: zero would mean no limit).
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());

  HeaderList headers;
  for (const std::string& header : headersOf(request, hop)) append(headers, header);
  // libcurl would otherwise hold a large body back for a "100 Continue" the cloud may never send.
  if (hop.body != nullptr) append(headers, "Expect:");

  HttpResponse response;
  curl_easy_setopt(handle, CURLOPT_URL, hop.url.c_str());
  curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers.get());
  if (hop.body != nullptr) {
    curl_easy_setopt(handle, CURLOPT_POST, 1L);
    curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(hop.body->size()));
    curl_easy_setopt(handle, CURLOPT_POSTFIELDS, hop.body->data());
  } else {
    curl_easy_setopt(handle, CURLOPT_HTTPGET, 1L);
  }
  BodySink body{response, request.maxAnswer};
  curl_easy_setopt(handle, CURLOPT_WRITEDATA, &body);
  curl_easy_setopt(handle, CURLOPT_HEADERDATA, &response);
  // An answer that announces its length fails before any of it is read.
  curl_easy_setopt(handle, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(request.maxAnswer));
  curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, std::max(1L, static_cast<long>(left.count())));

  readTimeout.restart();
  const CURLcode result = curl_easy_perform(handle);
  if (body.tooLong || result == CURLE_FILESIZE_EXCEEDED) throw answerTooLong(request.maxAnswer);
  if (result != CURLE_OK) {
    long requestSize = 0;
    curl_easy_getinfo(handle, CURLINFO_REQUEST_SIZE, &requestSize);
    throw curlFailure(failureOf(handle, result, readTimeout), requestSize > 0);
  }
  curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &response.status);
  const char* contentType = nullptr;
  curl_easy_getinfo(handle, CURLINFO_CONTENT_TYPE, &contentType);
  if (contentType != nullptr) response.contentType = contentType;
  return response;
}

// Each request of the exchange on the one handle, which keeps the exchange's cookies; libcurl
// tells where a redirect points, made absolute.
class CurlHops : public ExchangeHops {
 public:
  CurlHops(CURL* handle, const HttpRequest& request, ReadTimeout& readTimeout,
           std::chrono::steady_clock::time_point deadline)
      : handle_(handle), request_(request), readTimeout_(readTimeout), deadline_(deadline) {}

  HopAnswer send(const Hop& hop) override {
    HopAnswer answer{perform(handle_, request_, hop, readTimeout_, deadline_), std::nullopt};
    const char* location = nullptr;
    curl_easy_getinfo(handle_, CURLINFO_REDIRECT_URL, &location);
    if (location != nullptr) answer.location = location;
    return answer;
  }
  Address addressOf(const std::string& url) const override { return varenta::addressOf(url); }

 private:
  CURL* handle_;
  const HttpRequest& request_;
  ReadTimeout& readTimeout_;
  std::chrono::steady_clock::time_point deadline_;
};

class CurlTransport : public HttpTransport {
 public:
  explicit CurlTransport(TransportSettings settings) : settings_(std::move(settings)) {}
  HttpResponse send(const HttpRequest& request) override;

 private:
  TransportSettings settings_;
};

HttpResponse CurlTransport::send(const HttpRequest& request) {
  const TransportSettings& settings = settings_;
  if (!hasHost(request.url)) throw curlFailure(CURLE_URL_MALFORMAT, false);
  static const bool initialised = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
  const std::unique_ptr<CURL, CurlCleanup> curl(initialised ? curl_easy_init() : nullptr);
  if (!curl) throw curlFailure(CURLE_FAILED_INIT, false);
  CURL* handle = curl.get();

  // Redirects are followed here rather than by libcurl, which leaves the credentials behind on any
  // change of scheme or port (an upgrade to https on the same host included) and would follow an
  // HTTPS call to plain http.
  curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
  // HTTP/2 answers carry no reason phrase, and the failure of a 5xx answer is reported by its status line.
  curl_easy_setopt(handle, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  curl_easy_setopt(handle, CURLOPT_COOKIEFILE, "");  // cookies kept in memory, for this exchange only
  curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(settings.connectTimeout.count()));
  // A name the resolver is slow to answer fails when the connect time-out runs out; without this,
  // libcurl would still wait for the resolver before returning.
  curl_easy_setopt(handle, CURLOPT_QUICK_EXIT, 1L);
  if (settings.extraTrust) {
    curl_easy_setopt(handle, CURLOPT_SSL_CTX_FUNCTION, addExtraTrust);
    curl_easy_setopt(handle, CURLOPT_SSL_CTX_DATA, &settings);
  }
  curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, onBody);
  curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, onHeader);
  ReadTimeout readTimeout(handle, settings.responseTimeout);
  const auto deadline = std::chrono::steady_clock::now() + settings.callTimeout;

  CurlHops hops(handle, request, readTimeout, deadline);
  return runExchange(request, deadline, hops);
}

}  // namespace

std::unique_ptr<HttpTransport> makeHttpTransport(TransportSettings settings) {
  return std::make_unique<CurlTransport>(std::move(settings));
}

}  // namespace varenta
