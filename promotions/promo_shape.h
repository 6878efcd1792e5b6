#pragma once
// The shape of one promotion of a cloud list, worked out from its tree before anything is written
// for it, and the routes the import takes from it.
//
// Member objects exist unless the text gave null for them, so a promotion whose "detalles" and
// "beneficios" are not null has benefits even when "beneficios" is missing or empty.

#include <string_view>

#include "promotions/promo_varenta.h"

namespace varenta {

struct PromoShape {
  bool hasDetails = false;         // Detalles present
  bool hasBenefits = false;        // ... and Detalles.Beneficios present
  bool hasBenefitItems = false;    // ... and Beneficios.Items not empty
  bool hasConditions = false;      // Detalles.Condiciones present
  bool hasConditionItems = false;  // ... and Condiciones.Items not empty
  bool hasPaymentForms = false;    // ... and Condiciones.FormasPago not empty
  bool basketType = false;         // Tipo exactly "ADICIONAL_DESCUENTO" or "ADICIONAL_REGALO"

  static PromoShape of(TResults& promotion) {
    PromoShape s;
    TDetalles* detalles = promotion.Detalles();
    s.hasDetails = detalles != nullptr;
    TBeneficios* beneficios = s.hasDetails ? detalles->Beneficios() : nullptr;
    TCondiciones* condiciones = s.hasDetails ? detalles->Condiciones() : nullptr;
    s.hasBenefits = beneficios != nullptr;
    s.hasBenefitItems = s.hasBenefits && !beneficios->Items().empty();
    s.hasConditions = condiciones != nullptr;
    s.hasConditionItems = s.hasConditions && !condiciones->Items().empty();
    s.hasPaymentForms = s.hasConditions && !condiciones->FormasPago().empty();
    const std::string_view tipo = promotion.Tipo();
    s.basketType = tipo == "ADICIONAL_DESCUENTO" || tipo == "ADICIONAL_REGALO";
    return s;
  }

  // Promotion rows with the BIN rows of its payment forms.
  bool paymentFormRoute() const { return hasPaymentForms; }
  // A promotional basket; may be taken besides the payment-form route.
  bool basketRoute() const { return hasBenefits && basketType && hasConditionItems; }
  // Promotion rows without BIN rows; excludes the other two.
  bool plainRoute() const { return !hasBenefits && !hasPaymentForms; }
};

}  // namespace varenta
