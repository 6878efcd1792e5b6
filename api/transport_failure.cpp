#include "api/transport_failure.h"

#include <string>

namespace varenta {
namespace {

struct WinHttpError {
  int code;
  const char* description;
};

WinHttpError winHttpErrorOf(CURLcode result) {
  switch (result) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
      return {12007, "The server name or address could not be resolved"};
    case CURLE_COULDNT_CONNECT:
      return {12029, "A connection with the server could not be established"};
    case CURLE_OPERATION_TIMEDOUT:
      return {12002, "The operation timed out"};
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
      return {12175, "A security error occurred"};
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE:
    case CURLE_BAD_CONTENT_ENCODING:
      return {12030, "The connection with the server was terminated abnormally"};
    case CURLE_URL_MALFORMAT:
    case CURLE_UNSUPPORTED_PROTOCOL:
      return {12005, "The URL is invalid"};
    case CURLE_TOO_MANY_REDIRECTS:
      return {12156, "The redirection failed"};
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_HTTP2:
      return {12152, "The server returned an invalid or unrecognized response"};
    case CURLE_OUT_OF_MEMORY:
      return {8, "Not enough memory resources are available to process this command"};
    default:
      return {12004, "An internal error occurred"};  // the operator also gets libcurl's own text
  }
}

}  // namespace

ERestError transportFailure(CURLcode result, bool requestSent, std::string_view detail) {
  const WinHttpError error = winHttpErrorOf(result);
  std::string message = std::string("REST request failed: ") +
                        (requestSent ? "Error receiving data: (" : "Error sending data: (") +
                        std::to_string(error.code) + ") " + error.description;
  if (detail.empty() && error.code == 12004) detail = curl_easy_strerror(result);
  if (!detail.empty()) message += " (" + std::string(detail) + ")";
  return ERestError(message);
}

}  // namespace varenta
