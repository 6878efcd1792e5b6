#include "api/transport_failure.h"

#include <string>

#include "base/error.h"
#include "base/text.h"

namespace varenta {
namespace {

// The descriptions the Windows HTTP stack gives its codes, in English whatever the host's
// language: the log reads the same on every machine.
const char* descriptionOf(int code) {
  switch (code) {
    case kErrorOutOfMemory:
      return "Not enough memory resources are available to process this command";
    case kErrorTimeout:
      return "The operation timed out";
    case kErrorInvalidUrl:
      return "The URL is invalid";
    case kErrorNameNotResolved:
      return "The server name or address could not be resolved";
    case kErrorCannotConnect:
      return "A connection with the server could not be established";
    case kErrorConnectionError:
      return "The connection with the server was terminated abnormally";
    case kErrorInvalidServerResponse:
      return "The server returned an invalid or unrecognized response";
    case kErrorRedirectFailed:
      return "The redirection failed";
    case kErrorSecureFailure:
      return "A security error occurred";
    default:
      return "An internal error occurred";
  }
}

}  // namespace

ERestError transportFailure(int code, bool requestSent, std::string_view detail) {
  std::string message = std::string("REST request failed: ") +
                        (requestSent ? "Error receiving data: (" : "Error sending data: (") +
                        std::to_string(code) + ") " + descriptionOf(code);
  if (!detail.empty()) message += " (" + std::string(detail) + ")";
  return ERestError(message);
}

ERestError answerTooLong(std::size_t max) {
  return transportFailure(kErrorInvalidServerResponse, true,
                          "an answer of more than " + std::to_string(max) + " bytes");
}

// The Portuguese wording is matched with only A to Z lowered, exactly as the text is otherwise
// written.
bool nameNotResolved(const std::exception& error) {
  const std::string text = errorTypeName(error) + " - " + error.what();
  return text.find(std::to_string(kErrorNameNotResolved)) != std::string::npos ||
         asciiLower(text).find("não pôde ser resolvido") != std::string::npos;
}

}  // namespace varenta
