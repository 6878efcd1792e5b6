#include "promotions/promo_varenta.h"

#include <array>

namespace varenta {

// One table per class, members in declaration order.

std::span<const TMember<TArticulos>> TArticulos::Members() {
  static const std::array members{
      Member<&TArticulos::FCodigoBarras>("FCodigoBarras"),
      Member<&TArticulos::FNombre>("FNombre"),
  };
  return members;
}

std::span<const TMember<TItems>> TItems::Members() {
  static const std::array members{
      Member<&TItems::FArticulosArray>("FArticulosArray", Key{"articulos"}, WriteExcluded),
      Member<&TItems::FArticulos>("FArticulos", GenericListReflectAttribute<&TItems::Articulos>{}),
      Member<&TItems::FCantidad>("FCantidad"),
  };
  return members;
}

std::span<const TMember<TFormasPago>> TFormasPago::Members() {
  static const std::array members{
      Member<&TFormasPago::FDescripcion>("FDescripcion"),
      Member<&TFormasPago::FCodigoTipoPago>("FCodigoTipoPago"),
      Member<&TFormasPago::FCodigoTarjeta>("FCodigoTarjeta"),
      Member<&TFormasPago::FCodigoMoneda>("FCodigoMoneda"),
      Member<&TFormasPago::FBines>("FBines", Key{"bines"}),
  };
  return members;
}

std::span<const TMember<TGruposCliente>> TGruposCliente::Members() {
  static const std::array members{
      Member<&TGruposCliente::FDescripcion>("FDescripcion"),
      Member<&TGruposCliente::FId>("FId"),
      Member<&TGruposCliente::FTipo>("FTipo"),
  };
  return members;
}

std::span<const TMember<TCondiciones>> TCondiciones::Members() {
  static const std::array members{
      Member<&TCondiciones::FFormasPagoArray>("FFormasPagoArray", Key{"formasPago"}, WriteExcluded),
      Member<&TCondiciones::FFormasPago>("FFormasPago",
                                         GenericListReflectAttribute<&TCondiciones::FormasPago>{}),
      Member<&TCondiciones::FGruposClienteArray>("FGruposClienteArray", Key{"gruposCliente"}, WriteExcluded),
      Member<&TCondiciones::FGruposCliente>("FGruposCliente",
                                            GenericListReflectAttribute<&TCondiciones::GruposCliente>{}),
      Member<&TCondiciones::FItemsArray>("FItemsArray", Key{"items"}, WriteExcluded),
      Member<&TCondiciones::FItems>("FItems", GenericListReflectAttribute<&TCondiciones::Items>{}),
  };
  return members;
}

std::span<const TMember<TBeneficios>> TBeneficios::Members() {
  static const std::array members{
      Member<&TBeneficios::FItemsArray>("FItemsArray", Key{"items"}, WriteExcluded),
      Member<&TBeneficios::FItems>("FItems", GenericListReflectAttribute<&TBeneficios::Items>{}),
  };
  return members;
}

TDetalles::TDetalles()
    : FBeneficios(std::make_unique<TBeneficios>()), FCondiciones(std::make_unique<TCondiciones>()) {}

std::span<const TMember<TDetalles>> TDetalles::Members() {
  static const std::array members{
      Member<&TDetalles::FBeneficios>("FBeneficios"), Member<&TDetalles::FCondiciones>("FCondiciones"),
      Member<&TDetalles::FDescuento>("FDescuento"),   Member<&TDetalles::FPaga>("FPaga"),
      Member<&TDetalles::FPrecio>("FPrecio"),
  };
  return members;
}

std::span<const TMember<TAutor>> TAutor::Members() {
  static const std::array members{Member<&TAutor::FDescripcion>("FDescripcion")};
  return members;
}

TResults::TResults() : FAutor(std::make_unique<TAutor>()), FDetalles(std::make_unique<TDetalles>()) {}

std::span<const TMember<TResults>> TResults::Members() {
  static const std::array members{
      Member<&TResults::FAutor>("FAutor"),
      Member<&TResults::FDescripcion>("FDescripcion"),
      Member<&TResults::FDetalles>("FDetalles"),
      Member<&TResults::FId>("FId"),
      Member<&TResults::FLimitePromocionesPorTicket>("FLimitePromocionesPorTicket"),
      Member<&TResults::FTipo>("FTipo"),
      Member<&TResults::FTitulo>("FTitulo"),
      Member<&TResults::FVigenciaDesde>("FVigenciaDesde", SuppressZeroAttribute{}),
      Member<&TResults::FVigenciaHasta>("FVigenciaHasta", SuppressZeroAttribute{}),
  };
  return members;
}

std::span<const TMember<TRoot>> TRoot::Members() {
  static const std::array members{
      Member<&TRoot::FResultsArray>("FResultsArray", Key{"results"}, WriteExcluded),
      Member<&TRoot::FResults>("FResults", GenericListReflectAttribute<&TRoot::Results>{}),
      Member<&TRoot::FTotal>("FTotal"),
  };
  return members;
}

}  // namespace varenta
