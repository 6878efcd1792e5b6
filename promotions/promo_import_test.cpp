#include "promotions/promo_import.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "api/api_errors.h"
#include "api/post_answer.h"
#include "tests/tasks/task_fixture.h"

namespace varenta {
namespace {

using Rows = std::vector<std::string>;

constexpr const char* kTables[] = {"VARENTA_PROMOCOES", "VARENTA_PROMOCOES_PRODUTOS", "VARENTA_PROMOCOES_BIN",
                                   "CESTASPROMOCIONAIS", "ITENSCESTASPROMOCIONAIS"};
constexpr const char* kOldMark = "2024-01-01 08:00:00";
const DateTime kNow = DateTime::fromParts(2024, 3, 5, 10, 0);
constexpr const char* kRejectedOk = "[R- 05/03/2024]Ok:Promos Varenta rejeitadas com sucesso";
constexpr const char* kAcceptedOk = "[P- 05/03/2024]Ok:Promos Varenta atualizadas com sucesso";

// One store database and stand-in for the suite; every test starts from empty promotion tables, the
// promotion mark at kOldMark and the basket generator at 56.
class PromoImportTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    f_ = std::make_unique<testing::TaskFixture>(kNow, "2024-03-01");
    // The store refuses some rows: a product, a BIN and a whole promotion.
    db().exec("CREATE EXCEPTION E_RECUSADO 'recusado pela loja'");
    db().exec(
        "CREATE TRIGGER T_PRODUTO_RECUSADO FOR VARENTA_PROMOCOES_PRODUTOS BEFORE INSERT OR UPDATE AS BEGIN "
        "IF (NEW.CODIGOPRODUTO = 'RECUSADO') THEN EXCEPTION E_RECUSADO; END");
    db().exec(
        "CREATE TRIGGER T_BIN_RECUSADO FOR VARENTA_PROMOCOES_BIN BEFORE INSERT OR UPDATE AS BEGIN "
        "IF (NEW.BIN = '000000') THEN EXCEPTION E_RECUSADO; END");
    db().exec(
        "CREATE TRIGGER T_PROMOCAO_RECUSADA FOR VARENTA_PROMOCOES BEFORE INSERT OR UPDATE AS BEGIN "
        "IF (NEW.CODIGOPROMOCAO = 666) THEN EXCEPTION E_RECUSADO; END");
  }
  static void TearDownTestSuite() { f_.reset(); }

  void SetUp() override {
    for (const char* table : kTables) db().exec(std::string("delete from ") + table);
    db().exec(std::string("update padrao set varenta_verificapromo = '") + kOldMark + "'");
    db().exec("SET GENERATOR GEN_CESTASPROMOCIONAIS TO 56");
    f_->reload();
    f_->reloads = 0;
    f_->log.clear();
    hold_ = NotBefore(std::chrono::minutes(60));
  }

  static testing::TestDatabase& db() { return f_->database; }
  static Rows logLines() { return f_->log.lines(); }

  // One run of the import with the cloud listing these two bodies.
  void run(std::string_view rejected, std::string_view accepted) {
    f_->standIn.writeDataFile("promociones-rechazadas.json", rejected);
    f_->standIn.writeDataFile("promociones-aceptadas.json", accepted);
    AtualizaPromo({f_->context(), hold_});
  }

  // Every row of the table ordered by all its columns, each row its columns joined by "|" as the
  // database writes them as text, "-" for null.
  static Rows dump(const std::string& table) {
    Query columns(db().connection());
    columns.setSql(
        "select trim(rdb$field_name) as name from rdb$relation_fields where rdb$relation_name = :t order by "
        "rdb$field_position");
    columns.setString("t", table);
    columns.open();
    std::string select, order;
    for (; !columns.eof(); columns.next()) {
      const std::string name = columns.field("name").asString();
      select += (select.empty() ? "" : " || '|' || ") + ("coalesce(cast(" + name + " as varchar(100)), '-')");
      order += (order.empty() ? "" : ", ") + name;
    }
    Query rows(db().connection());
    rows.setSql("select " + select + " as r from " + table + " order by " + order);
    rows.open();
    Rows out;
    for (; !rows.eof(); rows.next()) out.push_back(rows.field("r").asString());
    return out;
  }
  static std::map<std::string, Rows> everyTable() {
    std::map<std::string, Rows> tables;
    for (const char* table : kTables) tables[table] = dump(table);
    return tables;
  }
  static std::int64_t generator() {
    Query q(db().connection());
    q.setSql("select gen_id(GEN_CESTASPROMOCIONAIS, 0) as g from rdb$database");
    q.open();
    return q.field("g").asInteger();
  }
  static DateTime storedMark() {
    Query q(db().connection());
    q.setSql("select varenta_verificapromo from padrao");
    q.open();
    return q.field("varenta_verificapromo").asDateTime();
  }
  static bool markMoved() { return storedMark() != DateTime::fromParts(2024, 1, 1, 8); }

  static inline std::unique_ptr<testing::TaskFixture> f_;
  NotBefore hold_{std::chrono::minutes(60)};
};

// Plain promotions ("beneficios": null) of every type, with and without payment forms.
constexpr const char* kPromotions = R"({"total":10,"results":[
  {"id":101,"tipo":"DESCUENTO_VARIABLE","descripcion":"Desconto variável","limitePromocionesPorTicket":2,
   "vigenciaDesde":"2024-03-01T00:00:00Z","vigenciaHasta":"2024-03-31T00:00:00Z",
   "detalles":{"descuento":2.50005,"beneficios":null,"condiciones":{"items":[{"cantidad":1,
     "articulos":[{"codigoBarras":"7891000000011"},{"codigoBarras":7891000000012}]}]}}},
  {"id":102,"tipo":"DESCUENTO_FIJO","descripcion":"Desconto fixo","limitePromocionesPorTicket":1,
   "vigenciaDesde":"2024-04-01","vigenciaHasta":"2024-05-01",
   "detalles":{"descuento":3.00015,"beneficios":null,"condiciones":{"items":[{"cantidad":1,
     "articulos":[{"codigoBarras":"7891000000021"}]}]}}},
  {"id":103,"tipo":"DESCUENTO_VARIABLE","descripcion":"Sem datas",
   "detalles":{"descuento":12.34565,"beneficios":null,"condiciones":{"items":[{"cantidad":1,
     "articulos":[{"codigoBarras":"7891000000031"}]}]}}},
  {"id":104,"tipo":"PRECIO_FIJO","descripcion":"Preço fixo","vigenciaDesde":"2024-03-01","vigenciaHasta":"2024-04-01",
   "detalles":{"precio":9.9,"descuento":7,"paga":7,"beneficios":null,"condiciones":{"items":[{"cantidad":2,
     "articulos":[{"codigoBarras":"RECUSADO"},{"codigoBarras":"7891000000041"}]}]}}},
  {"id":105,"tipo":"LLEVA_PAGA","descripcion":"Leve 3 pague 2","vigenciaDesde":"2024-03-01","vigenciaHasta":"2024-04-01",
   "detalles":{"paga":2,"beneficios":null,"condiciones":{"items":[
     {"cantidad":2,"articulos":[{"codigoBarras":"7891000000051"}]},
     {"cantidad":3,"articulos":[{"codigoBarras":"7891000000051"},{"codigoBarras":"7891000000052"}]}]}}},
  {"id":106,"tipo":"COMBO_FAMILIA","descripcion":"Fora da tabela","vigenciaDesde":"2024-03-01","vigenciaHasta":"2024-04-01",
   "detalles":{"descuento":5,"precio":1,"paga":1,"beneficios":null,"condiciones":{"items":[{"cantidad":4,"articulos":[]}]}}},
  {"id":107,"tipo":"DESCUENTO_VARIABLE","descripcion":"Cartões","vigenciaDesde":"2024-03-01","vigenciaHasta":"2024-04-01",
   "detalles":{"descuento":10,"condiciones":{"items":[{"cantidad":1,
     "articulos":[{"codigoBarras":"7891000000071"},{"codigoBarras":"7891000000072"}]}],
     "formasPago":[{"codigoTipoPago":13,"bines":["411111","422222"]},{"codigoTipoPago":10,"bines":["511111","422222"]},
                   {"codigoTipoPago":7,"bines":["000000","611111"]},{"codigoTipoPago":13,"bines":[]}]}}},
  {"id":108,"tipo":"DESCUENTO_FIJO","descripcion":"Cartão sem artigos","vigenciaDesde":"2024-03-01","vigenciaHasta":"2024-04-01",
   "detalles":{"descuento":1,"condiciones":{"items":[{"cantidad":1,"articulos":[]}],
     "formasPago":[{"codigoTipoPago":13,"bines":["811111"]}]}}},
  {"id":109,"tipo":"DESCUENTO_VARIABLE","descripcion":"Sem rota",
   "detalles":{"descuento":20,"condiciones":{"items":[{"cantidad":1,"articulos":[{"codigoBarras":"7891000000091"}]}]}}},
  {"id":110,"tipo":"DESCUENTO_VARIABLE","detalles":{"beneficios":null,"condiciones":{"items":[]}}}
]})";

TEST_F(PromoImportTest, PromotionsLeaveTheirRowsAndASecondRunChangesNothing) {
  run("[]", kPromotions);

  EXPECT_EQ(dump("VARENTA_PROMOCOES"),
            (Rows{
                "101|2024-03-01|2024-03-30|2|N|1|2.5000|-|-|-|-|Desconto variável|-",
                "102|2024-04-01|2024-04-30|1|F|1|-|3.0002|-|-|-|Desconto fixo|-",
                "103|1899-12-30|1899-12-29|0|N|1|12.3456|-|-|-|-|Sem datas|-",
                "104|2024-03-01|2024-03-31|0|K|2|-|-|9.9000|-|-|Preço fixo|-",
                "105|2024-03-01|2024-03-31|0|P|3|-|-|-|3|2|Leve 3 pague 2|-",
                "106|2024-03-01|2024-03-31|0|-|4|-|-|-|-|-|Fora da tabela|-",
                "107|2024-03-01|2024-03-31|0|N|1|10.0000|-|-|-|-|Cartões|-",
                "108|2024-03-01|2024-03-31|0|F|1|-|1.0000|-|-|-|Cartão sem artigos|-",
            }));
  EXPECT_EQ(dump("VARENTA_PROMOCOES_PRODUTOS"),
            (Rows{"101|7891000000011", "101|7891000000012", "102|7891000000021", "103|7891000000031",
                  "104|7891000000041", "105|7891000000051", "105|7891000000052", "107|7891000000071",
                  "107|7891000000072"}));
  EXPECT_EQ(dump("VARENTA_PROMOCOES_BIN"),
            (Rows{"107|411111|D", "107|422222|C", "107|511111|C", "107|611111|-"}));
  EXPECT_EQ(logLines(), Rows{kAcceptedOk});
  // No line until the phase ends, but word that the work goes on for every article written.
  EXPECT_GE(f_->log.stillWorkingCalls(), 9);
  EXPECT_TRUE(markMoved());
  EXPECT_EQ(f_->reloads, 1);
  EXPECT_TRUE(hold_.allows(kNow));

  const auto before = everyTable();
  run("[]", kPromotions);
  EXPECT_EQ(everyTable(), before);
}

constexpr const char* kBaskets = R"({"results":[
  {"id":401,"tipo":"ADICIONAL_REGALO","descripcion":"Leve 2 ganhe 1","vigenciaDesde":"2024-03-01",
   "vigenciaHasta":"2024-03-31T12:00:00Z","detalles":{
     "condiciones":{"items":[{"cantidad":2,"articulos":[{"codigoBarras":"7891000004011"},{"codigoBarras":"7891000004012"}]}]},
     "beneficios":{"items":[{"cantidad":1,"articulos":[{"codigoBarras":"7891000004013"}]}]}}},
  {"id":402,"tipo":"ADICIONAL_DESCUENTO","descripcion":"Segundo com 15%","vigenciaDesde":"2024-03-01",
   "vigenciaHasta":"2024-04-01","detalles":{"descuento":15,
     "condiciones":{"items":[{"cantidad":1,"articulos":[{"codigoBarras":"7891000004021"}]}]},
     "beneficios":{"items":[{"cantidad":1,"articulos":[{"codigoBarras":"7891000004022"}]},
                            {"cantidad":9,"articulos":[{"codigoBarras":"7891000004029"}]}]}}},
  {"id":403,"tipo":"ADICIONAL_REGALO","descripcion":"Brinde sem itens","vigenciaDesde":"2024-03-01",
   "vigenciaHasta":"2024-04-01","detalles":{
     "condiciones":{"items":[{"cantidad":1,"articulos":[{"codigoBarras":"7891000004031"}]}]},
     "beneficios":{"items":[]}}}
]})";

TEST_F(PromoImportTest, BasketsGetTheirCodeOnceAndKeepIt) {
  run("[]", kBaskets);

  EXPECT_EQ(dump("CESTASPROMOCIONAIS"), (Rows{
                                            "CPROM57|Leve 2 ganhe 1|2024-03-01|2024-03-31|401|-",
                                            "CPROM58|Segundo com 15%|2024-03-01|2024-04-01|402|-",
                                            "CPROM59|Brinde sem itens|2024-03-01|2024-04-01|403|-",
                                        }));
  EXPECT_EQ(dump("ITENSCESTASPROMOCIONAIS"), (Rows{
                                                 "CPROM57|7891000004011|2.000|N|-|-|Leve 2 ganhe 1",
                                                 "CPROM57|7891000004012|2.000|N|-|-|Leve 2 ganhe 1",
                                                 "CPROM57|7891000004013|1.000|P|100.0000|100.0000|-",
                                                 "CPROM58|7891000004021|1.000|N|-|-|Segundo com 15%",
                                                 "CPROM58|7891000004022|1.000|P|15.0000|15.0000|-",
                                                 "CPROM59|7891000004031|1.000|N|-|-|Brinde sem itens",
                                             }));
  EXPECT_TRUE(dump("VARENTA_PROMOCOES").empty());
  EXPECT_EQ(generator(), 59);
  EXPECT_EQ(logLines(), Rows{kAcceptedOk});

  // Found again by the promotion's Id: no generator value is drawn and nothing changes.
  const auto before = everyTable();
  run("[]", kBaskets);
  EXPECT_EQ(generator(), 59);
  EXPECT_EQ(everyTable(), before);
}

// A failure halfway through the accepted list: what was written stays, the mark stays, and the
// import holds off for an hour instead of failing the same way on every tick.
TEST_F(PromoImportTest, FailedAcceptedPhaseKeepsItsRowsAndTheMarkAndHoldsOff) {
  struct Case {
    const char* name;
    std::string accepted;
    Rows promotions;
    Rows baskets;
    Rows items;
    const char* error;  // the log line up to the message's own wording
  };
  const Case cases[] = {
      {"a promotion the database refuses",
       R"({"results":[
         {"id":201,"tipo":"PRECIO_FIJO","detalles":{"precio":5,"beneficios":null,
           "condiciones":{"items":[{"cantidad":1,"articulos":[{"codigoBarras":"1"}]}]}}},
         {"id":666,"tipo":"PRECIO_FIJO","detalles":{"precio":5,"beneficios":null,
           "condiciones":{"items":[{"cantidad":1,"articulos":[{"codigoBarras":"2"}]}]}}},
         {"id":202,"tipo":"PRECIO_FIJO","detalles":{"precio":5,"beneficios":null,
           "condiciones":{"items":[{"cantidad":1,"articulos":[{"codigoBarras":"3"}]}]}}}]})",
       {"201|1899-12-30|1899-12-29|0|K|1|-|-|5.0000|-|-|-|-"},
       {},
       {},
       "Erro AtualizaPromo: EDatabaseError\r\nMensagem: "},
      {"two condition items and one benefit item",
       R"({"results":[{"id":404,"tipo":"ADICIONAL_DESCUENTO","descripcion":"Dois itens","detalles":{"descuento":5,
         "condiciones":{"items":[{"cantidad":1,"articulos":[{"codigoBarras":"D1"}]},
                                 {"cantidad":2,"articulos":[{"codigoBarras":"D2"}]}]},
         "beneficios":{"items":[{"cantidad":1,"articulos":[{"codigoBarras":"D3"}]}]}}}]})",
       {},
       {"CPROM57|Dois itens|1899-12-30|1899-12-30|404|-"},
       {"CPROM57|D1|1.000|N|-|-|Dois itens", "CPROM57|D2|2.000|N|-|-|Dois itens",
        "CPROM57|D3|1.000|P|5.0000|5.0000|-"},
       "Erro AtualizaPromo: EListError\r\nMensagem: List index out of bounds (1)"},
  };
  for (const Case& c : cases) {
    SetUp();
    run("[]", c.accepted);
    EXPECT_EQ(dump("VARENTA_PROMOCOES"), c.promotions) << c.name;
    EXPECT_EQ(dump("CESTASPROMOCIONAIS"), c.baskets) << c.name;
    EXPECT_EQ(dump("ITENSCESTASPROMOCIONAIS"), c.items) << c.name;
    const Rows lines = logLines();
    ASSERT_EQ(lines.size(), 1u) << c.name;
    EXPECT_EQ(lines[0].rfind(c.error, 0), 0u) << lines[0];
    EXPECT_FALSE(markMoved()) << c.name;
    EXPECT_EQ(f_->reloads, 1) << c.name;
    EXPECT_FALSE(hold_.allows(kNow + std::chrono::minutes(59))) << c.name;
    EXPECT_TRUE(hold_.allows(kNow + std::chrono::minutes(60))) << c.name;
  }
}

TEST_F(PromoImportTest, BodiesThatListNothingOrCannotBeRead) {
  const std::string kValid =
      R"({"results":[{"id":301,"tipo":"PRECIO_FIJO","vigenciaDesde":"2024-03-01","detalles":{"precio":5,)"
      R"("beneficios":null,"condiciones":{"items":[{"cantidad":1,"articulos":[{"codigoBarras":"1"}]}]}}}]})";
  struct Case {
    const char* rejected;
    std::string accepted;
    Rows lines;
    bool markMoves;
  };
  const std::string notObject = "EConvertError\r\nMensagem: The input value is not a valid Object";
  const Case cases[] = {
      {"[]", "[]", {}, true},
      {"", "", {}, true},
      {"[]", kValid, {kAcceptedOk}, true},
      {R"([{"id":1}])", R"({"total":3,"erro":"sem resultados"})", {kRejectedOk, kAcceptedOk}, true},
      {"42", "42", {"Erro RejeitaPromo: " + notObject, "Erro AtualizaPromo: " + notObject}, false},
      // A date that is not ISO 8601 spoils the whole body, the promotions before it included.
      {"[]",
       kValid.substr(0, kValid.size() - 2) + R"(,{"id":302,"vigenciaHasta":"31/03/2024"}]})",
       {"Erro AtualizaPromo: EConvertError\r\nMensagem: \"31/03/2024\" is not a valid ISO 8601 date"},
       false},
  };
  for (const Case& c : cases) {
    SetUp();
    run(c.rejected, c.accepted);
    EXPECT_EQ(logLines(), c.lines) << c.accepted;
    EXPECT_EQ(markMoved(), c.markMoves) << c.accepted;
    EXPECT_EQ(hold_.allows(kNow), c.markMoves) << c.accepted;
    EXPECT_EQ(dump("VARENTA_PROMOCOES").size(), c.lines == Rows{kAcceptedOk} ? 1u : 0u) << c.accepted;
    EXPECT_EQ(f_->reloads, 1) << c.accepted;
    EXPECT_EQ(f_->settings.verificaPromo, storedMark()) << c.accepted;
  }
}

// An answer that is not the cloud's list (a refused login, a portal's page, a cut-off body) lists
// nothing: read as empty, it would move the mark. The import fails before it touches a row.
TEST_F(PromoImportTest, AListThatIsNotTheCloudsFailsTheImport) {
  const struct {
    const char* name;
    StandInForcing answer;
    std::string rejected;
    std::string accepted;
  } cases[] = {
      {"a refused login", {.status = 401, .body = R"({"appErrorCode":"ERROR_LOGIN"})"}, "[]", "[]"},
      {"the login error with 200", {.status = 200, .body = R"({"appErrorCode":"ERROR_LOGIN"})"}, "[]", "[]"},
      {"a portal's page", {.status = 200, .body = "<html><body>Portal de acesso</body></html>"}, "[]", "[]"},
      {"a 404",
       {.status = 404, .body = R"({"errores":[{"error":{"message":"LOCAL_NO_ENCONTRADO"}}]})"},
       "[]",
       "[]"},
      {"rejected not JSON", {}, "not json", "[]"},
      {"accepted cut off", {}, "[]", R"({"results":[)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    f_->standIn.force(c.answer);
    EXPECT_THROW(run(c.rejected, c.accepted), ENotAList);
    f_->standIn.reset();
    EXPECT_FALSE(markMoved());
    EXPECT_TRUE(dump("VARENTA_PROMOCOES").empty());
    EXPECT_EQ(f_->reloads, 0);
    EXPECT_TRUE(logLines().empty());
  }
}

TEST_F(PromoImportTest, CloudFailureEndsTheRunBeforeTheReload) {
  f_->standIn.force({.status = 503});
  EXPECT_THROW(run("[]", "[]"), EHttpServerError);
  f_->standIn.reset();
  EXPECT_FALSE(markMoved());
  EXPECT_EQ(f_->reloads, 0);
  EXPECT_TRUE(logLines().empty());
}

class RejectionTest : public PromoImportTest {
 protected:
  // The promotions and baskets the import marked rejected.
  static Rows rejected() {
    Query q(db().connection());
    q.setSql(
        "select 'P' || codigopromocao as r from varenta_promocoes where rejeitada is not null union all "
        "select 'C' || codigovarenta from cestaspromocionais where rejeitada is not null order by 1");
    q.open();
    Rows out;
    for (; !q.eof(); q.next()) out.push_back(q.field("r").asString());
    return out;
  }
};

TEST_F(RejectionTest, EachRuleMarksItsRowsAndAnAcceptanceClearsOnlyThePromotionRow) {
  for (int id = 301; id <= 306; ++id)
    db().exec("insert into varenta_promocoes (codigopromocao) values (" + std::to_string(id) + ")");
  for (int id = 301; id <= 306; ++id)
    db().exec("insert into cestaspromocionais (codigo, codigovarenta) values ('CPROM" + std::to_string(id) +
              "', " + std::to_string(id) + ")");
  const std::string rejectedList = R"({"results":[
    {"id":301,"tipo":"DESCUENTO_VARIABLE","detalles":{"condiciones":{"formasPago":[{"codigoTipoPago":13}]}}},
    {"id":302,"tipo":"DESCUENTO_VARIABLE","detalles":{"beneficios":null,"condiciones":{"items":[
      {"cantidad":1,"articulos":[]},{"cantidad":1,"articulos":[{"codigoBarras":"1"}]}]}}},
    {"id":303,"tipo":"DESCUENTO_VARIABLE","detalles":{"beneficios":null,"condiciones":{"items":[
      {"cantidad":1,"articulos":[]}]}}},
    {"id":304,"tipo":"ADICIONAL_REGALO","detalles":{"condiciones":{"items":[{"cantidad":1}]}}},
    {"id":305,"tipo":"ADICIONAL_REGALO","detalles":{"beneficios":{"items":[{"cantidad":1}]}}},
    {"id":306,"tipo":"DESCUENTO_VARIABLE","detalles":{"condiciones":{"items":[
      {"cantidad":1,"articulos":[{"codigoBarras":"1"}]}]}}},
    {"id":307,"tipo":"DESCUENTO_VARIABLE","detalles":{"condiciones":{"formasPago":[{"codigoTipoPago":10}]}}},
    {"id":308,"detalles":null}
  ]})";
  run(rejectedList, "[]");
  EXPECT_EQ(rejected(), (Rows{"C304", "P301", "P302"}));
  EXPECT_EQ(logLines(), Rows{kRejectedOk});
  EXPECT_EQ(dump("VARENTA_PROMOCOES").size(), 6u);

  // Accepted again: the promotion row's rejection goes, the basket's stays.
  run("[]", R"({"results":[
    {"id":301,"tipo":"DESCUENTO_VARIABLE","detalles":{"condiciones":{"items":[{"cantidad":1}],
      "formasPago":[{"codigoTipoPago":13}]}}},
    {"id":304,"tipo":"ADICIONAL_REGALO","detalles":{"condiciones":{"items":[{"cantidad":1}]}}}]})");
  EXPECT_EQ(rejected(), (Rows{"C304", "P302"}));
}

}  // namespace
}  // namespace varenta
