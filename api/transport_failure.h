#pragma once
// The error of a failed exchange in the terms the cycle and the operators know: the numeric codes
// and descriptions of the Windows HTTP stack. Both platforms' transports report through it, so the
// same failure reads the same on both.

#include <cstddef>
#include <exception>
#include <string_view>

#include "api/api_errors.h"

namespace varenta {

constexpr int kErrorOutOfMemory = 8;
constexpr int kErrorTimeout = 12002;
constexpr int kErrorInternal = 12004;  // a failure the codes below have no name for
constexpr int kErrorInvalidUrl = 12005;
constexpr int kErrorNameNotResolved = 12007;
constexpr int kErrorCannotConnect = 12029;    // refused, or no route to the host
constexpr int kErrorConnectionError = 12030;  // the connection broke, or the answer was cut short
constexpr int kErrorInvalidServerResponse = 12152;
constexpr int kErrorRedirectFailed = 12156;
constexpr int kErrorSecureFailure = 12175;  // any TLS failure, an untrusted certificate included

// ERestError with the message "REST request failed: Error sending data: (<code>) <description>", or
// "Error receiving data" when `requestSent`: the request had gone out when the exchange failed, so
// the failure was in receiving the answer. `code` is one of the codes above. `detail`, when given,
// follows the description in parentheses (the platform's own text does for kErrorInternal).
ERestError transportFailure(int code, bool requestSent, std::string_view detail = {});

// Whether `error` is a name that does not resolve (12007, or the Portuguese wording of the
// platform's text): no fault of the task that met it, and it pauses the whole cycle instead.
bool nameNotResolved(const std::exception& error);

// The failure of an answer whose body is longer than `max` bytes: (12152), its length in the detail.
ERestError answerTooLong(std::size_t max);

}  // namespace varenta
