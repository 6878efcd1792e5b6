#include "sales/movement_json.h"

#include "base/json_writer.h"
#include "base/text.h"

namespace varenta {
namespace {

void writeLine(JsonWriter& w, const MovementLine& line) {
  w.beginObject();
  w.key("codigoArticulo").string(line.codigoArticulo);
  w.key("codigoBarras").string(line.codigoBarras);
  w.key("descripcionArticulo").string(line.descripcionArticulo);
  w.key("cantidad").number(line.cantidad.toDouble());
  w.key("importeUnitario").number(line.importeUnitario.toDouble());
  w.key("importe").number(line.importe.toDouble());
  w.key("descuento").number(line.descuento.toDouble());
  w.key("recargo").number(0);
  w.endObject();
}

void writePayment(JsonWriter& w, const MovementPayment& payment) {
  w.beginObject();
  w.key("codigoTipoPago").integer(payment.codigoTipoPago);
  w.key("codigoMoneda").string("986");
  w.key("importe").number(payment.importe.toDouble());
  w.key("cotizacion").number(1);
  if (payment.card) {
    w.key("ultimosDigitosTarjeta");
    if (const auto* digits = std::get_if<std::string>(&payment.card->ultimosDigitosTarjeta))
      w.string(*digits);
    else
      w.integer(std::get<int>(payment.card->ultimosDigitosTarjeta));
    w.key("numeroAutorizacion").string(payment.card->numeroAutorizacion);
    w.key("codigoTarjeta").null();
    w.key("bin").string(payment.card->bin);
  }
  w.endObject();
}

}  // namespace

std::string JsonVenda(const std::string& fecha, const std::string& numero, double descuentoTotal,
                      double recargoTotal, const std::string& codigoMoneda, double cotizacion, double total,
                      bool cancelacion, const std::string& documentoCliente, int codigoCanalVenta,
                      const std::string& descripcionCanalVenta, const std::vector<MovementLine>& detalles,
                      const std::vector<MovementPayment>& pagos) {
  JsonWriter w(JsonEscaping::kRawUtf8);
  w.beginObject();
  w.key("fecha").string(fecha);
  w.key("numero").string(numero);
  w.key("descuentoTotal").number(descuentoTotal);
  w.key("recargoTotal").number(recargoTotal);
  w.key("codigoMoneda").string(codigoMoneda);
  w.key("cotizacion").number(cotizacion);
  w.key("total").number(total);
  w.key("cancelacion").boolean(cancelacion);
  w.key("documentoCliente");
  if (trimBlanksAndControls(documentoCliente).empty())
    w.null();
  else
    w.string(documentoCliente);
  w.key("codigoCanalVenta").integer(codigoCanalVenta);
  w.key("descripcionCanalVenta").string(descripcionCanalVenta);
  w.key("detalles").beginArray();
  for (const MovementLine& line : detalles) writeLine(w, line);
  w.endArray();
  w.key("pagos").beginArray();
  for (const MovementPayment& payment : pagos) writePayment(w, payment);
  w.endArray();
  w.endObject();
  return w.text();
}

std::string DateTimeToISO8601(DateTime value) {
  return value.format("yyyy-mm-ddThh:nn:ss.zzz-0300");
}

}  // namespace varenta
