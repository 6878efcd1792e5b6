// The transport over WinHTTP (Windows).

#include <windows.h>
// after windows.h, which they need
#include <wincrypt.h>
#include <winhttp.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <utility>
#include <vector>

#include "api/http_exchange.h"
#include "api/http_transport.h"
#include "api/transport_failure.h"
#include "api/url.h"
#include "api/winhttp_handle.h"
#include "base/text.h"

namespace varenta {
namespace {

// What one request learns through WinHTTP's status callback while WinHttpSendRequest runs.
struct RequestWatch {
  RequestWatch(const TransportSettings& s, bool isSecure, std::chrono::steady_clock::time_point by)
      : settings(s), secure(isSecure), connectBy(by) {}

  const TransportSettings& settings;
  bool secure;
  bool nameResolved = false;  // the exchange got past the name, to connecting at least
  bool requestSent = false;
  bool certificateRefused = false;  // the request handle was closed in the callback for it
  DWORD secureFailure = 0;          // WinHTTP's WINHTTP_CALLBACK_STATUS_FLAG_* for a TLS failure

  // WinHTTP gives name resolution a time-out and connecting another, and may start the connect
  // time-out again for each address a name resolves to; the promise is one bound for reaching the
  // server, resolution included. Each connect is given what is left of it.
  std::chrono::steady_clock::time_point connectBy;
};

// What WinHTTP's secure-failure flags say, in words: the reasons a certificate or the secure
// channel was refused.
std::string secureFailureReasons(DWORD flags) {
  static const struct {
    DWORD flag;
    const char* reason;
  } reasons[] = {
      {WINHTTP_CALLBACK_STATUS_FLAG_CERT_REVOKED, "the certificate was revoked"},
      {WINHTTP_CALLBACK_STATUS_FLAG_INVALID_CA, "the certificate's root is not trusted"},
      {WINHTTP_CALLBACK_STATUS_FLAG_CERT_CN_INVALID, "the certificate names another host"},
      {WINHTTP_CALLBACK_STATUS_FLAG_CERT_DATE_INVALID, "the certificate has expired or is not yet valid"},
      {WINHTTP_CALLBACK_STATUS_FLAG_INVALID_CERT, "the certificate is invalid"},
      {WINHTTP_CALLBACK_STATUS_FLAG_CERT_WRONG_USAGE, "the certificate is not for a server"},
      {WINHTTP_CALLBACK_STATUS_FLAG_CERT_REV_FAILED, "the certificate's revocation could not be checked"},
      {WINHTTP_CALLBACK_STATUS_FLAG_SECURITY_CHANNEL_ERROR, "the secure channel failed"},
  };
  std::string text;
  for (const auto& r : reasons)
    if (flags & r.flag) text += (text.empty() ? "" : "; ") + std::string(r.reason);
  return text;
}

// The same reasons where WinHTTP names one by its error code instead.
DWORD secureFailureFlagOf(DWORD error) {
  switch (error) {
    case ERROR_WINHTTP_SECURE_CERT_REVOKED:
      return WINHTTP_CALLBACK_STATUS_FLAG_CERT_REVOKED;
    case ERROR_WINHTTP_SECURE_INVALID_CA:
      return WINHTTP_CALLBACK_STATUS_FLAG_INVALID_CA;
    case ERROR_WINHTTP_SECURE_CERT_CN_INVALID:
      return WINHTTP_CALLBACK_STATUS_FLAG_CERT_CN_INVALID;
    case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID:
      return WINHTTP_CALLBACK_STATUS_FLAG_CERT_DATE_INVALID;
    case ERROR_WINHTTP_SECURE_INVALID_CERT:
      return WINHTTP_CALLBACK_STATUS_FLAG_INVALID_CERT;
    case ERROR_WINHTTP_SECURE_CERT_WRONG_USAGE:
      return WINHTTP_CALLBACK_STATUS_FLAG_CERT_WRONG_USAGE;
    case ERROR_WINHTTP_SECURE_CERT_REV_FAILED:
      return WINHTTP_CALLBACK_STATUS_FLAG_CERT_REV_FAILED;
    case ERROR_WINHTTP_SECURE_CHANNEL_ERROR:
      return WINHTTP_CALLBACK_STATUS_FLAG_SECURITY_CHANNEL_ERROR;
    default:
      return 0;
  }
}

// The shared table's code for a failure WinHTTP reports. Wine reports a few failures with the
// socket's own code (a time-out as 10060) or a TLS failure as a failed channel (12157) where
// Windows names the certificate's fault; they read here as Windows reports them.
int codeOf(DWORD error) {
  switch (error) {
    case ERROR_WINHTTP_TIMEOUT:
    case WSAETIMEDOUT:
      return kErrorTimeout;
    case ERROR_WINHTTP_NAME_NOT_RESOLVED:
    case WSAHOST_NOT_FOUND:
    case WSATRY_AGAIN:
    case WSANO_DATA:
      return kErrorNameNotResolved;
    case ERROR_WINHTTP_CANNOT_CONNECT:
    case WSAECONNREFUSED:
    case WSAENETUNREACH:
    case WSAEHOSTUNREACH:
      return kErrorCannotConnect;
    case ERROR_WINHTTP_CONNECTION_ERROR:
    case WSAECONNRESET:
    case WSAECONNABORTED:
      return kErrorConnectionError;
    case ERROR_WINHTTP_INVALID_URL:
    case ERROR_WINHTTP_UNRECOGNIZED_SCHEME:
      return kErrorInvalidUrl;
    case ERROR_WINHTTP_INVALID_SERVER_RESPONSE:
    case ERROR_WINHTTP_HEADER_SIZE_OVERFLOW:
      return kErrorInvalidServerResponse;
    case ERROR_WINHTTP_REDIRECT_FAILED:
      return kErrorRedirectFailed;
    case ERROR_WINHTTP_SECURE_FAILURE:
    case ERROR_WINHTTP_SECURE_CHANNEL_ERROR:
    case ERROR_WINHTTP_SECURE_INVALID_CA:
    case ERROR_WINHTTP_SECURE_CERT_CN_INVALID:
    case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID:
    case ERROR_WINHTTP_SECURE_CERT_REV_FAILED:
    case ERROR_WINHTTP_SECURE_CERT_REVOKED:
    case ERROR_WINHTTP_SECURE_INVALID_CERT:
    case ERROR_WINHTTP_SECURE_CERT_WRONG_USAGE:
    case ERROR_WINHTTP_CLIENT_AUTH_CERT_NEEDED:
      return kErrorSecureFailure;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      return kErrorOutOfMemory;
    default:
      return kErrorInternal;
  }
}

// Windows' own text for a code the table has no name for.
std::string windowsText(DWORD error) {
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_HMODULE |
                                          FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                      GetModuleHandleW(L"winhttp.dll"), error, 0,
                                      reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring_view message(text, length);
  while (!message.empty() && (message.back() == L'\r' || message.back() == L'\n' || message.back() == L'.'))
    message.remove_suffix(1);
  std::string out = "Windows error " + std::to_string(error);
  if (!message.empty()) out += ": " + narrow(message);
  LocalFree(text);
  return out;
}

// A failure as the operator should read it: as on Linux, a name still being resolved when its time
// ran out is a name that does not resolve, and a certificate our own check refused is a TLS failure.
// A TLS failure keeps the system's text, "(12175) A security error occurred", and adds what
// WinHTTP said was wrong.
ERestError failure(DWORD error, bool requestSent, const RequestWatch* watch = nullptr) {
  if (watch != nullptr && watch->certificateRefused)
    return transportFailure(kErrorSecureFailure, false,
                            secureFailureReasons(WINHTTP_CALLBACK_STATUS_FLAG_INVALID_CA));
  int code = codeOf(error);
  if (code == kErrorTimeout && watch != nullptr && !watch->nameResolved) code = kErrorNameNotResolved;
  if (code == kErrorSecureFailure)
    return transportFailure(
        code, requestSent,
        secureFailureReasons((watch != nullptr ? watch->secureFailure : 0) | secureFailureFlagOf(error)));
  return transportFailure(code, requestSent, code == kErrorInternal ? windowsText(error) : "");
}

// Where a request goes, as WinHTTP takes it.
struct Target {
  bool secure = false;
  std::wstring host;
  INTERNET_PORT port = 0;
  std::wstring pathAndQuery;
};

std::optional<Target> targetOf(const std::string& url) {
  const std::wstring wide = widen(url);
  URL_COMPONENTS parts{};
  parts.dwStructSize = sizeof parts;
  parts.dwSchemeLength = parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength =
      static_cast<DWORD>(-1);
  if (!WinHttpCrackUrl(wide.c_str(), static_cast<DWORD>(wide.size()), 0, &parts)) return std::nullopt;
  if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) return std::nullopt;
  if (parts.dwHostNameLength == 0) return std::nullopt;
  Target target;
  target.secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
  target.host.assign(parts.lpszHostName, parts.dwHostNameLength);
  target.port = parts.nPort;
  target.pathAndQuery.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
  target.pathAndQuery.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
  target.pathAndQuery.erase(std::min(target.pathAndQuery.find(L'#'), target.pathAndQuery.size()));
  if (target.pathAndQuery.empty() || target.pathAndQuery.front() != L'/') target.pathAndQuery.insert(0, L"/");
  return target;
}

Address addressOf(const std::string& url) {
  Address address;
  const std::size_t colon = url.find(':');
  if (colon == std::string::npos) return address;
  address.scheme = asciiLower(url.substr(0, colon));
  if (const std::optional<Target> target = targetOf(url)) address.host = asciiLower(narrow(target->host));
  return address;
}

// Whether the test's trust besides the system's store vouches for the server's certificate. WinHTTP
// was told to ignore an unknown root only, so it has already checked the name and the dates.
bool vouchedFor(HINTERNET request, const TransportSettings& settings) {
  const CERT_CONTEXT* presented = nullptr;
  DWORD size = sizeof presented;
  if (!WinHttpQueryOption(request, WINHTTP_OPTION_SERVER_CERT_CONTEXT, &presented, &size) ||
      presented == nullptr)
    return false;
  const bool trusted = settings.extraTrust(const_cast<CERT_CONTEXT*>(presented));
  CertFreeCertificateContext(presented);
  return trusted;
}

bool setNumber(HINTERNET handle, DWORD option, DWORD value) {
  return WinHttpSetOption(handle, option, &value, sizeof value);
}

// The connect about to start may take what is left of the bound for reaching the server (a
// millisecond at least: zero would mean no limit).
void connectWithinBound(HINTERNET request, const RequestWatch& watch) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(watch.connectBy -
                                                                          std::chrono::steady_clock::now());
  setNumber(request, WINHTTP_OPTION_CONNECT_TIMEOUT,
            static_cast<DWORD>(std::max<std::int64_t>(1, left.count())));
}

void CALLBACK onStatus(HINTERNET request, DWORD_PTR context, DWORD status, void* information, DWORD length) {
  if (context == 0) return;
  RequestWatch& watch = *reinterpret_cast<RequestWatch*>(context);
  switch (status) {
    case WINHTTP_CALLBACK_STATUS_NAME_RESOLVED:
    case WINHTTP_CALLBACK_STATUS_CONNECTING_TO_SERVER:
      watch.nameResolved = true;
      connectWithinBound(request, watch);
      break;
    case WINHTTP_CALLBACK_STATUS_CONNECTED_TO_SERVER:
      watch.nameResolved = true;
      break;
    case WINHTTP_CALLBACK_STATUS_SECURE_FAILURE:
      if (information != nullptr && length >= sizeof(DWORD))
        watch.secureFailure = *static_cast<DWORD*>(information);
      break;
    case WINHTTP_CALLBACK_STATUS_SENDING_REQUEST:
      // The connection stands, TLS included, and nothing has been sent yet: the moment to refuse a
      // server the test's trust does not vouch for. Closing the request here cancels it on Windows.
      watch.nameResolved = true;
      if (watch.secure && watch.settings.extraTrust && !vouchedFor(request, watch.settings)) {
        watch.certificateRefused = true;
        WinHttpCloseHandle(request);
      }
      break;
    case WINHTTP_CALLBACK_STATUS_REQUEST_SENT:
      watch.requestSent = true;
      break;
    default:
      break;
  }
}

std::optional<std::wstring> header(HINTERNET request, DWORD info) {
  DWORD size = 0;
  WinHttpQueryHeaders(request, info, WINHTTP_HEADER_NAME_BY_INDEX, WINHTTP_NO_OUTPUT_BUFFER, &size,
                      WINHTTP_NO_HEADER_INDEX);
  if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return std::nullopt;
  std::wstring value(size / sizeof(wchar_t), L'\0');
  if (!WinHttpQueryHeaders(request, info, WINHTTP_HEADER_NAME_BY_INDEX, value.data(), &size,
                           WINHTTP_NO_HEADER_INDEX))
    return std::nullopt;
  value.resize(size / sizeof(wchar_t));
  return value;
}

using Deadline = std::chrono::steady_clock::time_point;

// A time-out of WinHTTP's, cut to what is left of the call's time (a millisecond at least: zero
// would mean no limit).
DWORD within(std::chrono::milliseconds timeout, Deadline deadline) {
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
  return static_cast<DWORD>(std::max<std::int64_t>(1, std::min<std::int64_t>(timeout.count(), left.count())));
}

HopAnswer perform(HINTERNET session, const HttpRequest& request, const Hop& hop,
                  const TransportSettings& settings, Deadline deadline) {
  const std::optional<Target> target = targetOf(hop.url);
  if (!target) throw transportFailure(kErrorInvalidUrl, false);
  const WinHttpHandle connection(WinHttpConnect(session, target->host.c_str(), target->port, 0));
  if (!connection) throw failure(GetLastError(), false);
  // The target is sent as it is: the client has already encoded it.
  WinHttpHandle handle(WinHttpOpenRequest(
      connection.get(), hop.body != nullptr ? L"POST" : L"GET", target->pathAndQuery.c_str(), nullptr,
      WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
      (target->secure ? WINHTTP_FLAG_SECURE : 0) | WINHTTP_FLAG_ESCAPE_DISABLE |
          WINHTTP_FLAG_ESCAPE_DISABLE_QUERY));
  if (!handle) throw failure(GetLastError(), false);
  HINTERNET h = handle.get();
  // Redirects are followed by send() below, by the rules both platforms share: WinHTTP would
  // follow one from HTTPS to plain http, and its own answer to an authentication challenge would
  // carry nothing of ours anyway.
  // WinHTTP's receive time-out bounds each read of the answer; the wait for its head has an option of
  // its own, which would otherwise stay at WinHTTP's default. None may outlast the call's time.
  const DWORD connect = within(settings.connectTimeout, deadline);
  const DWORD response = within(settings.responseTimeout, deadline);
  if (!setNumber(h, WINHTTP_OPTION_DISABLE_FEATURE, WINHTTP_DISABLE_REDIRECTS) ||
      !WinHttpSetTimeouts(h, static_cast<int>(connect), static_cast<int>(connect), static_cast<int>(response),
                          static_cast<int>(response)) ||
      !setNumber(h, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, response) ||
      (target->secure && settings.extraTrust &&
       !setNumber(h, WINHTTP_OPTION_SECURITY_FLAGS, SECURITY_FLAG_IGNORE_UNKNOWN_CA)))
    throw failure(GetLastError(), false);
  if (WinHttpSetStatusCallback(h, onStatus,
                               WINHTTP_CALLBACK_FLAG_RESOLVE_NAME | WINHTTP_CALLBACK_FLAG_CONNECT_TO_SERVER |
                                   WINHTTP_CALLBACK_FLAG_SEND_REQUEST | WINHTTP_CALLBACK_FLAG_SECURE_FAILURE,
                               0) == WINHTTP_INVALID_STATUS_CALLBACK)
    throw failure(GetLastError(), false);

  std::wstring headers;
  for (const std::string& line : headersOf(request, hop)) headers += widen(line) + L"\r\n";
  RequestWatch watch(settings, target->secure,
                     std::chrono::steady_clock::now() + std::chrono::milliseconds(connect));
  void* body = hop.body != nullptr ? const_cast<char*>(hop.body->data()) : WINHTTP_NO_REQUEST_DATA;
  const DWORD bodySize = hop.body != nullptr ? static_cast<DWORD>(hop.body->size()) : 0;
  const BOOL sent = WinHttpSendRequest(h, headers.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : headers.c_str(),
                                       static_cast<DWORD>(headers.size()), body, bodySize, bodySize,
                                       reinterpret_cast<DWORD_PTR>(&watch));
  const DWORD sendError = sent ? ERROR_SUCCESS : GetLastError();
  if (watch.certificateRefused) {
    static_cast<void>(handle.release());  // closed in the callback
    throw failure(sendError, false, &watch);
  }
  if (!sent) throw failure(sendError, watch.requestSent, &watch);
  if (!WinHttpReceiveResponse(h, nullptr)) throw failure(GetLastError(), true, &watch);

  HopAnswer answer;
  HttpResponse& received = answer.response;
  DWORD status = 0;
  DWORD size = sizeof status;
  if (!WinHttpQueryHeaders(h, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                           WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX))
    throw failure(GetLastError(), true, &watch);
  received.status = static_cast<long>(status);
  received.version = narrow(header(h, WINHTTP_QUERY_VERSION).value_or(L""));
  received.reason = narrow(header(h, WINHTTP_QUERY_STATUS_TEXT).value_or(L""));
  received.contentType = narrow(header(h, WINHTTP_QUERY_CONTENT_TYPE).value_or(L""));
  if (const auto location = header(h, WINHTTP_QUERY_LOCATION))
    answer.location = resolveReference(hop.url, narrow(*location));
  const auto announced = header(h, WINHTTP_QUERY_CONTENT_LENGTH);
  const std::uint64_t length = announced ? std::wcstoull(announced->c_str(), nullptr, 10) : 0;
  // An answer that announces its length fails before any of it is read.
  if (announced && length > request.maxAnswer) throw answerTooLong(request.maxAnswer);

  char buffer[65536];
  for (;;) {
    if (std::chrono::steady_clock::now() >= deadline) throw transportFailure(kErrorTimeout, true);
    if (!setNumber(h, WINHTTP_OPTION_RECEIVE_TIMEOUT, within(settings.responseTimeout, deadline)))
      throw failure(GetLastError(), true, &watch);
    DWORD read = 0;
    if (!WinHttpReadData(h, buffer, sizeof buffer, &read)) throw failure(GetLastError(), true, &watch);
    if (read == 0) break;
    if (read > request.maxAnswer - received.body.size()) throw answerTooLong(request.maxAnswer);
    received.body.append(buffer, read);
  }
  // An answer cut short ends like a complete one on wine (and its length is all that tells): as on
  // Linux, it is a broken connection.
  if (status != 204 && status != 304 && announced && received.body.size() < length)
    throw transportFailure(kErrorConnectionError, true);
  return answer;
}

// Each request of the exchange in the one session, which keeps the exchange's cookies.
class WinHttpHops : public ExchangeHops {
 public:
  WinHttpHops(HINTERNET session, const HttpRequest& request, const TransportSettings& settings,
              Deadline deadline)
      : session_(session), request_(request), settings_(settings), deadline_(deadline) {}

  HopAnswer send(const Hop& hop) override { return perform(session_, request_, hop, settings_, deadline_); }
  Address addressOf(const std::string& url) const override { return varenta::addressOf(url); }

 private:
  HINTERNET session_;
  const HttpRequest& request_;
  const TransportSettings& settings_;
  Deadline deadline_;
};

class WinHttpTransport : public HttpTransport {
 public:
  explicit WinHttpTransport(TransportSettings settings) : settings_(std::move(settings)) {}
  HttpResponse send(const HttpRequest& request) override;

 private:
  TransportSettings settings_;
};

HttpResponse WinHttpTransport::send(const HttpRequest& request) {
  if (!hasHost(request.url) || !targetOf(request.url)) throw transportFailure(kErrorInvalidUrl, false);
  // No user agent of ours; the proxy the host's WinHTTP settings name, as libcurl takes the one the
  // environment names. Cookies live in the session, so for this exchange only.
  const WinHttpHandle session(WinHttpOpen(nullptr, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                          WINHTTP_NO_PROXY_BYPASS, 0));
  if (!session) throw failure(GetLastError(), false);
  // TLS 1.2 and 1.3, so that an older Windows never offers TLS 1.0 alone; a Windows that does not
  // know 1.3 refuses its flag, and gets 1.2 alone.
  if (!setNumber(session.get(), WINHTTP_OPTION_SECURE_PROTOCOLS,
                 WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3) &&
      !setNumber(session.get(), WINHTTP_OPTION_SECURE_PROTOCOLS, WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2))
    throw failure(GetLastError(), false);
  // The connect time-out bounds resolving the name and connecting together, as on Linux (the status
  // callback gives each connect what is left); sending and receiving may each stay silent as long as
  // the answer may.
  const int connect = static_cast<int>(settings_.connectTimeout.count());
  const int response = static_cast<int>(settings_.responseTimeout.count());
  if (!WinHttpSetTimeouts(session.get(), connect, connect, response, response))
    throw failure(GetLastError(), false);

  const Deadline deadline = std::chrono::steady_clock::now() + settings_.callTimeout;
  WinHttpHops hops(session.get(), request, settings_, deadline);
  return runExchange(request, deadline, hops);
}

}  // namespace

std::unique_ptr<HttpTransport> makeHttpTransport(TransportSettings settings) {
  return std::make_unique<WinHttpTransport>(std::move(settings));
}

}  // namespace varenta
