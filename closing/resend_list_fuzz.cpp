// Any bytes read as a list of resend requests, for either kind: a shape, never a crash; requests
// and unreadable elements only from a list, the requests of the kind asked for, with a register in
// plain digits; the excerpt for the log is one line of at most 100 characters from the start of the
// answer; and the requests read, written back as a list, read back the same and nothing else.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/json_writer.h"
#include "base/text.h"
#include "closing/resend_list.h"
#include "tests/support/fuzz_check.h"

namespace {

using varenta::ResendListShape;
using varenta::ResendRequest;

struct Reading {
  ResendListShape shape;
  std::vector<ResendRequest> requests;
  std::size_t unreadable = 0;
};

Reading read(std::string_view body, std::string_view tipo) {
  Reading reading;
  reading.shape = varenta::readResendList(
      body, tipo, [&](const ResendRequest& request) { reading.requests.push_back(request); },
      [&](const std::exception&) { ++reading.unreadable; });
  return reading;
}

bool isRegister(std::string_view text) {
  if (text.starts_with('-')) text.remove_prefix(1);
  if (text.empty() || (text.size() > 1 && text.front() == '0')) return false;
  return text.find_first_not_of("0123456789") == std::string_view::npos;
}

// The list as the cloud would write these requests; nothing when a date cannot be written in the
// four-digit years of the ISO form.
std::optional<std::string> rewritten(const std::vector<ResendRequest>& requests) {
  varenta::JsonWriter out(varenta::JsonEscaping::kAsciiOnly);
  out.beginArray();
  for (const ResendRequest& request : requests) {
    if (request.fecha.year() < 0 || request.fecha.year() > 9999) return std::nullopt;
    out.beginObject().key("fecha").string(request.fecha.format("yyyy-mm-ddThh:nn:ss.zzzZ"));
    out.key("tipo").string(request.tipo);
    if (!request.codigoCaja.empty()) out.key("codigoCaja").string(request.codigoCaja);
    out.endObject();
  }
  out.endArray();
  return out.text();
}

void check(std::string_view body, std::string_view tipo) {
  const Reading reading = read(body, tipo);
  if (reading.shape != ResendListShape::Array)
    FUZZ_CHECK(reading.requests.empty() && reading.unreadable == 0);
  for (const ResendRequest& request : reading.requests) {
    FUZZ_CHECK(request.tipo == tipo);
    FUZZ_CHECK(request.codigoCaja.empty() || isRegister(request.codigoCaja));
  }
  if (const std::optional<std::string> list = rewritten(reading.requests)) {
    const Reading again = read(*list, tipo);
    FUZZ_CHECK(again.shape == ResendListShape::Array && again.unreadable == 0);
    FUZZ_CHECK(again.requests == reading.requests);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view body(reinterpret_cast<const char*>(data), size);
  check(body, "MOVIMIENTOS");
  check(body, "CIERRES_DIARIOS");

  const std::string excerpt = varenta::answerExcerpt(body);
  FUZZ_CHECK(excerpt.size() <= body.size() && varenta::utf8Length(excerpt) <= 100);
  FUZZ_CHECK(excerpt.size() == body.size() || varenta::utf8Length(excerpt) == 100);
  for (std::size_t i = 0; i < excerpt.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(excerpt[i]);
    FUZZ_CHECK(c >= 0x20 && c != 0x7f);
    FUZZ_CHECK(excerpt[i] == body[i] || excerpt[i] == ' ');
  }
  return 0;
}
