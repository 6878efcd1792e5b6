#include "tools/document_shape.h"

#include <rapidjson/document.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <regex>

namespace varenta {
namespace {

using rapidjson::Value;

// Both forms of one document: `value` typed as parsed, `raw` with every number as written (the
// closing's amounts must show two decimals, which no parsed double tells).
struct Node {
  const Value& value;
  const Value& raw;
  std::string field;

  Node at(rapidjson::SizeType i) const { return {value[i], raw[i], field + "[" + std::to_string(i) + "]"}; }
  std::string fieldOf(const char* name) const { return field.empty() ? name : field + "." + name; }
  Node member(const char* name) const {
    return {value[name], raw[name], fieldOf(name)};
  }  // the member must exist
};

using Check = std::function<bool(const Node&)>;

struct Key {
  const char* name;
  Check check;
};

// Thrown inside the walk and turned into the answer by the entry points.
struct Fault {
  ShapeFault shape;
};

[[noreturn]] void fail(const char* code, const std::string& field) {
  throw Fault{{code, field}};
}

bool isString(const Node& n) {
  return n.value.IsString();
}
bool isText(const Node& n) {
  return n.value.IsString() && n.value.GetStringLength() > 0;
}
// A number as the store's writer puts it: the shortest digits, no trailing zero or point, a capital E
// in the exponent form (12.5, 0.0001, 1E-6, 1.5E20).
bool isNumber(const Node& n) {
  static const std::regex kWritten(R"(-?(0|[1-9]\d*)(\.\d*[1-9])?(E-?[1-9]\d*)?)");
  return n.value.IsNumber() && std::regex_match(n.raw.GetString(), kWritten);
}
bool isInteger(const Node& n) {
  return n.value.IsInt64();
}
bool isOne(const Node& n) {
  return isInteger(n) && n.value.GetInt64() == 1;
}
bool isZero(const Node& n) {
  return isInteger(n) && n.value.GetInt64() == 0;
}

bool matches(const Node& n, const char* pattern) {
  return n.value.IsString() && std::regex_match(n.value.GetString(), std::regex(pattern));
}

bool isCalendarDate(std::string_view text) {
  const int y = std::stoi(std::string(text.substr(0, 4)));
  const unsigned m = static_cast<unsigned>(std::stoi(std::string(text.substr(5, 2))));
  const unsigned d = static_cast<unsigned>(std::stoi(std::string(text.substr(8, 2))));
  return std::chrono::year_month_day(std::chrono::year(y), std::chrono::month(m), std::chrono::day(d)).ok();
}

// An object whose members are exactly `keys`, in that order, each passing its check.
void expectObject(const Node& node, std::initializer_list<Key> keys) {
  if (!node.value.IsObject()) fail("CAMPO_INVALIDO", node.field);
  auto member = node.value.MemberBegin();
  for (const Key& key : keys) {
    if (member == node.value.MemberEnd() || std::string_view(member->name.GetString()) != key.name) {
      fail("CAMPO_FALTANTE_O_FUERA_DE_ORDEN", node.fieldOf(key.name));
    }
    const Node child = node.member(key.name);
    if (!key.check(child)) fail("CAMPO_INVALIDO", child.field);
    ++member;
  }
  if (member != node.value.MemberEnd()) fail("CAMPO_DESCONOCIDO", node.fieldOf(member->name.GetString()));
}

void expectArray(const Node& node, const char* emptyCode, const std::function<void(const Node&)>& element) {
  if (!node.value.IsArray()) fail("CAMPO_INVALIDO", node.field);
  if (node.value.Empty()) fail(emptyCode, node.field);
  for (rapidjson::SizeType i = 0; i < node.value.Size(); ++i) element(node.at(i));
}

void checkDetail(const Node& line) {
  expectObject(line, {{"codigoArticulo", isString},
                      {"codigoBarras", isString},
                      {"descripcionArticulo", isString},
                      {"cantidad", isNumber},
                      {"importeUnitario", isNumber},
                      {"importe", isNumber},
                      {"descuento", isNumber},
                      {"recargo", isZero}});
}

void checkPayment(const Node& payment) {
  const Check kind = [](const Node& n) {
    if (!isInteger(n)) return false;
    const std::int64_t code = n.value.GetInt64();
    return code == 1 || (code >= 9 && code <= 13);
  };
  const Check currency = [](const Node& n) { return matches(n, "986"); };
  if (!payment.value.IsObject() || payment.value.MemberCount() <= 4) {
    expectObject(
        payment,
        {{"codigoTipoPago", kind}, {"codigoMoneda", currency}, {"importe", isNumber}, {"cotizacion", isOne}});
    return;
  }
  // The card keys come only with an authorisation; the last digits are drawn from 1000 to 9999 when
  // the store has none, and an empty bin is sent as "123456".
  const Check lastDigits = [](const Node& n) {
    return isText(n) || (isInteger(n) && n.value.GetInt64() >= 1000 && n.value.GetInt64() <= 9999);
  };
  expectObject(payment, {{"codigoTipoPago", kind},
                         {"codigoMoneda", currency},
                         {"importe", isNumber},
                         {"cotizacion", isOne},
                         {"ultimosDigitosTarjeta", lastDigits},
                         {"numeroAutorizacion", isText},
                         {"codigoTarjeta", [](const Node& n) { return n.value.IsNull(); }},
                         {"bin", isText}});
  const std::int64_t code = payment.member("codigoTipoPago").value.GetInt64();
  if (code != 10 && code != 13) fail("TARJETA_EN_PAGO_SIN_TARJETA", payment.field);
}

void checkMovement(const Node& movement) {
  expectObject(
      movement,
      {{"fecha",
        [](const Node& n) { return matches(n, R"(\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2}\.\d{3}-0300)"); }},
       {"numero", isText},
       {"descuentoTotal", isNumber},
       {"recargoTotal", isNumber},
       {"codigoMoneda", [](const Node& n) { return matches(n, "986"); }},
       {"cotizacion", isOne},
       {"total", isNumber},
       {"cancelacion", [](const Node& n) { return n.value.IsBool(); }},
       {"documentoCliente", [](const Node& n) { return isString(n) || n.value.IsNull(); }},
       {"codigoCanalVenta",
        [](const Node& n) { return isInteger(n) && (n.value.GetInt64() == 1 || n.value.GetInt64() == 3); }},
       {"descripcionCanalVenta", isString},
       {"detalles", [](const Node& n) { return n.value.IsArray(); }},
       {"pagos", [](const Node& n) { return n.value.IsArray(); }}});
  if (!isCalendarDate(movement.member("fecha").value.GetString()))
    fail("CAMPO_INVALIDO", movement.fieldOf("fecha"));
  expectArray(movement.member("detalles"), "MOVIMIENTO_SIN_DETALLES", checkDetail);
  expectArray(movement.member("pagos"), "MOVIMIENTO_SIN_PAGOS", checkPayment);
}

void checkClosing(const Node& record) {
  const Check amount = [](const Node& n) {
    return n.value.IsNumber() && std::regex_match(n.raw.GetString(), std::regex(R"(-?\d+\.\d{2})"));
  };
  const Check count = [](const Node& n) { return isInteger(n) && n.value.GetInt64() >= 0; };
  expectObject(record, {{"montoVentaLiquida", amount},
                        {"montoCancelaciones", amount},
                        {"cantidadMovimientos", count},
                        {"fechaVentas", [](const Node& n) { return matches(n, R"(\d{4}-\d{2}-\d{2})"); }},
                        {"cantidadCancelaciones", count}});
  if (!isCalendarDate(record.member("fechaVentas").value.GetString()))
    fail("CAMPO_INVALIDO", record.fieldOf("fechaVentas"));
}

// A "\u" escape the writer makes: a control character without a short escape, in upper-case hex.
bool isControlEscape(std::string_view hex) {
  static const std::regex kControl("00(0[0-7BEF]|1[0-9A-F])");
  return std::regex_match(hex.begin(), hex.end(), kControl);
}

// The movement is the writer's compact form: no blank outside strings, and inside them only its
// eight short escapes (a slash always escaped) and "\u00XX" for the other control characters.
bool isCompact(std::string_view body) {
  bool inString = false;
  for (std::size_t i = 0; i < body.size(); ++i) {
    const char c = body[i];
    if (!inString) {
      if (c == ' ' || c == '\t' || c == '\n' || c == '\r') return false;
      inString = c == '"';
    } else if (c == '"') {
      inString = false;
    } else if (c == '/') {
      return false;
    } else if (c == '\\') {
      // The parser already saw that a character follows every backslash, and four after a "u".
      const char escaped = body[++i];
      if (escaped == 'u') {
        if (!isControlEscape(body.substr(i + 1, 4))) return false;
        i += 4;
      } else if (std::string_view("btnfr\"/\\").find(escaped) == std::string_view::npos) {
        return false;
      }
    }
  }
  return true;
}

// The closing is put together as text with fixed spacing: ": " in a pair, ", " between pairs and
// " }]" at the end; the store's closing resend writes " , " after cantidadMovimientos in its
// store-wide record, which reads the same.
bool isClosingLayout(std::string_view body) {
  static const std::regex kLayout(
      R"(\[\{"montoVentaLiquida": [^ ,]+, "montoCancelaciones": [^ ,]+, "cantidadMovimientos": [^ ,]+ ?, )"
      R"("fechaVentas": "[^"]*", "cantidadCancelaciones": [^ ,]+ \}\])");
  return std::regex_match(body.begin(), body.end(), kLayout);
}

std::optional<ShapeFault> checkBatch(std::string_view body, const std::function<void(const Node&)>& element,
                                     bool (*laidOut)(std::string_view)) {
  rapidjson::Document value;
  rapidjson::Document raw;
  value.Parse<rapidjson::kParseIterativeFlag | rapidjson::kParseValidateEncodingFlag>(body.data(),
                                                                                      body.size());
  raw.Parse<rapidjson::kParseIterativeFlag | rapidjson::kParseNumbersAsStringsFlag>(body.data(), body.size());
  if (value.HasParseError() || raw.HasParseError()) return ShapeFault{"JSON_INVALIDO", ""};
  if (!value.IsArray() || value.Size() != 1) return ShapeFault{"LOTE_INVALIDO", ""};
  try {
    element(Node{value[0], raw[0], ""});
  } catch (const Fault& fault) {
    return fault.shape;
  }
  if (!laidOut(body)) return ShapeFault{"FORMATO_INVALIDO", ""};
  return std::nullopt;
}

}  // namespace

std::optional<ShapeFault> checkMovementBatch(std::string_view body) {
  return checkBatch(body, checkMovement, isCompact);
}

std::optional<ShapeFault> checkClosingDocument(std::string_view body) {
  return checkBatch(body, checkClosing, isClosingLayout);
}

}  // namespace varenta
