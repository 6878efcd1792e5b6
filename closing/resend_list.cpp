#include "closing/resend_list.h"

#include <rapidjson/document.h>

#include <charconv>
#include <cstdint>
#include <limits>
#include <optional>

#include "base/error.h"
#include "base/iso8601.h"
#include "base/json_depth.h"
#include "base/text.h"

namespace varenta {
namespace {

using rapidjson::Value;

// A member given as a string or a number, in the text it was written with; nothing when it is
// absent or null. Any other kind is no value of this member at all.
std::optional<std::string> scalarMember(const Value& request, const char* name) {
  const auto member = request.FindMember(name);
  if (member == request.MemberEnd() || member->value.IsNull()) return std::nullopt;
  if (!member->value.IsString())
    throw EConvertError(std::string("\"") + name + "\" is neither a text nor a number");
  return std::string(member->value.GetString(), member->value.GetStringLength());
}

// A register as either list may write it, a number or a text, with blanks around and a leading
// sign allowed, in the digits the store database compares ("+02 " is "2"); empty when none is named.
// The register column is an INTEGER: a number beyond its range is no register the database could
// compare, and would fail the request's statement on every poll.
std::string registerOf(const std::string& written) {
  std::string_view text = written;
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  if (text.empty()) return {};
  const bool negative = text.front() == '-';
  if (text.front() == '+' || text.front() == '-') text.remove_prefix(1);
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (negative) value = -value;
  if (text.empty() || text.front() == '+' || text.front() == '-' || error != std::errc() ||
      end != text.data() + text.size() || value < std::numeric_limits<std::int32_t>::min() ||
      value > std::numeric_limits<std::int32_t>::max())
    throw EConvertError("\"" + written + "\" is not a register number");
  return std::to_string(value);
}

// The request when it is of kind `tipo`; nothing for a request of another kind, whose other
// members are not read.
std::optional<ResendRequest> readRequest(const Value& element, std::string_view tipo) {
  if (!element.IsObject()) throw EConvertError("A resend request is not a JSON object");
  const std::optional<std::string> kind = scalarMember(element, "tipo");
  if (!kind) throw EConvertError("The resend request has no \"tipo\"");
  if (*kind != tipo) return std::nullopt;
  const std::optional<std::string> fecha = scalarMember(element, "fecha");
  if (!fecha) throw EConvertError("The resend request has no \"fecha\"");
  const std::optional<DateTime> day = parseIso8601(*fecha);
  if (!day) throw EConvertError("\"" + *fecha + "\" is not a valid ISO 8601 date");
  return ResendRequest{*day, *kind, registerOf(scalarMember(element, "codigoCaja").value_or(""))};
}

}  // namespace

ResendListShape readResendList(std::string_view body, std::string_view tipo,
                               const std::function<void(const ResendRequest&)>& request,
                               const std::function<void(const std::exception&)>& unreadable) {
  rapidjson::Document parsed;
  // Numbers stay the text they were written with, so a register 2 reads as "2". A list followed by a
  // NUL byte and more requests is not JSON (the reader alone would stop at the NUL, and the poll
  // would take those requests as answered).
  if (!parseJsonWithinDepth<rapidjson::kParseNumbersAsStringsFlag>(parsed, body))
    return ResendListShape::NotJson;
  if (!parsed.IsArray()) return ResendListShape::NotArray;
  for (const Value& element : parsed.GetArray()) {
    std::optional<ResendRequest> read;
    try {
      read = readRequest(element, tipo);
    } catch (const std::exception& e) {
      unreadable(e);
    }
    if (read) request(*read);
  }
  return ResendListShape::Array;
}

}  // namespace varenta
