// Any bytes assigned to a TRoot: the assignment either fills the tree or raises a conversion
// error, the whole tree can be walked, and the text written back is JSON that reads back into the
// same tree (writing that again gives the same text).

#include <cstdint>
#include <string>

#include "promotions/json_pretty.h"
#include "promotions/promo_varenta.h"
#include "tests/support/fuzz_check.h"

namespace {

void walk(varenta::TItems& item) {
  for (const auto& articulo : item.Articulos()) (void)articulo->CodigoBarras();
}

void walk(varenta::TResults& promotion) {
  varenta::TDetalles* detalles = promotion.Detalles();
  if (!detalles) return;
  if (varenta::TCondiciones* condiciones = detalles->Condiciones()) {
    for (const auto& item : condiciones->Items()) walk(*item);
    for (const auto& forma : condiciones->FormasPago()) (void)forma->Bines().size();
    (void)condiciones->GruposCliente().size();
  }
  if (varenta::TBeneficios* beneficios = detalles->Beneficios())
    for (const auto& item : beneficios->Items()) walk(*item);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  varenta::TRoot root;
  try {
    root.AsJson(std::string_view(reinterpret_cast<const char*>(data), size));
  } catch (const varenta::EConvertError&) {
  }
  for (const auto& promotion : root.Results()) walk(*promotion);
  const std::string written = root.AsJson();
  FUZZ_CHECK(!varenta::PrettyPrintJSON(written).empty());

  varenta::TRoot again;
  again.AsJson(written);
  FUZZ_CHECK(again.AsJson() == written);
  return 0;
}
