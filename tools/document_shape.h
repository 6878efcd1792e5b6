#pragma once
// The stand-in's check of what the store posts: a movement batch (a JSON array holding one
// movement) and a closing document (a JSON array holding one daily record), each with its keys in
// their fixed order, every value of its kind and written in its form, and the text laid out as the
// store writes it. The cloud answers a fault with the code here.

#include <optional>
#include <string>
#include <string_view>

namespace varenta {

struct ShapeFault {
  std::string code;   // the answer's error code, e.g. "CAMPO_INVALIDO"
  std::string field;  // where, e.g. "detalles[0].importe"; empty for the document as a whole
};

std::optional<ShapeFault> checkMovementBatch(std::string_view body);
std::optional<ShapeFault> checkClosingDocument(std::string_view body);

}  // namespace varenta
