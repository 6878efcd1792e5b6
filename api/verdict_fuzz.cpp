// libFuzzer target: any answer body gives a verdict, never a crash, a hang or a leak. The verdict
// goes into a log line, so it is always valid UTF-8; the posted body is logged at most once, as it
// was posted.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "api/verdict.h"
#include "base/text.h"
#include "tests/support/fuzz_check.h"
#include "tests/support/recording_log.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  constexpr std::string_view kPosted = "[{\"numero\":1}]";
  varenta::RecordingLog log;
  const std::string verdict =
      varenta::VerificarErroJSON(std::string_view(reinterpret_cast<const char*>(data), size), kPosted, log);
  FUZZ_CHECK(varenta::isValidUtf8(verdict));
  const auto lines = log.lines();
  FUZZ_CHECK(lines.empty() || (lines.size() == 1 && lines[0] == kPosted));
  return 0;
}
