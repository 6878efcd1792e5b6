// TestUrl over WinHTTP (Windows).

#include "api/winhttp_handle.h"
#include "service/probe.h"

namespace varenta {
namespace {

// WinHTTP's four time-outs and the wait for the answer's head, each the step's time-out.
constexpr int kStepTimeoutMs = kProbeStepTimeout.count();

// Ignore an unknown certificate authority, a certificate outside its validity dates and one issued
// for another name: any TLS peer counts as an answer.
constexpr DWORD kIgnoreCertificateErrors = SECURITY_FLAG_IGNORE_UNKNOWN_CA |
                                           SECURITY_FLAG_IGNORE_CERT_DATE_INVALID |
                                           SECURITY_FLAG_IGNORE_CERT_CN_INVALID;
static_assert(kIgnoreCertificateErrors == 0x3100);

bool setNumber(HINTERNET handle, DWORD option, DWORD value) {
  return WinHttpSetOption(handle, option, &value, sizeof value);
}

}  // namespace

bool TestUrl(const ProbeHost& host, bool useHttps) {
  // Declared in this order, the request is closed first, then the connection, then the session.
  // Through the machine's WinHTTP proxy when one is set (netsh winhttp set proxy), as every cloud
  // call goes: a store that reaches the internet only through a proxy has internet.
  const WinHttpHandle session(WinHttpOpen(widen(kProbeUserAgent).c_str(), WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                          WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
  if (!session ||
      !WinHttpSetTimeouts(session.get(), kStepTimeoutMs, kStepTimeoutMs, kStepTimeoutMs, kStepTimeoutMs))
    return false;
  const auto port = static_cast<INTERNET_PORT>(probePort(host, useHttps));
  const WinHttpHandle connection(WinHttpConnect(session.get(), widen(host.name).c_str(), port, 0));
  if (!connection) return false;
  const WinHttpHandle request(WinHttpOpenRequest(connection.get(), L"HEAD", L"/", nullptr, WINHTTP_NO_REFERER,
                                                 WINHTTP_DEFAULT_ACCEPT_TYPES,
                                                 useHttps ? WINHTTP_FLAG_SECURE : 0));
  if (!request) return false;
  // A redirect is an answer like any other (the Linux probe does not follow it either), and the
  // wait for the answer's head has a time-out of its own beside the four.
  if (!setNumber(request.get(), WINHTTP_OPTION_DISABLE_FEATURE, WINHTTP_DISABLE_REDIRECTS) ||
      !setNumber(request.get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, kStepTimeoutMs) ||
      (useHttps && !setNumber(request.get(), WINHTTP_OPTION_SECURITY_FLAGS, kIgnoreCertificateErrors)))
    return false;
  return WinHttpSendRequest(request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0,
                            0) &&
         WinHttpReceiveResponse(request.get(), nullptr);
}

}  // namespace varenta
