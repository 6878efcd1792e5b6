#pragma once
// The movement document's text: JsonVenda writes one movement object from its parts, keys in the
// cloud's order, compact, with the raw-UTF-8 escapes of JsonWriter; amounts become doubles only here.

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "base/datetime.h"
#include "base/decimal.h"

namespace varenta {

// A "detalles" element; "recargo" is always 0 and is not kept.
struct MovementLine {
  std::string codigoArticulo;
  std::string codigoBarras;
  std::string descripcionArticulo;
  Decimal cantidad;
  Decimal importeUnitario;
  Decimal importe;
  Decimal descuento;
};

// The keys a card payment carries when it has an authorisation.
struct CardKeys {
  // The card's last digits as text, or a drawn number when the row had none.
  std::variant<std::string, int> ultimosDigitosTarjeta;
  std::string numeroAutorizacion;
  std::string bin;
};

// A "pagos" element.
struct MovementPayment {
  int codigoTipoPago = 0;
  Decimal importe;
  std::optional<CardKeys> card;
};

// The movement object. "documentoCliente" is null when documentoCliente is empty after trimming,
// otherwise it is written unchanged.
std::string JsonVenda(const std::string& fecha, const std::string& numero, double descuentoTotal,
                      double recargoTotal, const std::string& codigoMoneda, double cotizacion, double total,
                      bool cancelacion, const std::string& documentoCliente, int codigoCanalVenta,
                      const std::string& descripcionCanalVenta, const std::vector<MovementLine>& detalles,
                      const std::vector<MovementPayment>& pagos);

// The stored wall-clock time with the fixed offset the cloud expects, unconverted:
// 2024-03-05T14:07:09.000-0300.
std::string DateTimeToISO8601(DateTime value);

}  // namespace varenta
