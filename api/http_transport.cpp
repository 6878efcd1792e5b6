#include "api/http_transport.h"

#include <curl/curl.h>
#include <openssl/ssl.h>

#include <algorithm>
#include <memory>

#include "api/transport_failure.h"

namespace varenta {
namespace {

struct CurlCleanup {
  void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

using HeaderList = std::unique_ptr<curl_slist, CurlCleanup>;

void append(HeaderList& list, const std::string& line) {
  curl_slist* grown = curl_slist_append(list.get(), line.c_str());
  if (grown == nullptr) throw transportFailure(CURLE_OUT_OF_MEMORY, false);
  static_cast<void>(list.release());  // the same list, grown by one line
  list.reset(grown);
}

std::size_t onBody(char* data, std::size_t size, std::size_t count, void* user) {
  static_cast<HttpResponse*>(user)->body.append(data, size * count);
  return size * count;
}

// Keeps the status line of the latest response (a redirect brings several); libcurl tells the
// status code but not the reason phrase, which the error of a failed answer carries.
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

CURLcode addExtraCa(CURL*, void* sslContext, void* user) {
  const auto* settings = static_cast<const TransportSettings*>(user);
  X509_STORE* store = SSL_CTX_get_cert_store(static_cast<SSL_CTX*>(sslContext));
  return X509_STORE_load_file(store, settings->extraCaFile.c_str()) == 1 ? CURLE_OK
                                                                         : CURLE_SSL_CACERT_BADFILE;
}

// libcurl would take "http:///api-minoristas/..." (what an empty base URL gives) for a URL whose
// host is "api-minoristas", and report a name that does not resolve; the cycle would then wait for
// the network instead of reporting a setting that is wrong.
bool hasHost(const std::string& url) {
  const std::size_t scheme = url.find("://");
  return scheme != std::string::npos && scheme + 3 < url.size() &&
         url.find_first_of("/?#", scheme + 3) != scheme + 3;
}

long wholeSecondsUp(std::chrono::milliseconds duration) {
  return std::max<long>(1, static_cast<long>((duration.count() + 999) / 1000));
}

}  // namespace

HttpResponse CurlTransport::send(const HttpRequest& request) {
  const TransportSettings& settings = settings_;
  if (!hasHost(request.url)) throw transportFailure(CURLE_URL_MALFORMAT, false);
  static const bool initialised = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
  const std::unique_ptr<CURL, CurlCleanup> curl(initialised ? curl_easy_init() : nullptr);
  if (!curl) throw transportFailure(CURLE_FAILED_INIT, false);
  CURL* handle = curl.get();

  HeaderList headers;
  for (const std::string& header : request.headers) append(headers, header);
  // libcurl would otherwise hold a large body back for a "100 Continue" the cloud may never send.
  if (request.body) append(headers, "Expect:");

  HttpResponse response;
  curl_easy_setopt(handle, CURLOPT_URL, request.url.c_str());
  curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
  // HTTP/2 answers carry no reason phrase, and the failure of a 5xx answer is reported by its status line.
  curl_easy_setopt(handle, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(handle, CURLOPT_MAXREDIRS, 10L);
  curl_easy_setopt(handle, CURLOPT_COOKIEFILE, "");  // cookies kept in memory, for this exchange only
  curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(settings.connectTimeout.count()));
  curl_easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(handle, CURLOPT_LOW_SPEED_TIME, wholeSecondsUp(settings.responseTimeout));
  curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers.get());
  if (!settings.extraCaFile.empty()) {
    curl_easy_setopt(handle, CURLOPT_SSL_CTX_FUNCTION, addExtraCa);
    curl_easy_setopt(handle, CURLOPT_SSL_CTX_DATA, &settings);
  }
  if (request.body) {
    curl_easy_setopt(handle, CURLOPT_POST, 1L);
    curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.body->size()));
    curl_easy_setopt(handle, CURLOPT_POSTFIELDS, request.body->data());
  }
  curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, onBody);
  curl_easy_setopt(handle, CURLOPT_WRITEDATA, &response);
  curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, onHeader);
  curl_easy_setopt(handle, CURLOPT_HEADERDATA, &response);

  const CURLcode result = curl_easy_perform(handle);
  if (result != CURLE_OK) {
    long requestSize = 0;
    curl_easy_getinfo(handle, CURLINFO_REQUEST_SIZE, &requestSize);
    throw transportFailure(result, requestSize > 0);
  }
  curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &response.status);
  const char* contentType = nullptr;
  curl_easy_getinfo(handle, CURLINFO_CONTENT_TYPE, &contentType);
  if (contentType != nullptr) response.contentType = contentType;
  return response;
}

}  // namespace varenta
