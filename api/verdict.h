#pragma once
// The verdict on the cloud's answer to a post: one short text for the operator's log line. It never
// raises on account of the answer and decides nothing for the caller.

#include <string>
#include <string_view>

#include "base/log.h"

namespace varenta {

// "Ok:" and the batch number for an accepted batch, the Portuguese text of a known validation or
// login error code (the code itself when unknown), a fixed text for an answer that cannot be read,
// or the answer itself when it has none of the known shapes. On a validation error the posted body
// `postedBody` is written to `log` as one line; a failure to write it goes to the caller.
std::string VerificarErroJSON(std::string_view answer, std::string_view postedBody, ServiceLog& log);

// The Portuguese text for one of the cloud's error codes; the code itself when the table lacks it.
std::string errorCodeText(std::string_view code);

}  // namespace varenta
