#pragma once
// PrettyPrintJSON: any JSON text indented by two spaces per level, one value or key per line, every
// line ended by CR LF; a key's nested object or array starts on the key's line. Strings are
// escaped as in the promotion objects' text, numbers kept as written. Text that is not JSON gives
// the empty text.
//   {"a":1,"b":[2,3]}  gives  {  /  "a": 1,  /  "b": [  /  2,  /  3  /  ]  /  }  (seven lines)

#include <string>
#include <string_view>

namespace varenta {

std::string PrettyPrintJSON(std::string_view aJson);

}  // namespace varenta
