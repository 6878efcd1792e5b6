// libFuzzer target: any answer body must give a verdict, never a crash, a hang or a leak.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "api/verdict.h"
#include "tests/support/recording_log.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  varenta::RecordingLog log;
  varenta::VerificarErroJSON(std::string_view(reinterpret_cast<const char*>(data), size), "[{}]", log);
  return 0;
}
