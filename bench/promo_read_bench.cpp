// Reading the cloud's promotion list into a TRoot, beside RapidJSON parsing the same text alone
// (into its own document, numbers kept as text as the mapping does) and beside the mapping's own
// parse (the same document, nesting limited) without filling any object.
#include <benchmark/benchmark.h>
#include <rapidjson/document.h>

#include <string>

#include "promotions/json_document.h"
#include "promotions/promo_varenta.h"

namespace varenta {
namespace {

// A list of `count` promotions of some 1 KB each: two condition articles, a payment form with
// BINs, a customer group and a benefit item.
std::string promotionList(int count) {
  std::string json = R"({"total":)" + std::to_string(count) + R"(,"results":[)";
  for (int i = 0; i < count; ++i) {
    const std::string n = std::to_string(i);
    json +=
        (i ? "," : "") + std::string(R"({"id":)") + n +
        R"(,"tipo":"ADICIONAL_DESCUENTO","titulo":"Leve 2 e ganhe desconto no segundo item )" + n +
        R"(","descripcion":"Promoção de inverno – analgésicos e antitérmicos )" + n +
        R"(","limitePromocionesPorTicket":2,"vigenciaDesde":"2024-06-01T00:00:00.000Z",)"
        R"("vigenciaHasta":"2024-08-31T23:59:59-03:00","autor":{"descripcion":"Laboratório Exemplo S.A."},)"
        R"("detalles":{"descuento":15.5,"paga":2,"precio":9.9,"condiciones":{"items":[{"cantidad":2,)"
        R"("articulos":[{"codigoBarras":"78910001)" +
        n +
        R"(","nombre":"DIPIRONA SÓDICA 500MG 10 COMPRIMIDOS"},)"
        R"({"codigoBarras":78920002)" +
        n +
        R"(,"nombre":"PARACETAMOL 750MG 20 COMPRIMIDOS"}]}],)"
        R"("formasPago":[{"descripcion":"Cartão de débito","codigoTipoPago":13,"codigoTarjeta":"VISA",)"
        R"("codigoMoneda":"BRL","bines":["411111","422222","433333"]}],"gruposCliente":[{"descripcion":)"
        R"("Clientes fidelidade","id":"7","tipo":"FIDELIDADE"}]},"beneficios":{"items":[{"cantidad":1,)"
        R"("articulos":[{"codigoBarras":"78930003)" +
        n + R"(","nombre":"VITAMINA C 1G 10 COMPRIMIDOS EFERVESCENTES"}]}]}}})";
  }
  return json + "]}";
}

const std::string& thousandPromotions() {
  static const std::string json = promotionList(1000);
  return json;
}

void label(benchmark::State& state) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * thousandPromotions().size()));
  state.SetLabel(std::to_string(thousandPromotions().size()) + " bytes");
}

void BM_ReadThousandPromotionsIntoTRoot(benchmark::State& state) {
  for (auto _ : state) {
    TRoot root;
    root.AsJson(thousandPromotions());
    benchmark::DoNotOptimize(root.Results().size());
  }
  label(state);
}

void BM_RapidJsonParseAlone(benchmark::State& state) {
  const std::string& json = thousandPromotions();
  for (auto _ : state) {
    rapidjson::Document document;
    document.Parse<rapidjson::kParseNumbersAsStringsFlag>(json.data(), json.size());
    benchmark::DoNotOptimize(document.IsObject());
  }
  label(state);
}

void BM_MappingParseAlone(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(ParsedJson(thousandPromotions()).valid());
  label(state);
}

BENCHMARK(BM_ReadThousandPromotionsIntoTRoot)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RapidJsonParseAlone)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MappingParseAlone)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace varenta
