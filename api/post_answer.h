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
// A list's answer that is not the cloud's list: the task that asked ends with it, its mark stays.
VARENTA_ERROR_TYPE(ENotAList);

// False for an answer that is not the cloud's judgement of the posted document: authentication or
// authorisation refused (401, 403, 407, or the cloud's login error code in the body), a status of
// 300 to 399 (an answer that points elsewhere), no such
// endpoint (404 or 405, whatever the body: the cloud's own error document then names a store or
// company it does not know), a request time-out or too many requests (408, 429), and any body that
// is not JSON, whatever its status. A 413 is a verdict, whatever its body: the document is too large
// for the cloud or a front before it, and sent again it would only be refused again.
bool cloudJudged(const TVarentaRetornos& answer);

// Logs a post's result line, `marker` followed by the verdict on the answer (and, on a validation
// error, the posted body; on a 413, a second line with the document's size), and throws ENotJudged when the
// cloud did not judge the document, so that the caller leaves its mark. Lines the log cannot take go to
// standard error: once the cloud has judged the document, the caller's mark must move whatever the log does.
void logPostVerdict(ServiceLog& log, std::string_view marker, const TVarentaRetornos& answer,
                    std::string_view postedBody);

// Throws ENotAList, naming the status, the address and the answer's first characters, when a
// list's answer is not the cloud's list: a status other than 2xx, or the cloud's login error. Read
// as an empty list, it would have the task store its mark as if it had answered everything. A 2xx
// answer with any other body is left to the list's own reader.
void requireCloudList(const TVarentaRetornos& answer);

}  // namespace varenta
