#include "api/read_timeout.h"

namespace varenta {

ReadTimeout::ReadTimeout(CURL* curl, std::chrono::milliseconds limit) : curl_(curl), limit_(limit) {
  curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, onProgress);
  curl_easy_setopt(curl, CURLOPT_XFERINFODATA, this);
}

void ReadTimeout::restart() {
  since_.reset();
  moved_ = 0;
  expired_ = false;
}

// libcurl calls this many times a second while bytes move and about once a second while the line
// is silent.
int ReadTimeout::onProgress(void* self, curl_off_t, curl_off_t dlnow, curl_off_t, curl_off_t ulnow) {
  auto& timeout = *static_cast<ReadTimeout*>(self);
  // The body counts cover neither the request's head nor the answer's, which count as traffic too.
  long requestHead = 0;
  long answerHead = 0;
  curl_easy_getinfo(timeout.curl_, CURLINFO_REQUEST_SIZE, &requestHead);
  curl_easy_getinfo(timeout.curl_, CURLINFO_HEADER_SIZE, &answerHead);
  return timeout.silentTooLong(ulnow + dlnow + requestHead + answerHead) ? 1 : 0;
}

bool ReadTimeout::silentTooLong(curl_off_t moved) {
  // Until the connection stands (name, TCP and TLS), the connect time-out is the bound.
  curl_off_t connected = 0;
  curl_easy_getinfo(curl_, CURLINFO_PRETRANSFER_TIME_T, &connected);
  if (connected == 0) return false;
  const auto now = std::chrono::steady_clock::now();
  if (!since_ || moved != moved_) {
    since_ = now;
    moved_ = moved;
    return false;
  }
  expired_ = now - *since_ >= limit_;
  return expired_;
}

}  // namespace varenta
