#pragma once
// The promotion list the cloud answers with (accepted and rejected promotions alike), as objects:
//
//   TRoot            results: TResults[], total
//   TResults         one promotion: autor, descripcion, detalles, id, limitePromocionesPorTicket,
//                    tipo, titulo, vigenciaDesde, vigenciaHasta (ISO 8601, taken as UTC)
//   TDetalles        beneficios, condiciones, descuento, paga, precio
//   TCondiciones     formasPago: TFormasPago[], gruposCliente: TGruposCliente[], items: TItems[]
//   TBeneficios      items: TItems[]
//   TItems           articulos: TArticulos[], cantidad
//
// A TRoot is filled by assigning the response body to AsJson and owns the whole tree. Member
// objects exist from their parent's construction, so a promotion always has an Autor and Detalles,
// and Detalles always has Condiciones and Beneficios, unless the text gives null for them: only
// then are they missing (nullptr). Lists are never missing; a missing or null key gives an empty
// list. Missing numbers are 0, texts empty, dates the zero date-time.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/datetime.h"
#include "base/decimal.h"
#include "promotions/dto_member.h"
#include "promotions/json_dto.h"

namespace varenta {

class TArticulos {
 public:
  const std::string& CodigoBarras() const { return FCodigoBarras; }
  const std::string& Nombre() const { return FNombre; }
  static std::span<const TMember<TArticulos>> Members();

 private:
  std::string FCodigoBarras;
  std::string FNombre;
};

class TItems : public TJsonDTO<TItems> {
 public:
  const TObjectList<TArticulos>& Articulos() { return ListFromArray(FArticulos, FArticulosArray); }
  std::int32_t Cantidad() const { return FCantidad; }
  static std::span<const TMember<TItems>> Members();

 private:
  TObjectList<TArticulos> FArticulosArray;
  std::optional<TObjectList<TArticulos>> FArticulos;
  std::int32_t FCantidad = 0;
};

class TFormasPago : public TJsonDTO<TFormasPago> {
 public:
  const std::string& Descripcion() const { return FDescripcion; }
  std::int32_t CodigoTipoPago() const { return FCodigoTipoPago; }
  const std::string& CodigoTarjeta() const { return FCodigoTarjeta; }
  const std::string& CodigoMoneda() const { return FCodigoMoneda; }
  const std::vector<std::string>& Bines() const { return FBines; }
  static std::span<const TMember<TFormasPago>> Members();

 private:
  std::string FDescripcion;
  std::int32_t FCodigoTipoPago = 0;
  std::string FCodigoTarjeta;
  std::string FCodigoMoneda;
  std::vector<std::string> FBines;
};

class TGruposCliente {
 public:
  const std::string& Descripcion() const { return FDescripcion; }
  const std::string& Id() const { return FId; }  // a text here, while a promotion's id is a number
  const std::string& Tipo() const { return FTipo; }
  static std::span<const TMember<TGruposCliente>> Members();

 private:
  std::string FDescripcion;
  std::string FId;
  std::string FTipo;
};

class TCondiciones : public TJsonDTO<TCondiciones> {
 public:
  const TObjectList<TFormasPago>& FormasPago() { return ListFromArray(FFormasPago, FFormasPagoArray); }
  const TObjectList<TGruposCliente>& GruposCliente() {
    return ListFromArray(FGruposCliente, FGruposClienteArray);
  }
  const TObjectList<TItems>& Items() { return ListFromArray(FItems, FItemsArray); }
  static std::span<const TMember<TCondiciones>> Members();

 private:
  TObjectList<TFormasPago> FFormasPagoArray;
  std::optional<TObjectList<TFormasPago>> FFormasPago;
  TObjectList<TGruposCliente> FGruposClienteArray;
  std::optional<TObjectList<TGruposCliente>> FGruposCliente;
  TObjectList<TItems> FItemsArray;
  std::optional<TObjectList<TItems>> FItems;
};

class TBeneficios : public TJsonDTO<TBeneficios> {
 public:
  const TObjectList<TItems>& Items() { return ListFromArray(FItems, FItemsArray); }
  static std::span<const TMember<TBeneficios>> Members();

 private:
  TObjectList<TItems> FItemsArray;
  std::optional<TObjectList<TItems>> FItems;
};

class TDetalles {
 public:
  TDetalles();
  TBeneficios* Beneficios() const { return FBeneficios.get(); }
  TCondiciones* Condiciones() const { return FCondiciones.get(); }
  double Descuento() const { return FDescuento; }
  std::int32_t Paga() const { return FPaga; }
  Decimal Precio() const { return FPrecio; }
  static std::span<const TMember<TDetalles>> Members();

 private:
  std::unique_ptr<TBeneficios> FBeneficios;
  std::unique_ptr<TCondiciones> FCondiciones;
  double FDescuento = 0;
  std::int32_t FPaga = 0;
  Decimal FPrecio;
};

class TAutor {
 public:
  const std::string& Descripcion() const { return FDescripcion; }
  static std::span<const TMember<TAutor>> Members();

 private:
  std::string FDescripcion;
};

class TResults {
 public:
  TResults();
  TAutor* Autor() const { return FAutor.get(); }
  const std::string& Descripcion() const { return FDescripcion; }
  TDetalles* Detalles() const { return FDetalles.get(); }
  std::int32_t Id() const { return FId; }
  std::int32_t LimitePromocionesPorTicket() const { return FLimitePromocionesPorTicket; }
  const std::string& Tipo() const { return FTipo; }
  const std::string& Titulo() const { return FTitulo; }
  DateTime VigenciaDesde() const { return FVigenciaDesde; }
  DateTime VigenciaHasta() const { return FVigenciaHasta; }
  static std::span<const TMember<TResults>> Members();

 private:
  std::unique_ptr<TAutor> FAutor;
  std::string FDescripcion;
  std::unique_ptr<TDetalles> FDetalles;
  std::int32_t FId = 0;
  std::int32_t FLimitePromocionesPorTicket = 0;
  std::string FTipo;
  std::string FTitulo;
  DateTime FVigenciaDesde;
  DateTime FVigenciaHasta;
};

class TRoot : public TJsonDTO<TRoot> {
 public:
  const TObjectList<TResults>& Results() { return ListFromArray(FResults, FResultsArray); }
  std::int32_t Total() const { return FTotal; }
  static std::span<const TMember<TRoot>> Members();

 private:
  TObjectList<TResults> FResultsArray;
  std::optional<TObjectList<TResults>> FResults;
  std::int32_t FTotal = 0;
};

}  // namespace varenta
