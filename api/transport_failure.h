#pragma once
// The error of a failed exchange in the terms the cycle and the operators know: the numeric codes
// and descriptions of the Windows HTTP stack (12007 a name that does not resolve, 12029 a refused
// connection, 12002 a time-out, 12175 a TLS failure, 12030 a broken connection).

#include <curl/curl.h>

#include <string_view>

#include "api/api_errors.h"

namespace varenta {

// `requestSent`: the request had gone out when the exchange failed, so the failure was in
// receiving the answer. `detail`, when given, follows the description in parentheses (libcurl's
// own text does for a failure the Windows codes have no name for).
ERestError transportFailure(CURLcode result, bool requestSent, std::string_view detail = {});

}  // namespace varenta
