#include "tests/e2e/cloud_fixture.h"

#include <algorithm>
#include <chrono>
#include <fstream>
#include <string_view>

#include "storedb/query.h"

namespace varenta::e2e {
namespace {

using std::chrono::days;

std::string jsonText(std::string_view text) {
  return "\"" + std::string(text) + "\"";
}

// The articles of a promotion item, by catalogue position.
std::string articles(const Store& store, std::initializer_list<int> positions) {
  std::string out = "[";
  for (int p : positions) {
    if (out.size() > 1) out += ",";
    out += "{\"codigoBarras\":" + jsonText(store.products[p].code) + ",\"nombre\":\"artigo\"}";
  }
  return out + "]";
}

std::string item(const Store& store, int cantidad, std::initializer_list<int> positions) {
  return "{\"cantidad\":" + std::to_string(cantidad) + ",\"articulos\":" + articles(store, positions) + "}";
}

struct Validity {
  std::string from;  // vigenciaDesde
  std::string to;    // vigenciaHasta
};

Validity validity(const Store& store) {
  return {(store.today - days(1)).format("yyyy-mm-ddT12:00:00.000Z"),
          (store.today + days(30)).format("yyyy-mm-ddT12:00:00.000Z")};
}

std::string promotion(const Store& store, int id, std::string_view tipo, std::string_view descripcion,
                      std::string_view detalles, int limite = 0) {
  const Validity v = validity(store);
  std::string out = "{\"id\":" + std::to_string(id) + ",\"titulo\":\"promo " + std::to_string(id) +
                    "\",\"descripcion\":" + jsonText(descripcion) + ",\"tipo\":" + jsonText(tipo);
  if (limite > 0) out += ",\"limitePromocionesPorTicket\":" + std::to_string(limite);
  return out + ",\"vigenciaDesde\":" + jsonText(v.from) + ",\"vigenciaHasta\":" + jsonText(v.to) +
         ",\"autor\":{\"descripcion\":\"Laboratório\"},\"detalles\":" + std::string(detalles) + "}";
}

std::string list(const std::vector<std::string>& promotions) {
  std::string out = "{\"results\":[";
  for (std::size_t i = 0; i < promotions.size(); ++i) out += (i ? "," : "") + promotions[i];
  return out + "],\"total\":" + std::to_string(promotions.size()) + "}";
}

// "beneficios": null is what keeps a promotion on the plain route; an object, even empty, counts as
// benefits.
std::string acceptedPromotions(const Store& s) {
  return list({
      promotion(
          s, 101, "DESCUENTO_VARIABLE", "DIPIRONA E PARACETAMOL 15%",
          "{\"descuento\":15,\"beneficios\":null,\"condiciones\":{\"items\":[" + item(s, 1, {0, 1}) + "]}}",
          2),
      promotion(s, 102, "PRECIO_FIJO", "AMOXICILINA A 9,90",
                "{\"precio\":9.9,\"beneficios\":null,\"condiciones\":{\"items\":[" + item(s, 2, {2}) + "]}}",
                1),
      promotion(
          s, 103, "DESCUENTO_FIJO", "LOSARTANA R$ 2,50 OFF",
          "{\"descuento\":2.5,\"beneficios\":null,\"condiciones\":{\"items\":[" + item(s, 1, {3}) + "]}}"),
      promotion(s, 104, "LLEVA_PAGA", "PROTETOR LEVE 3 PAGUE 2",
                "{\"paga\":2,\"beneficios\":null,\"condiciones\":{\"items\":[" + item(s, 3, {4}) + "]}}"),
      promotion(
          s, 105, "DESCUENTO_VARIABLE", "ÁLCOOL GEL 10% NO CARTÃO",
          "{\"descuento\":10,\"beneficios\":{\"items\":[]},\"condiciones\":{\"formasPago\":["
          "{\"descripcion\":\"Débito\",\"codigoTipoPago\":13,\"codigoTarjeta\":\"ELO\",\"codigoMoneda\":"
          "\"986\","
          "\"bines\":[\"516292\",\"498765\"]},{\"codigoTipoPago\":10,\"bines\":[\"411111\"]}],\"items\":[" +
              item(s, 1, {5, 15}) + "]}}"),
      promotion(s, 106, "ADICIONAL_REGALO", "FRALDA GANHE ESCOVA",
                "{\"beneficios\":{\"items\":[" + item(s, 1, {9}) + "]},\"condiciones\":{\"items\":[" +
                    item(s, 2, {10, 6}) + "]}}"),
      promotion(s, 107, "ADICIONAL_DESCUENTO", "OMEPRAZOL + VITAMINA C 15%",
                "{\"descuento\":15,\"beneficios\":{\"items\":[" + item(s, 1, {7}) +
                    "]},\"condiciones\":{\"items\":[" + item(s, 1, {11}) + "]}}"),
      promotion(s, 108, "DESCUENTO_VARIABLE", "SEM ROTA",
                "{\"descuento\":5,\"beneficios\":{},\"condiciones\":{\"items\":[" + item(s, 1, {12}) + "]}}"),
  });
}

std::string rejectedPromotions(const Store& s) {
  return list({
      promotion(s, 201, "DESCUENTO_VARIABLE", "CARTÃO AMIGO 10%",
                "{\"descuento\":10,\"condiciones\":{\"formasPago\":[{\"codigoTipoPago\":13,\"bines\":["
                "\"516292\"]}]}}"),
      promotion(s, 202, "ADICIONAL_REGALO", "KIT VERÃO",
                "{\"beneficios\":{\"items\":[" + item(s, 1, {9}) + "]},\"condiciones\":{\"items\":[" +
                    item(s, 1, {4}) + "]}}"),
      promotion(s, 203, "LLEVA_PAGA", "LEVE MAIS SAÚDE",
                "{\"paga\":1,\"beneficios\":null,\"condiciones\":{\"items\":[" + item(s, 2, {13}) + "]}}"),
      promotion(s, 204, "PRECIO_FIJO", "SEM ARTIGOS",
                "{\"precio\":1,\"beneficios\":null,\"condiciones\":{\"items\":[{\"cantidad\":1,\"articulos\":"
                "[]}]}}"),
  });
}

std::string day(DateTime d) {
  return d.format("yyyy-mm-dd");
}

std::string cell(const Field& f) {
  return f.isNull() ? "-" : f.asString();
}
std::string dateCell(const Field& f) {
  return f.isNull() ? "-" : f.asDateTime().format("yyyy-mm-dd");
}
std::string numberCell(const Field& f) {
  return f.isNull() ? "-" : f.asDecimal().toString();
}
std::string rejectedCell(const Field& f) {
  return f.isNull() ? "-" : "rejeitada";
}

std::vector<std::string> rows(
    Connection& connection, const std::string& sql,
    const std::vector<std::pair<std::string, std::string (*)(const Field&)>>& columns) {
  Query query(connection);
  query.setSql(sql);
  query.open();
  std::vector<std::string> out;
  for (; !query.eof(); query.next()) {
    std::string row;
    for (const auto& [name, render] : columns) row += (row.empty() ? "" : "|") + render(query.field(name));
    out.push_back(row);
  }
  return out;
}

}  // namespace

ResendRequests resendRequests(const Store& store) {
  return {store.today - days(3), 2, store.today - days(2), 3};
}

std::vector<std::pair<std::string, std::string>> cloudFiles(const Store& store) {
  const ResendRequests r = resendRequests(store);
  return {
      {"promociones-aceptadas.json", acceptedPromotions(store)},
      {"promociones-rechazadas.json", rejectedPromotions(store)},
      {"solicitudes-movimientos.json",
       "[{\"fecha\":\"" + day(r.movementDay) +
           "\",\"tipo\":\"MOVIMIENTOS\",\"codigoCaja\":" + std::to_string(r.movementRegister) +
           "},{\"fecha\":\"" + day(r.closingDay) + "\",\"tipo\":\"CIERRES_DIARIOS\",\"codigoCaja\":1}]"},
      {"solicitudes-cierres.json", "[{\"fecha\":\"" + day(r.closingDay) +
                                       "T10:00:00\",\"tipo\":\"CIERRES_DIARIOS\",\"codigoCaja\":\"" +
                                       std::to_string(r.closingRegister) + "\"}]"},
  };
}

void writeCloudFiles(const Store& store, const std::filesystem::path& dataDir) {
  for (const auto& [name, text] : cloudFiles(store)) std::ofstream(dataDir / name, std::ios::binary) << text;
}

PromotionTables expectedPromotionTables(const Store& s) {
  const std::string from = day(s.today - days(1));
  const std::string lastDay = day(s.today + days(29));  // the day before the end of validity
  const std::string to = day(s.today + days(30));
  auto code = [&](int p) { return s.products[p].code; };
  PromotionTables t;
  t.promocoes = {
      "101|" + from + "|" + lastDay + "|2|N|1|15|-|-|-|-|DIPIRONA E PARACETAMOL 15%|-",
      "102|" + from + "|" + lastDay + "|1|K|2|-|-|9.9|-|-|AMOXICILINA A 9,90|-",
      "103|" + from + "|" + lastDay + "|0|F|1|-|2.5|-|-|-|LOSARTANA R$ 2,50 OFF|-",
      "104|" + from + "|" + lastDay + "|0|P|3|-|-|-|3|2|PROTETOR LEVE 3 PAGUE 2|-",
      "105|" + from + "|" + lastDay + "|0|N|1|10|-|-|-|-|ÁLCOOL GEL 10% NO CARTÃO|-",
      "201|-|-|-|N|-|-|-|-|-|-|CARTÃO AMIGO 10%|rejeitada",
      "203|-|-|-|N|-|-|-|-|-|-|LEVE MAIS SAÚDE|rejeitada",
      "204|-|-|-|N|-|-|-|-|-|-|SEM ARTIGOS|-",
  };
  t.produtos = {"101|" + code(0), "101|" + code(1), "102|" + code(2), "103|" + code(3),
                "104|" + code(4), "105|" + code(5), "105|" + code(15)};
  std::sort(t.produtos.begin(), t.produtos.end());
  t.bins = {"105|411111|C", "105|498765|D", "105|516292|D"};
  t.cestas = {
      "CPROM1|FRALDA GANHE ESCOVA|" + from + "|" + to + "|106|-",
      "CPROM2|OMEPRAZOL + VITAMINA C 15%|" + from + "|" + to + "|107|-",
      "CPROM90|KIT VERÃO|-|-|202|rejeitada",
  };
  t.itens = {
      "CPROM1|" + code(10) + "|2|N|-|-|FRALDA GANHE ESCOVA",
      "CPROM1|" + code(6) + "|2|N|-|-|FRALDA GANHE ESCOVA",
      "CPROM1|" + code(9) + "|1|P|100|100|-",
      "CPROM2|" + code(11) + "|1|N|-|-|OMEPRAZOL + VITAMINA C 15%",
      "CPROM2|" + code(7) + "|1|P|15|15|-",
  };
  std::sort(t.itens.begin(), t.itens.end());
  return t;
}

PromotionTables readPromotionTables(Connection& c) {
  PromotionTables t;
  t.promocoes = rows(c, "SELECT * FROM VARENTA_PROMOCOES ORDER BY CODIGOPROMOCAO",
                     {{"CODIGOPROMOCAO", cell},
                      {"DATAINICIAL", dateCell},
                      {"DATAFINAL", dateCell},
                      {"LIMITE", cell},
                      {"TIPOPROMOCAO", cell},
                      {"QUANTIDADEMINIMA", cell},
                      {"DESCONTOPORCENTAGEM", numberCell},
                      {"DESCONTOFIXO", numberCell},
                      {"PRECOFIXO", numberCell},
                      {"LEVE", cell},
                      {"PAGUE", cell},
                      {"DESCRICAO", cell},
                      {"REJEITADA", rejectedCell}});
  t.produtos = rows(c, "SELECT * FROM VARENTA_PROMOCOES_PRODUTOS ORDER BY CODIGOPROMOCAO, CODIGOPRODUTO",
                    {{"CODIGOPROMOCAO", cell}, {"CODIGOPRODUTO", cell}});
  t.bins = rows(c, "SELECT * FROM VARENTA_PROMOCOES_BIN ORDER BY CODIGOPROMOCAO, BIN",
                {{"CODIGOPROMOCAO", cell}, {"BIN", cell}, {"CREDITODEBITO", cell}});
  t.cestas = rows(c, "SELECT * FROM CESTASPROMOCIONAIS ORDER BY CODIGO",
                  {{"CODIGO", cell},
                   {"DESCRICAO", cell},
                   {"DATAINICIOPROMOCAO", dateCell},
                   {"DATAFINALPROMOCAO", dateCell},
                   {"CODIGOVARENTA", cell},
                   {"REJEITADA", rejectedCell}});
  t.itens = rows(c, "SELECT * FROM ITENSCESTASPROMOCIONAIS ORDER BY CODIGOCESTA, CODIGOPRODUTO",
                 {{"CODIGOCESTA", cell},
                  {"CODIGOPRODUTO", cell},
                  {"QUANTIDADE", numberCell},
                  {"TIPODESCONTO", cell},
                  {"DESCONTOVISTA", numberCell},
                  {"DESCONTOPRAZO", numberCell},
                  {"DESCRICAO", cell}});
  return t;
}

}  // namespace varenta::e2e
