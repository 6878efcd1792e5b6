#pragma once
// Failures of a call to the cloud. Both reach the sync cycle, which logs the type name and message
// ("ERRO no Timer: ERestError - REST request failed: Error sending data: (12007) ...") and pauses.

#include "base/error.h"

namespace varenta {

// The request did not complete: the name did not resolve, the connection was refused, broken or
// timed out, or TLS failed. The message carries the Windows HTTP error code in parentheses, which
// the cycle reads to tell a name-resolution failure from the rest.
VARENTA_ERROR_TYPE(ERestError);

// The cloud answered with a status of 500 or more; the message is the answer's status line.
VARENTA_ERROR_TYPE(EHttpServerError);

}  // namespace varenta
