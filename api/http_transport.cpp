#include "api/http_transport.h"

#include <curl/curl.h>
#include <openssl/ssl.h>

#include <memory>

#include "api/read_timeout.h"
#include "api/transport_failure.h"
#include "base/text.h"

namespace varenta {
namespace {

constexpr int kMaxRedirects = 10;

struct CurlCleanup {
  void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
  void operator()(CURLU* url) const { curl_url_cleanup(url); }
  void operator()(char* text) const { curl_free(text); }
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

// Where a URL leads: its scheme in lower case and its host. Both are empty when libcurl cannot
// read it.
struct Address {
  std::string scheme;
  std::string host;
};

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

bool isRedirect(long status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// One request of the exchange: the first, or one a redirect asked for.
struct Hop {
  std::string url;
  const std::string* body;  // a POST of these bytes, or a GET
  bool sameHost;            // the host of the first request: its host headers go along
};

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

HttpResponse perform(CURL* handle, const HttpRequest& request, const Hop& hop, ReadTimeout& readTimeout) {
  HeaderList headers;
  if (hop.sameHost)
    for (const std::string& header : request.hostHeaders) append(headers, header);
  for (const std::string& header : request.headers) {
    // Without its body a GET has no content type.
    if (hop.body == nullptr && asciiLower(header).starts_with("content-type:")) continue;
    append(headers, header);
  }
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
  curl_easy_setopt(handle, CURLOPT_WRITEDATA, &response);
  curl_easy_setopt(handle, CURLOPT_HEADERDATA, &response);

  readTimeout.restart();
  const CURLcode result = curl_easy_perform(handle);
  if (result != CURLE_OK) {
    long requestSize = 0;
    curl_easy_getinfo(handle, CURLINFO_REQUEST_SIZE, &requestSize);
    throw transportFailure(failureOf(handle, result, readTimeout), requestSize > 0);
  }
  curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &response.status);
  const char* contentType = nullptr;
  curl_easy_getinfo(handle, CURLINFO_CONTENT_TYPE, &contentType);
  if (contentType != nullptr) response.contentType = contentType;
  return response;
}

// The request a redirect answer asks for, checked against where the exchange began.
Hop redirected(const Hop& from, long status, const std::string& location, const Address& origin) {
  const Address to = addressOf(location);
  if (to.scheme != "http" && to.scheme != "https") {
    throw transportFailure(CURLE_TOO_MANY_REDIRECTS, true,
                           "no redirect is followed to \"" + to.scheme + ":\"");
  }
  if (origin.scheme == "https" && to.scheme != "https") {
    throw transportFailure(CURLE_TOO_MANY_REDIRECTS, true,
                           "a call over HTTPS follows no redirect to http://" + to.host);
  }
  const bool keepsMethod = status == 307 || status == 308;
  return {location, keepsMethod ? from.body : nullptr, to.host == origin.host};
}

}  // namespace

HttpResponse CurlTransport::send(const HttpRequest& request) {
  const TransportSettings& settings = settings_;
  if (!hasHost(request.url)) throw transportFailure(CURLE_URL_MALFORMAT, false);
  static const bool initialised = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
  const std::unique_ptr<CURL, CurlCleanup> curl(initialised ? curl_easy_init() : nullptr);
  if (!curl) throw transportFailure(CURLE_FAILED_INIT, false);
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
  if (!settings.extraCaFile.empty()) {
    curl_easy_setopt(handle, CURLOPT_SSL_CTX_FUNCTION, addExtraCa);
    curl_easy_setopt(handle, CURLOPT_SSL_CTX_DATA, &settings);
  }
  curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, onBody);
  curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, onHeader);
  ReadTimeout readTimeout(handle, settings.responseTimeout);

  const Address origin = addressOf(request.url);
  Hop hop{request.url, request.body ? &*request.body : nullptr, true};
  for (int redirects = 0;; ++redirects) {
    HttpResponse response = perform(handle, request, hop, readTimeout);
    const char* location = nullptr;
    curl_easy_getinfo(handle, CURLINFO_REDIRECT_URL, &location);
    if (!isRedirect(response.status) || location == nullptr) return response;
    if (redirects == kMaxRedirects) throw transportFailure(CURLE_TOO_MANY_REDIRECTS, true);
    hop = redirected(hop, response.status, location, origin);
  }
}

}  // namespace varenta
