#pragma once
// What a post's answer means for the work it carried. A sync mark moves whatever the cloud answered
// about the document, so that a document it refuses for its content does not hold back the ones
// after it; but an answer that is not the cloud's judgement of the document (a refused login, an
// endpoint that is not there, a proxy's page) says nothing about it, and the document must stay
// waiting until the cloud can judge it.

#include <string>
#include <string_view>

#include "api/varenta_client.h"
#include "base/error.h"
#include "base/log.h"

namespace varenta {

// The post's document stays waiting: the cloud did not judge it. The task ends with it.
VARENTA_ERROR_TYPE(ENotJudged);

// False for an answer that is not the cloud's judgement of the posted document: authentication or
// authorisation refused (401, 403, 407, or the cloud's login error code in the body), no such
// endpoint (404 or 405 without the cloud's own error document), a request time-out or too many
// requests (408, 429), and any body that is not JSON, whatever its status.
bool cloudJudged(const TVarentaRetornos& answer);

// Logs a post's result line, `marker` followed by the verdict on the answer (and, on a validation
// error, the posted body), and throws ENotJudged when the cloud did not judge the document, so
// that the caller leaves its mark. Lines the log cannot take go to standard error: once the cloud
// has judged the document, the caller's mark must move whatever the log does.
void logPostVerdict(ServiceLog& log, std::string_view marker, const TVarentaRetornos& answer,
                    std::string_view postedBody);

}  // namespace varenta
