#pragma once
// Reading one of the cloud's lists of resend requests (the movement list or the closing list): a JSON
// array of objects, each with a "tipo", a "fecha" (an ISO 8601 date) and optionally a "codigoCaja",
// as texts or numbers. Each list answers only the requests of its own kind.

#include <exception>
#include <functional>
#include <string>
#include <string_view>

#include "base/datetime.h"

namespace varenta {

// One request of a list, as far as the poll reads it.
struct ResendRequest {
  DateTime fecha;
  std::string tipo;
  std::string codigoCaja;  // the register's number in plain digits ("+02 " is "2"); empty for none
  bool operator==(const ResendRequest&) const = default;
};

enum class ResendListShape {
  NotJson,   // not JSON at all (empty, an HTML page, a raw NUL byte anywhere)
  NotArray,  // JSON, but no list
  Array,
};

// Reads a list answer. For an array, every element is read in the order of the list: a request of
// kind `tipo` goes to `request`; an element that cannot be read (not an object, no "tipo"; for a
// request of that kind, no "fecha", a "fecha" that is no ISO 8601 date, a "codigoCaja" that is no
// register number) goes to `unreadable` with the reason, and the elements after it are still read;
// a request of another kind is passed over unread.
ResendListShape readResendList(std::string_view body, std::string_view tipo,
                               const std::function<void(const ResendRequest&)>& request,
                               const std::function<void(const std::exception&)>& unreadable);

}  // namespace varenta
