// Importing a list of 1,000 accepted promotions in one run into a real store database (the local
// server, scripts/firebird-up.sh), the list served by the cloud stand-in: a third each on the plain
// route, the payment-form route (two card forms of two BINs each) and the basket route, five
// articles each. Beside it the same statements, with the same values and in the same order, run
// bare on the same statement handle (their text set anew for each, as the import does), and the
// same statements again with every text prepared once on a handle of its own.
//
// `statements`: the statements one import runs, counted by the server's transaction numbers (each
// statement commits on its own): the bare runs' 13,327 and the settings reload's select. The bare
// runs are checked to leave exactly the import's rows.

#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/not_before.h"
#include "promotions/promo_import.h"
#include "tests/tasks/task_fixture.h"

namespace varenta {
namespace {

constexpr int kPromotions = 1000;
constexpr int kArticles = 5;

enum class Route { kPlain, kCards, kBasket };

struct Promotion {
  int id;
  Route route;
  std::vector<std::string> articles;
};

struct CardForm {
  int codigoTipoPago;
  const char* kind;
  std::vector<std::string> bins;
};
const std::vector<CardForm> kCardForms = {{13, "D", {"411111", "422222"}}, {10, "C", {"511111", "522222"}}};

std::vector<Promotion> promotions() {
  std::vector<Promotion> list;
  for (int i = 0; i < kPromotions; ++i) {
    Promotion p{1000 + i, static_cast<Route>(i % 3), {}};
    for (int a = 0; a < kArticles; ++a) p.articles.push_back(std::to_string(7890000000000LL + i * 10 + a));
    list.push_back(std::move(p));
  }
  return list;
}

std::string articlesJson(const std::vector<std::string>& codes, std::size_t from, std::size_t to) {
  std::string json;
  for (std::size_t a = from; a < to; ++a)
    json += (a > from ? "," : "") + std::string(R"({"codigoBarras":")") + codes[a] +
            R"(","nombre":"ARTIGO )" + codes[a] + R"("})";
  return json;
}

std::string listJson(const std::vector<Promotion>& list) {
  std::string json = R"({"total":)" + std::to_string(list.size()) + R"(,"results":[)";
  for (const Promotion& p : list) {
    json += (&p != &list.front() ? "," : "") + std::string(R"({"id":)") + std::to_string(p.id) +
            R"(,"descripcion":"Promoção )" + std::to_string(p.id) +
            R"(","limitePromocionesPorTicket":2,"vigenciaDesde":"2024-06-01T00:00:00.000Z",)"
            R"("vigenciaHasta":"2024-08-31T23:59:59-03:00",)";
    switch (p.route) {
      case Route::kPlain:
        json += R"("tipo":"DESCUENTO_VARIABLE","detalles":{"descuento":12.5,"beneficios":null,)"
                R"("condiciones":{"items":[{"cantidad":2,"articulos":[)" +
                articlesJson(p.articles, 0, kArticles) + "]}]}}}";
        break;
      case Route::kCards:
        json += R"("tipo":"PRECIO_FIJO","detalles":{"precio":9.9,"condiciones":{"items":[{"cantidad":1,)"
                R"("articulos":[)" +
                articlesJson(p.articles, 0, kArticles) +
                R"(]}],"formasPago":[{"codigoTipoPago":13,"bines":["411111","422222"]},)"
                R"({"codigoTipoPago":10,"bines":["511111","522222"]}]}}})";
        break;
      case Route::kBasket:
        json +=
            R"("tipo":"ADICIONAL_DESCUENTO","detalles":{"descuento":15,"condiciones":{"items":[{"cantidad":2,)"
            R"("articulos":[)" +
            articlesJson(p.articles, 0, kArticles - 1) +
            R"(]}]},"beneficios":{"items":[{"cantidad":1,"articulos":[)" +
            articlesJson(p.articles, kArticles - 1, kArticles) + "]}]}}}";
        break;
    }
  }
  return json + "]}";
}

// The statements of the two writers and the mark, as the import runs them.
constexpr const char* kPromotionUpsert =
    "UPDATE OR INSERT INTO VARENTA_PROMOCOES(  CODIGOPROMOCAO,  DATAINICIAL,  DATAFINAL,  LIMITE,  "
    "TIPOPROMOCAO,  QUANTIDADEMINIMA,  DESCONTOPORCENTAGEM,  DESCONTOFIXO,  PRECOFIXO,  LEVE,  PAGUE,  "
    "DESCRICAO,  REJEITADA  )VALUES( :CODIGOPROMOCAO, :DATAINICIAL, :DATAFINAL, :LIMITE, :TIPOPROMOCAO, "
    ":QUANTIDADEMINIMA, :DESCONTOPORCENTAGEM, :DESCONTOFIXO, :PRECOFIXO, :LEVE, :PAGUE, :DESCRICAO,  "
    "NULL)MATCHING (CODIGOPROMOCAO)";
constexpr const char* kProductUpsert =
    "UPDATE OR INSERT INTO VARENTA_PROMOCOES_PRODUTOS( CODIGOPROMOCAO, CODIGOPRODUTO)"
    "VALUES( :CODIGOPROMOCAO, :CODIGOPRODUTO) MATCHING (CODIGOPROMOCAO, CODIGOPRODUTO)";
constexpr const char* kBinUpsert =
    "UPDATE OR INSERT INTO VARENTA_PROMOCOES_BIN(CODIGOPROMOCAO, BIN, CREDITODEBITO )"
    "VALUES( :CODIGOPROMOCAO, :BIN, :CREDITODEBITO )MATCHING( CODIGOPROMOCAO, BIN)";
constexpr const char* kBasketLookup =
    "SELECT FIRST 1 CODIGO, CODIGOVARENTA FROM CESTASPROMOCIONAIS WHERE CODIGOVARENTA = :CODIGOVARENTA";
constexpr const char* kBasketCode = "SELECT GEN_ID(GEN_CESTASPROMOCIONAIS, 1) AS CODIGO FROM RDB$DATABASE";
constexpr const char* kBasketUpsert =
    "UPDATE OR INSERT INTO CESTASPROMOCIONAIS(CODIGO, DESCRICAO, DATAINICIOPROMOCAO, DATAFINALPROMOCAO, "
    "CODIGOVARENTA  )VALUES( :CODIGO, :DESCRICAO, :DATAINICIOPROMOCAO, :DATAFINALPROMOCAO, :CODIGOVARENTA)  "
    "MATCHING(CODIGO)";
constexpr const char* kConditionItemUpsert =
    "UPDATE OR INSERT INTO ITENSCESTASPROMOCIONAIS(CODIGOCESTA, CODIGOPRODUTO, QUANTIDADE, TIPODESCONTO, "
    "DESCONTOVISTA, DESCONTOPRAZO, DESCRICAO )VALUES( :CODIGOCESTA, :CODIGOPRODUTO, :QUANTIDADE, "
    ":TIPODESCONTO, :DESCONTOVISTA, :DESCONTOPRAZO, :DESCRICAO)  MATCHING(CODIGOCESTA, CODIGOPRODUTO)";
constexpr const char* kBenefitItemUpsert =
    "UPDATE OR INSERT INTO ITENSCESTASPROMOCIONAIS(CODIGOCESTA, CODIGOPRODUTO, QUANTIDADE, TIPODESCONTO, "
    "DESCONTOVISTA, DESCONTOPRAZO )VALUES( :CODIGOCESTA, :CODIGOPRODUTO, :QUANTIDADE, :TIPODESCONTO, "
    ":DESCONTOVISTA, :DESCONTOPRAZO)  MATCHING(CODIGOCESTA, CODIGOPRODUTO)";
constexpr const char* kMarkUpdate = "update padrao p set p.varenta_verificapromo = current_timestamp";
constexpr const char* kTexts[] = {kPromotionUpsert,     kProductUpsert,     kBinUpsert,
                                  kBasketLookup,        kBasketCode,        kBasketUpsert,
                                  kConditionItemUpsert, kBenefitItemUpsert, kMarkUpdate};

// Runs the import's statements bare: `handle(text)` gives the handle to run a text on, its text
// set; every parameter is bound, since a handle may keep the values of its last run. Answers the
// number of statements run.
template <class Handle>
std::int64_t runBare(const std::vector<Promotion>& list, Handle handle) {
  std::int64_t count = 0;
  const DateTime desde = DateTime::fromParts(2024, 6, 1);
  const DateTime hasta = DateTime::fromParts(2024, 9, 1, 2, 59, 59);
  const auto run = [&](Query& q) {
    q.execute();
    ++count;
  };
  for (const Promotion& p : list) {
    const std::string descricao = "Promoção " + std::to_string(p.id);
    if (p.route != Route::kBasket) {
      Query& q = handle(kPromotionUpsert);
      q.setInteger("CODIGOPROMOCAO", p.id);
      q.setDate("DATAINICIAL", desde);
      q.setDate("DATAFINAL", hasta - std::chrono::days(1));
      for (const char* unset : {"DESCONTOPORCENTAGEM", "DESCONTOFIXO", "PRECOFIXO", "LEVE", "PAGUE"})
        q.setNull(unset);
      if (p.route == Route::kPlain) {
        q.setString("TIPOPROMOCAO", "N");
        q.setDecimal("DESCONTOPORCENTAGEM", Decimal::parse("12.5"));
      } else {
        q.setString("TIPOPROMOCAO", "K");
        q.setDecimal("PRECOFIXO", Decimal::parse("9.9"));
      }
      q.setString("DESCRICAO", descricao);
      q.setInteger("QUANTIDADEMINIMA", p.route == Route::kPlain ? 2 : 1);
      q.setInteger("LIMITE", 2);
      run(q);
      for (const std::string& article : p.articles) {
        Query& product = handle(kProductUpsert);
        product.setInteger("CODIGOPROMOCAO", p.id);
        product.setString("CODIGOPRODUTO", article);
        run(product);
        if (p.route == Route::kPlain) continue;
        for (const CardForm& form : kCardForms)
          for (const std::string& bin : form.bins) {
            Query& b = handle(kBinUpsert);
            b.setInteger("CODIGOPROMOCAO", p.id);
            b.setString("BIN", bin);
            b.setString("CREDITODEBITO", form.kind);
            run(b);
          }
      }
      continue;
    }
    Query& lookup = handle(kBasketLookup);
    lookup.setInteger("CODIGOVARENTA", p.id);
    lookup.open();
    ++count;
    std::string code;
    if (!lookup.eof()) {
      code = lookup.field("CODIGO").asString();
    } else {
      Query& next = handle(kBasketCode);
      next.open();
      ++count;
      code = "CPROM" + next.field("CODIGO").asString();
    }
    Query& header = handle(kBasketUpsert);
    header.setString("CODIGO", code);
    header.setString("DESCRICAO", descricao);
    header.setDate("DATAINICIOPROMOCAO", desde);
    header.setDate("DATAFINALPROMOCAO", hasta);
    header.setInteger("CODIGOVARENTA", p.id);
    run(header);
    for (int a = 0; a < kArticles; ++a) {
      const bool benefit = a == kArticles - 1;
      Query& item = handle(benefit ? kBenefitItemUpsert : kConditionItemUpsert);
      item.setString("CODIGOCESTA", code);
      item.setString("CODIGOPRODUTO", p.articles[a]);
      item.setInteger("QUANTIDADE", benefit ? 1 : 2);
      item.setString("TIPODESCONTO", benefit ? "P" : "N");
      if (benefit) {
        item.setDecimal("DESCONTOVISTA", Decimal::fromInt(15));
        item.setDecimal("DESCONTOPRAZO", Decimal::fromInt(15));
      } else {
        item.setNull("DESCONTOVISTA");
        item.setNull("DESCONTOPRAZO");
        item.setString("DESCRICAO", descricao);
      }
      run(item);
    }
  }
  run(handle(kMarkUpdate));
  return count;
}

constexpr const char* kTables[] = {"VARENTA_PROMOCOES", "VARENTA_PROMOCOES_PRODUTOS", "VARENTA_PROMOCOES_BIN",
                                   "CESTASPROMOCIONAIS", "ITENSCESTASPROMOCIONAIS"};

// One store database and one stand-in for the whole program.
class Store {
 public:
  Store() : list_(promotions()) {
    f_.standIn.writeDataFile("promociones-rechazadas.json", "[]");
    f_.standIn.writeDataFile("promociones-aceptadas.json", listJson(list_));
  }

  const std::vector<Promotion>& list() const { return list_; }
  Query& query1() { return *f_.db.query1; }
  Connection& connection() { return *f_.db.connection; }

  void importOnce() { AtualizaPromo({f_.context(), hold_}); }

  // Empty promotion tables, the generator at 0. Reading the tables through collects the deleted
  // rows' old versions here, rather than in whichever run comes next.
  void reset() {
    for (const char* table : kTables) {
      f_.database.exec(std::string("delete from ") + table);
      Query q(f_.database.connection());
      q.setSql(std::string("select count(*) as n from ") + table);
      q.open();
    }
    f_.database.exec("SET GENERATOR GEN_CESTASPROMOCIONAIS TO 0");
  }

  // The number the server gives its next transaction.
  std::int64_t nextTransaction() {
    Query q(f_.database.connection());
    q.setSql("select mon$next_transaction as t from mon$database");
    q.open();
    return q.field("t").asInteger();
  }

  // Every promotion table as text, rows in order.
  std::map<std::string, std::vector<std::string>> tables() {
    std::map<std::string, std::vector<std::string>> out;
    for (const char* table : kTables) {
      Query columns(f_.database.connection());
      columns.setSql(
          "select trim(rdb$field_name) as name from rdb$relation_fields where rdb$relation_name = :t order "
          "by "
          "rdb$field_position");
      columns.setString("t", table);
      columns.open();
      std::string select, order;
      for (; !columns.eof(); columns.next()) {
        const std::string name = columns.field("name").asString();
        select +=
            (select.empty() ? "" : " || '|' || ") + ("coalesce(cast(" + name + " as varchar(100)), '-')");
        order += (order.empty() ? "" : ", ") + name;
      }
      Query rows(f_.database.connection());
      rows.setSql("select " + select + " as r from " + table + " order by " + order);
      rows.open();
      for (; !rows.eof(); rows.next()) out[table].push_back(rows.field("r").asString());
    }
    return out;
  }

 private:
  std::vector<Promotion> list_;
  testing::TaskFixture f_{DateTime::fromParts(2024, 6, 20, 9)};
  NotBefore hold_{std::chrono::minutes(60)};
};

Store& store() {
  static Store s;
  return s;
}

void BM_ImportThousandPromotions(benchmark::State& state) {
  Store& s = store();
  std::int64_t statements = 0;
  for (auto _ : state) {
    state.PauseTiming();
    s.reset();
    const std::int64_t before = s.nextTransaction();
    state.ResumeTiming();
    s.importOnce();
    state.PauseTiming();
    statements = s.nextTransaction() - before - 1;
    state.ResumeTiming();
  }
  state.counters["statements"] = static_cast<double>(statements);
}
BENCHMARK(BM_ImportThousandPromotions)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// The import and its two floors taken in turns, each turn starting with another of the three, so
// that all meet the same load on the machine and the same state of the database. The counters give
// each one's mean time, the import's over each floor, and each one's processor time in this
// process (the part the import adds shows there; the wall time is mostly the server committing);
// a floor that leaves other rows than the import fails the benchmark.
void BM_ImportAndBareInTurns(benchmark::State& state) {
  using Clock = std::chrono::steady_clock;
  Store& s = store();
  std::map<const char*, std::unique_ptr<Query>> handles;
  for (const char* text : kTexts) {
    handles[text] = std::make_unique<Query>(s.connection());
    handles[text]->setSql(text);
  }
  const std::function<void()> runs[] = {
      [&] { s.importOnce(); },
      [&] {
        runBare(s.list(), [&](const char* text) -> Query& {
          s.query1().setSql(text);
          return s.query1();
        });
      },
      [&] { runBare(s.list(), [&](const char* text) -> Query& { return *handles[text]; }); },
  };
  Clock::duration spent[3]{};
  std::clock_t cpu[3]{};  // this process's processor time: the server's work and the disk's are not in it
  std::map<std::string, std::vector<std::string>> imported;
  int turn = 0;
  for (auto _ : state) {
    for (int k = 0; k < 3; ++k) {
      const int which = (turn + k) % 3;
      s.reset();
      const Clock::time_point start = Clock::now();
      const std::clock_t cpuStart = std::clock();
      runs[which]();
      cpu[which] += std::clock() - cpuStart;
      spent[which] += Clock::now() - start;
      const auto rows = s.tables();
      if (which == 0) imported = rows;
      if (!imported.empty() && rows != imported)
        state.SkipWithError("a floor left other rows than the import");
    }
    ++turn;
  }
  const double n = static_cast<double>(state.iterations());
  const auto ms = [n](Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count() / n; };
  state.counters["import_ms"] = ms(spent[0]);
  state.counters["bare_ms"] = ms(spent[1]);
  state.counters["prepared_once_ms"] = ms(spent[2]);
  state.counters["import_over_bare"] = ms(spent[0]) / ms(spent[1]);
  state.counters["import_over_prepared_once"] = ms(spent[0]) / ms(spent[2]);
  const auto cpuMs = [n](std::clock_t c) { return 1000.0 * static_cast<double>(c) / CLOCKS_PER_SEC / n; };
  state.counters["import_cpu_ms"] = cpuMs(cpu[0]);
  state.counters["bare_cpu_ms"] = cpuMs(cpu[1]);
  state.counters["prepared_once_cpu_ms"] = cpuMs(cpu[2]);
}
BENCHMARK(BM_ImportAndBareInTurns)->Unit(benchmark::kMillisecond)->Iterations(6)->UseRealTime();

}  // namespace
}  // namespace varenta
