// The resend poll against a real store database and the cloud stand-in: which sales and closings
// each request sends again, that a resent sale is the very document the new-sale export posts, the
// lists that are not arrays or not JSON at all, and where the marks end.

#include "closing/verifica_reenvio.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "api/api_errors.h"
#include "api/post_answer.h"
#include "base/json_depth.h"
#include "sales/new_sale_export.h"
#include "tests/tasks/sales_export_fixture.h"

namespace varenta {
namespace {

using std::chrono::minutes;
using testing::CaixaRow;
using testing::CartaoRow;
using testing::VendaRow;

constexpr const char* kSolicitudes = "/api-minoristas/api/v2/minoristas/12/locales/1/solicitudes/";

// A posted movement batch: the register it went to and its body.
struct Post {
  std::string caixa;
  std::string body;
  bool operator==(const Post&) const = default;
};

void PrintTo(const Post& post, std::ostream* os) {
  *os << post.caixa << " " << post.body;
}

// Sales of 10 June on registers 1 (the line leaves it empty), 2 and 3 (cancelled whole), one of
// 11 June, two of 20 May (before the start date, 1 June). None draws card digits, so the export and
// the resend build the same text.
class ResendPollTest : public SalesExportTest {
 protected:
  ResendPollTest() {
    using testing::insert;
    insert(f.database, VendaRow{.sequencial = 1, .venda = 201, .codigocliente = 7, .numerocoo = 601});
    insert(f.database, CaixaRow{.codigovenda = 201, .dinheiro = "50", .troco = "40", .total = "10"});
    insert(f.database, VendaRow{.sequencial = 2,
                                .venda = 202,
                                .codigoproduto = "7891010101010",
                                .precounitario = "60",
                                .subtotal = "60",
                                .precototal = "60",
                                .precoautomatico = "60",
                                .numerocoo = 602,
                                .terminal = 2});
    insert(f.database, CaixaRow{.codigovenda = 202, .cartao = "60", .total = "60"});
    insert(f.database, CartaoRow{.codigovenda = 202,
                                 .autorizacao = "778899",
                                 .bin = "411111",
                                 .ultimosquatrodigitos = "1111",
                                 .operacao = "CRÉDITO",
                                 .valortotal = "25"});
    insert(f.database, CartaoRow{.codigovenda = 202,
                                 .autorizacao = "556677",
                                 .ultimosquatrodigitos = "2222",
                                 .operacao = "DÉBITO",
                                 .valortotal = "35"});
    insert(f.database, VendaRow{.sequencial = 3,
                                .venda = 203,
                                .cancelamento = "2024-06-10 18:00:00",
                                .numerocoo = 603,
                                .terminal = 3});
    insert(f.database, CaixaRow{.codigovenda = 203, .dinheiro = "10", .cancelado = true});
    insert(f.database, VendaRow{.sequencial = 4,
                                .venda = 204,
                                .data = "2024-06-11",
                                .numeroserie = "NAO FISCAL",
                                .numerocoo = 0,
                                .terminal = 1});
    insert(f.database, CaixaRow{.codigovenda = 204, .naturezadaoperacao = "Venda a Prazo"});
    insert(f.database, VendaRow{.sequencial = 5, .venda = 205, .data = "2024-05-20", .numerocoo = 605});
    insert(f.database, VendaRow{.sequencial = 6, .venda = 206, .data = "2024-05-20", .numerocoo = 606});
    f.database.exec("update padrao set varenta_verificareenvio = '2024-06-19 08:00:00'");
    f.reload();
  }

  void poll() { VerificaReenvio({f.context(), random, hold, memory}); }

  void lists(const std::string& movimientos, const std::string& cierres) {
    f.standIn.writeDataFile("solicitudes-movimientos.json", movimientos);
    f.standIn.writeDataFile("solicitudes-cierres.json", cierres);
  }

  // What the new-sale export posts for every sale it sends, by sale number; the sale mark is put
  // back to 0 afterwards, in memory and in `padrao`.
  std::map<int, Post> exported() {
    std::map<int, Post> found;
    for (int venda : {201, 202, 203, 204}) {
      EnviarVendasVarenta(context());
      const std::vector<Post> posted = movementPosts(f.newRequests());
      EXPECT_EQ(posted.size(), 1u);
      if (!posted.empty()) found[venda] = posted[0];
    }
    setSaleMark(0);
    f.log.clear();
    return found;
  }

  void setSaleMark(int venda) {
    f.settings.ultVenda = venda;
    f.database.exec("update padrao set varenta_ultvenda = " + std::to_string(venda));
  }

  // The movement batches among `requests`, in order.
  static std::vector<Post> movementPosts(const std::vector<JournalEntry>& requests) {
    const std::string prefix = "/api-minoristas/api/v2/minoristas/12/locales/1/cajas/";
    std::vector<Post> posts;
    for (const JournalEntry& e : requests)
      if (e.method == "POST" && e.path.ends_with("/movimientos/lotes"))
        posts.push_back(
            {e.path.substr(prefix.size(), e.path.find('/', prefix.size()) - prefix.size()), e.body});
    return posts;
  }

  // The lists fetched among `requests`, in order ("movimientos", "cierresDiarios").
  static std::vector<std::string> listsFetched(const std::vector<JournalEntry>& requests) {
    std::vector<std::string> fetched;
    for (const JournalEntry& e : requests)
      if (e.method == "GET" && e.path.starts_with(kSolicitudes))
        fetched.push_back(e.path.substr(std::string(kSolicitudes).size()));
    return fetched;
  }

  // Whether the poll stored its mark: the database's current time replaced the value put there.
  bool pollMarkStored() {
    Query q(f.database.connection());
    q.setSql("select varenta_verificareenvio as v from padrao");
    q.open();
    return q.field("v").asDateTime() != DateTime::fromParts(2024, 6, 19, 8);
  }

  NotBefore hold{minutes(60)};
  ResendMemory memory;
};

std::string request(const std::string& fecha, const std::string& tipo, const std::string& caixa = "") {
  return R"({"fecha":")" + fecha + R"(","tipo":")" + tipo + R"(")" +
         (caixa.empty() ? "" : ",\"codigoCaja\":" + caixa) + "}";
}
std::string movimientos(const std::string& fecha, const std::string& caixa = "") {
  return request(fecha, "MOVIMIENTOS", caixa);
}

const char* const kDone = "[R: 20/06/2024]Renvios enviados com sucesso";

TEST_F(ResendPollTest, ListsWithoutRequestsStoreTheMark) {
  const struct {
    const char* name;
    const char* movimientos;
    const char* cierres;
    std::vector<std::string> lines;
  } cases[] = {
      {"two empty lists", "[]", "[]", {kDone}},
      {"an error object for movements",
       R"({"errores":[{"codigo":"ERROR_INTERNO"}]})",
       "[]",
       {"Error on parse \"Reenvios\".", kDone}},
      {"an error object for closings", "[]", R"({"errores":[]})", {"Error on parse \"Reenvios\".", kDone}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    f.database.exec("update padrao set varenta_verificareenvio = '2024-06-19 08:00:00'");
    f.reloads = 0;
    f.log.clear();
    lists(c.movimientos, c.cierres);
    poll();
    const std::vector<JournalEntry> requests = f.newRequests();
    EXPECT_EQ(listsFetched(requests), (std::vector<std::string>{"movimientos", "cierresDiarios"}));
    EXPECT_EQ(requests.size(), 2u);
    EXPECT_EQ(f.log.lines(), c.lines);
    EXPECT_TRUE(pollMarkStored());
    EXPECT_EQ(f.reloads, 1);
    EXPECT_GT(f.settings.verificaReenvio, DateTime::fromParts(2024, 6, 19, 8));
    EXPECT_TRUE(f.timer.enabled());
    EXPECT_TRUE(hold.allows(f.clock.now()));
  }
}

// An answer that is not JSON is not asked for again on every tick: it is shown, and the poll holds
// itself off for an hour, its mark still unstored, so it asks again after that (or at a restart).
TEST_F(ResendPollTest, AnAnswerThatIsNotJsonIsLoggedAndHoldsThePollOff) {
  // Its first 100 characters end with the 45th x (two of them, "çã", take two bytes each).
  const std::string page =
      "<!DOCTYPE html>\r\n<html><title>Manutenção</title>\n<body>" + std::string(45, 'x') + "</body></html>";
  const struct {
    const char* name;
    std::string movimientos;
    std::string cierres;
    std::vector<std::string> fetched;
    std::vector<std::string> lines;
  } cases[] = {
      {"empty movements",
       "",
       "[]",
       {"movimientos"},
       {"Reenvio: a resposta de solicitudes de movimientos não é JSON: "}},
      {"an HTML page for movements",
       page,
       "[]",
       {"movimientos"},
       {"Reenvio: a resposta de solicitudes de movimientos não é JSON: <!DOCTYPE html>  <html><title>"
        "Manutenção</title> <body>" +
        std::string(45, 'x')}},
      {"movements nested past what is read",
       std::string(kMaxJsonDepth + 1, '[') + std::string(kMaxJsonDepth + 1, ']'),
       "[]",
       {"movimientos"},
       {"Reenvio: a resposta de solicitudes de movimientos não é JSON: " + std::string(100, '[')}},
      {"a list, a NUL byte and more requests for movements",
       std::string("[]") + '\0' + "[" + movimientos("2024-06-10", "2") + "]",
       "[]",
       {"movimientos"},
       {"Reenvio: a resposta de solicitudes de movimientos não é JSON: [] [" +
        movimientos("2024-06-10", "2") + "]"}},
      {"JSON with trailing text for closings, after a movement request",
       "[" + movimientos("2024-06-10", "2") + "]",
       "[] []",
       {"movimientos", "cierresDiarios"},
       {"[REENVIO-VENDA= 602]Ok:1",
        "Reenvio: a resposta de solicitudes de cierres diarios não é JSON: [] []"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    hold = NotBefore(minutes(60));
    f.log.clear();
    f.reloads = 0;
    lists(c.movimientos, c.cierres);
    poll();
    const std::vector<JournalEntry> requests = f.newRequests();
    EXPECT_EQ(listsFetched(requests), c.fetched);
    std::vector<std::string> lines = f.log.lines();
    if (!lines.empty() && lines[0].starts_with("[REENVIO-VENDA= 602]Ok:"))
      lines[0] = "[REENVIO-VENDA= 602]Ok:1";
    EXPECT_EQ(lines, c.lines);
    EXPECT_FALSE(pollMarkStored());
    EXPECT_EQ(f.settings.verificaReenvio, DateTime::fromParts(2024, 6, 19, 8));
    EXPECT_FALSE(hold.allows(f.clock.now() + minutes(59)));
    EXPECT_TRUE(hold.allows(f.clock.now() + minutes(60)));
  }
  EXPECT_EQ(f.reloads, 1);  // the movement request's own, in the last case
}

// A list answered with a status other than 2xx or with the cloud's login error is no list: read as
// empty, the poll would be stored as done and the requests lost. The poll fails (the cycle holds it)
// and its mark stays, whichever list it was.
TEST_F(ResendPollTest, AListThatIsNotTheCloudsFailsThePoll) {
  const std::string login = R"({"appErrorCode":"ERROR_LOGIN"})";
  const struct {
    const char* name;
    StandInForcing answer;
    std::vector<std::string> fetched;
  } cases[] = {
      {"a refused login", {.status = 401, .body = login, .times = 1}, {"movimientos"}},
      {"the login error with 200", {.status = 200, .body = login, .times = 1}, {"movimientos"}},
      {"a 404 with the errors document",
       {.status = 404, .body = R"({"errores":[{"error":{"message":"LOCAL_NO_ENCONTRADO"}}]})", .times = 1},
       {"movimientos"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    f.log.clear();
    lists("[" + movimientos("2024-06-10", "2") + "]", "[]");
    f.standIn.force(c.answer);
    EXPECT_THROW(poll(), ENotAList);
    const std::vector<JournalEntry> requests = f.newRequests();
    EXPECT_EQ(listsFetched(requests), c.fetched);
    EXPECT_TRUE(movementPosts(requests).empty());
    EXPECT_FALSE(pollMarkStored());
    EXPECT_TRUE(f.log.lines().empty());
  }
  // The closing list refused after the movements were answered: the poll fails all the same.
  f.standIn.reset();
  bool refused = false;
  f.transport.beforeSend = [&](const HttpRequest& r) {
    if (r.url.find("cierresDiarios") != std::string::npos && !std::exchange(refused, true))
      f.standIn.force({.status = 401, .body = login, .times = 1});
  };
  EXPECT_THROW(poll(), ENotAList);
  EXPECT_EQ(movementPosts(f.newRequests()).size(), 1u);
  EXPECT_FALSE(pollMarkStored());
}

TEST_F(ResendPollTest, MovementRequestsResendTheSalesTheyName) {
  const std::map<int, Post> sent = exported();
  const auto posts = [&](std::initializer_list<int> vendas) {
    std::vector<Post> expected;
    for (int venda : vendas) expected.push_back(sent.at(venda));
    return expected;
  };
  const char* const kNoFecha =
      "Erro Verifica Reenvio Movimentos: EConvertError\r\nMensagem: The resend "
      "request has no \"fecha\"";
  const struct {
    const char* name;
    std::string list;
    std::vector<Post> posts;
    std::vector<std::string> errors = {};
  } cases[] = {
      {"every register of the day", "[" + movimientos("2024-06-10") + "]", posts({201, 202, 203})},
      {"register 2 as text", "[" + movimientos("2024-06-10", "\"2\"") + "]", posts({202})},
      {"register 2 as a number", "[" + movimientos("2024-06-10", "2") + "]", posts({202})},
      {"register 1, whose line leaves the terminal empty", "[" + movimientos("2024-06-10", "1") + "]",
       posts({201})},
      {"a null register is none", R"([{"fecha":"2024-06-10","tipo":"MOVIMIENTOS","codigoCaja":null}])",
       posts({201, 202, 203})},
      {"a closing request is passed over", "[" + request("2024-06-10", "CIERRES_DIARIOS", "2") + "]", {}},
      {"tipo compared exactly", "[" + request("2024-06-10", "movimientos") + "]", {}},
      {"23:30 at -03:00 is the next day", "[" + movimientos("2024-06-10T23:30:00-03:00") + "]", posts({204})},
      {"the same day twice",
       "[" + movimientos("2024-06-10", "2") + "," + movimientos("2024-06-10", "2") + "]", posts({202, 202})},
      {"a request without fecha is passed over and the list goes on",
       "[" + movimientos("2024-06-10", "2") + R"(,{"tipo":"MOVIMIENTOS"},)" + movimientos("2024-06-11") + "]",
       posts({202, 204}),
       {kNoFecha}},
      {"a request of the other kind is not read",
       R"([{"tipo":"CIERRES_DIARIOS","codigoCaja":"x"},)" + movimientos("2024-06-11") + "]", posts({204})},
      {"register 2 with blanks and a sign", "[" + movimientos("2024-06-10", "\" +2 \"") + "]", posts({202})},
      {"a fecha that is no date",
       "[" + movimientos("10/06/2024") + "]",
       {},
       {"Erro Verifica Reenvio Movimentos: EConvertError\r\nMensagem: \"10/06/2024\" is not a valid ISO 8601 "
        "date"}},
      {"an element that is no object",
       "[" + movimientos("2024-06-11") + ",\"2024-06-10\"]",
       posts({204}),
       {"Erro Verifica Reenvio Movimentos: EConvertError\r\nMensagem: A resend request is not a JSON "
        "object"}},
      {"a register that is no integer",
       "[" + movimientos("2024-06-10", "\"2A\"") + "]",
       {},
       {"Erro Verifica Reenvio Movimentos: EConvertError\r\nMensagem: \"2A\" is not a register number"}},
      // The register column is an INTEGER: the statement would refuse it on every poll.
      {"a register beyond the register column's range",
       "[" + movimientos("2024-06-10", "2147483648") + "," + movimientos("2024-06-11") + "]",
       posts({204}),
       {"Erro Verifica Reenvio Movimentos: EConvertError\r\nMensagem: \"2147483648\" is not a register "
        "number"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    f.log.clear();
    lists(c.list, "[]");
    poll();
    const std::vector<JournalEntry> requests = f.newRequests();
    EXPECT_EQ(movementPosts(requests), c.posts);
    EXPECT_EQ(listsFetched(requests), (std::vector<std::string>{"movimientos", "cierresDiarios"}));
    std::vector<std::string> lines = f.log.lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), kDone);
    std::vector<std::string> errors;
    std::size_t resent = 0;
    for (const std::string& line : lines) {
      if (line.starts_with("[REENVIO-VENDA= ")) {
        ++resent;
        EXPECT_NE(line.find("]Ok:"), std::string::npos) << line;
      } else if (line != kDone) {
        errors.push_back(line);
      }
    }
    EXPECT_EQ(resent, c.posts.size());
    EXPECT_EQ(errors, c.errors);
    EXPECT_TRUE(pollMarkStored());
    f.database.exec("update padrao set varenta_verificareenvio = '2024-06-19 08:00:00'");
  }
}

// One request's answer failing (its post answered 500, then a post the cloud did not judge) stops
// nothing after it; the list is not taken as answered: no mark, a line that says so, and the hold.
// Asked for again, the list answers only what the cloud did not judge: the request that failed, and
// of a day's request the sale that failed. Once the poll stored its mark, everything counts anew.
TEST_F(ResendPollTest, AFailedAnswerLeavesTheListToBeAskedForAgain) {
  const std::map<int, Post> sent = exported();
  for (const StandInForcing& failure :
       {StandInForcing{.status = 500, .times = 1},
        StandInForcing{.status = 401, .body = R"({"appErrorCode":"ERROR_LOGIN"})", .times = 1}}) {
    SCOPED_TRACE(failure.status);
    f.log.clear();
    hold = NotBefore(minutes(60));
    memory.forget();  // a process of its own
    lists("[" + movimientos("2024-06-10") + "," + movimientos("2024-06-11") + "]", "[]");
    int posts = 0;
    f.transport.beforeSend = [&](const HttpRequest& request) {
      if (request.body && ++posts == 2) f.standIn.force(failure);
    };
    poll();
    f.transport.beforeSend = nullptr;
    const std::vector<JournalEntry> requests = f.newRequests();
    // The second post failed and the others still went out.
    const std::vector<Post> everything{sent.at(201), sent.at(202), sent.at(203), sent.at(204)};
    EXPECT_EQ(movementPosts(requests), everything);
    const std::vector<std::string> lines = f.log.lines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines.back(), "[R: 20/06/2024]Renvios incompletos: a lista será pedida de novo");
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& l) { return l.starts_with("Erro Reenvio Venda: "); }),
              1);
    EXPECT_FALSE(pollMarkStored());
    EXPECT_FALSE(hold.allows(f.clock.now() + minutes(59)));

    f.log.clear();
    poll();
    EXPECT_EQ(movementPosts(f.newRequests()), (std::vector<Post>{sent.at(202)}));
    EXPECT_EQ(f.log.lines().back(), kDone);
    f.database.exec("update padrao set varenta_verificareenvio = '2024-06-19 08:00:00'");
    poll();
    EXPECT_EQ(movementPosts(f.newRequests()), everything);
    f.database.exec("update padrao set varenta_verificareenvio = '2024-06-19 08:00:00'");
  }
}

// A transport failure (the cloud not answering) ends the list at once: the requests after it would
// each wait out their own time-outs. The poll fails, its mark stays.
TEST_F(ResendPollTest, ATransportFailureEndsTheListAtOnce) {
  lists("[" + movimientos("2024-06-10", "2") + "," + movimientos("2024-06-11") + "]",
        "[" + request("2024-06-10", "CIERRES_DIARIOS", "2") + "]");
  bool forced = false;
  f.transport.beforeSend = [&](const HttpRequest& request) {
    if (request.body && !std::exchange(forced, true)) f.standIn.force({.close = true, .times = 1});
  };
  EXPECT_THROW(poll(), ERestError);
  f.transport.beforeSend = nullptr;
  const std::vector<JournalEntry> requests = f.newRequests();
  EXPECT_EQ(listsFetched(requests), std::vector<std::string>{"movimientos"});
  EXPECT_EQ(movementPosts(requests).size(), 1u);  // the one post tried, cut off unanswered
  const std::vector<std::string> lines = f.log.lines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_TRUE(lines[0].starts_with("Erro Reenvio Venda: ERestError\r\nMensagem: ")) << lines[0];
  EXPECT_FALSE(pollMarkStored());
}

// A resend moves no sale mark, for sales below it and above it alike, and logs each sale with its
// movement number.
TEST_F(ResendPollTest, AResendLeavesTheSaleMarkAlone) {
  setSaleMark(202);
  lists("[" + movimientos("2024-06-10") + "]", "[]");
  poll();
  EXPECT_EQ(f.stored("varenta_ultvenda"), 202);
  EXPECT_EQ(f.settings.ultVenda, 202);
  const std::vector<std::string> lines = f.log.lines();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_TRUE(lines[0].starts_with("[REENVIO-VENDA= 601]Ok:")) << lines[0];
  EXPECT_TRUE(lines[1].starts_with("[REENVIO-VENDA= 602]Ok:")) << lines[1];
  EXPECT_TRUE(lines[2].starts_with("[REENVIO-VENDA= 603]Ok:")) << lines[2];
}

TEST_F(ResendPollTest, SalesBeforeTheStartDateAreNamedAndNotSent) {
  lists("[" + movimientos("2024-05-20") + "," + movimientos("2024-06-10", "2") + "]", "[]");
  poll();
  EXPECT_EQ(movementPosts(f.newRequests()).size(), 1u);
  const std::vector<std::string> lines = f.log.lines();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "[REENVIO-VENDA= 205]Venda anterior à data de início da integração: não reenviada");
  EXPECT_EQ(lines[1], "[REENVIO-VENDA= 206]Venda anterior à data de início da integração: não reenviada");
  EXPECT_TRUE(lines[2].starts_with("[REENVIO-VENDA= 602]Ok:")) << lines[2];
  EXPECT_EQ(lines[3], kDone);
}

// Closing requests reach the closing resend with their day and register; a movement request in the
// closing list is passed over.
TEST_F(ResendPollTest, ClosingRequestsResendTheClosingOfTheirDayAndRegister) {
  lists("[]", "[" + request("2024-06-10", "CIERRES_DIARIOS", "2") + "," +
                  request("2024-06-10", "MOVIMIENTOS") + "," +
                  request("2024-06-11T10:00:00", "CIERRES_DIARIOS") + "]");
  poll();
  std::vector<std::string> closings;
  for (const JournalEntry& e : f.newRequests())
    if (e.method == "POST") closings.push_back(e.path + " " + e.body);
  const std::string cajas = "/api-minoristas/api/v2/minoristas/12/locales/1/cajas/";
  EXPECT_EQ(closings,
            (std::vector<std::string>{
                cajas + "2/cierresDiarios/lotes " +
                    R"([{"montoVentaLiquida": 60.00, "montoCancelaciones": 0.00, "cantidadMovimientos": 1, )"
                    R"("fechaVentas": "2024-06-10", "cantidadCancelaciones": 0 }])",
                cajas + "1/cierresDiarios/lotes " +
                    R"([{"montoVentaLiquida": 10.00, "montoCancelaciones": 0.00, "cantidadMovimientos": 1, )"
                    R"("fechaVentas": "2024-06-11", "cantidadCancelaciones": 0 }])",
            }));
  const std::vector<std::string> lines = f.log.lines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_TRUE(lines[0].starts_with("[REENVIO-CAIXA:10/06/2024]Ok:")) << lines[0];
  EXPECT_TRUE(lines[1].starts_with("[REENVIO-CAIXA:11/06/2024]Ok:")) << lines[1];
  EXPECT_EQ(lines[2], kDone);
}

}  // namespace
}  // namespace varenta
