#pragma once
// ReadTimeout: how long a libcurl transfer may stay silent once its connection stands. Every byte
// sent or received starts the time again, so the answer must begin within the limit after the
// request (its body included) went out, and may never pause for longer. libcurl's own low-speed
// limit averages the speed over several seconds, so a body just sent kept a silent answer waiting
// for seconds past the limit; and its whole-transfer time-out, which bounds the call as a whole
// (minutes), says nothing about silence.

#include <curl/curl.h>

#include <chrono>
#include <optional>

namespace varenta {

class ReadTimeout {
 public:
  // Watches every transfer of `curl` from now on (it takes the handle's progress callback); the
  // object must outlive them.
  ReadTimeout(CURL* curl, std::chrono::milliseconds limit);
  ReadTimeout(const ReadTimeout&) = delete;
  ReadTimeout& operator=(const ReadTimeout&) = delete;

  // Call before each transfer of the handle: its connection has yet to stand.
  void restart();
  // True when the last transfer was ended for its silence (libcurl then answered
  // CURLE_ABORTED_BY_CALLBACK).
  bool expired() const { return expired_; }

 private:
  static int onProgress(void* self, curl_off_t, curl_off_t dlnow, curl_off_t, curl_off_t ulnow);
  bool silentTooLong(curl_off_t moved);

  CURL* curl_;
  std::chrono::milliseconds limit_;
  std::optional<std::chrono::steady_clock::time_point> since_;  // of the last byte moved
  curl_off_t moved_ = 0;                                        // bytes sent and received by then
  bool expired_ = false;
};

}  // namespace varenta
