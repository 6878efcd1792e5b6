// The new-sale export against a real store database and the cloud stand-in: what is selected, in
// which order, the document each sale becomes, where it is posted, and where the sale mark ends,
// also when the cloud, the database or the build fails.

#include "sales/new_sale_export.h"

#include <gtest/gtest.h>

#include "api/api_errors.h"
#include "api/post_answer.h"
#include "base/error.h"
#include "tests/firebird/loopback_relay.h"
#include "tests/tasks/sales_export_fixture.h"

namespace varenta {
namespace {

using testing::CaixaRow;
using testing::CartaoRow;
using testing::VendaRow;

class NewSaleExportTest : public SalesExportTest {
 protected:
  void run() { EnviarVendasVarenta(context()); }
};

// One sale of the table: its rows, then where and as what it must be posted.
struct Sale {
  const char* name;
  std::vector<VendaRow> lines;
  std::vector<CaixaRow> cash = {};
  std::vector<CartaoRow> cards = {};
  const char* caixa = nullptr;  // nullptr: never selected
  const char* numero = "";
  std::string body = "";
};

std::string head(const char* hora, const char* numero, const char* descuento, const char* recargo,
                 const char* total, const char* documento, int canal, const char* channel) {
  return std::string(R"([{"fecha":"2024-06-10T)") + hora + R"(.000-0300","numero":")" + numero +
         R"(","descuentoTotal":)" + descuento + R"(,"recargoTotal":)" + recargo +
         R"(,"codigoMoneda":"986","cotizacion":1,"total":)" + total +
         R"(,"cancelacion":false,"documentoCliente":)" + documento + R"(,"codigoCanalVenta":)" +
         std::to_string(canal) + R"(,"descripcionCanalVenta":")" + channel + R"(","detalles":[)";
}

const std::vector<Sale>& saleTable() {
  static const std::vector<Sale> sales = {
      {"before the start date",
       {{.sequencial = 1, .venda = 100, .data = "2024-05-31", .numerocoo = 500}},
       {{.codigovenda = 100, .dinheiro = "10"}}},
      {"cash with change, a customer and register 2",
       {{.sequencial = 2,
         .venda = 101,
         .hora = "08:01:00",
         .codigocliente = 7,
         .quantidade = "2",
         .subtotal = "20",
         .precototal = "20",
         .precoautomatico = "20",
         .numerocoo = 501,
         .terminal = 2}},
       {{.codigovenda = 101, .dinheiro = "50", .troco = "30", .total = "20"}},
       {},
       "2",
       "501",
       head("08:01:00", "501", "0", "0", "20", R"("123.456.789-09")", 1, "VENDA NA LOJA-DINHEIRO") +
           kDipirona2 + R"(],"pagos":[)" + pago(9, "20") + "]}]"},
      {"one debit card without a bin",
       {{.sequencial = 3,
         .venda = 102,
         .hora = "08:02:00",
         .codigoproduto = "7896422506212",
         .precounitario = "35.5",
         .subtotal = "35.5",
         .precototal = "35.5",
         .precoautomatico = "35.5",
         .numerocoo = 502}},
       {{.codigovenda = 102, .cartao = "35.5", .total = "35.5"}},
       {{.codigovenda = 102,
         .autorizacao = "1234",
         .ultimosquatrodigitos = "4321",
         .operacao = "DÉBITO",
         .valortotal = "35.5"}},
       "1",
       "502",
       head("08:02:00", "502", "0", "0", "35.5", "null", 1, "VENDA NA LOJA-CARTAO DEBITO") +
           detalle("506212", "7896422506212", "PROTETOR SOLAR FPS50 AÇAÍ", "1", "35.5", "35.5", "0") +
           R"(],"pagos":[)" + cardPago(13, "35.5", "4321", "001234", "123456") + "]}]"},
      {"two cards, one credit and one debit",
       {{.sequencial = 4,
         .venda = 103,
         .hora = "08:03:00",
         .codigoproduto = "7891010101010",
         .precounitario = "60",
         .subtotal = "60",
         .precototal = "60",
         .precoautomatico = "60",
         .numerocoo = 503,
         .terminal = 3}},
       {{.codigovenda = 103, .cartao = "60", .total = "60"}},
       {{.codigovenda = 103,
         .autorizacao = "778899",
         .bin = "411111",
         .ultimosquatrodigitos = "1111",
         .operacao = "CRÉDITO",
         .valortotal = "25"},
        {.codigovenda = 103,
         .autorizacao = "556677",
         .bin = "522222",
         .ultimosquatrodigitos = "2222",
         .operacao = "DÉBITO",
         .valortotal = "35"}},
       "3",
       "503",
       head("08:03:00", "503", "0", "0", "60", "null", 1, "VENDA NA LOJA-CARTAO CREDITO-CARTAO DEBITO") +
           detalle("101010", "7891010101010", "SORO FISIOLÓGICO 500ML", "1", "60", "60", "0") +
           R"(],"pagos":[)" + cardPago(10, "25", "1111", "778899", "411111") + "," +
           cardPago(13, "35", "2222", "556677", "522222") + "]}]"},
      {"PIX, for an article the catalogue lacks",
       {{.sequencial = 5,
         .venda = 104,
         .hora = "08:04:00",
         .codigoproduto = "MED42",
         .quantidade = "3",
         .precounitario = "5.3",
         .subtotal = "15.9",
         .precototal = "15.9",
         .precoautomatico = "15.9",
         .numerocoo = 504}},
       {{.codigovenda = 104, .total = "15.9", .carteiradigital = "15.9"}},
       {},
       "1",
       "504",
       head("08:04:00", "504", "0", "0", "15.9", "null", 1, "VENDA NA LOJA-PIX") +
           detalle("5347186", "MED42", "", "3", "5.3", "15.9", "0") + R"(],"pagos":[)" + pago(1, "15.9") +
           "]}]"},
      {"a cheque above the total",
       {{.sequencial = 6,
         .venda = 105,
         .hora = "08:05:00",
         .precounitario = "80",
         .subtotal = "80",
         .precototal = "80",
         .precoautomatico = "80",
         .numerocoo = 505}},
       {{.codigovenda = 105, .cheque = "100", .total = "80"}},
       {},
       "1",
       "505",
       head("08:05:00", "505", "0", "0", "80", "null", 1, "VENDA NA LOJA-CHEQUE") +
           detalle("100103", "7891000100103", "DIPIRONA 500MG\\/10CPR", "1", "80", "80", "0") +
           R"(],"pagos":[)" + pago(11, "80") + "]}]"},
      {"an exchange voucher and cash",
       {{.sequencial = 7, .venda = 106, .hora = "08:06:00", .numerocoo = 506}},
       {{.codigovenda = 106, .dinheiro = "4", .valetroca = "6"}},
       {},
       "1",
       "506",
       head("08:06:00", "506", "0", "0", "10", "null", 1, "VENDA NA LOJA-DINHEIRO-DINHEIRO") + kDipirona1 +
           R"(],"pagos":[)" + pago(12, "6") + "," + pago(9, "4") + "]}]"},
      {"e-commerce",
       {{.sequencial = 8, .venda = 107, .hora = "08:07:00", .numerocoo = 507}},
       {{.codigovenda = 107, .ecommerce = "10"}},
       {},
       "1",
       "507",
       head("08:07:00", "507", "0", "0", "10", "null", 3, "IFOOD") + kDipirona1 + R"(],"pagos":[)" +
           pago(9, "10") + "]}]"},
      {"NAO FISCAL, sold on credit terms",
       {{.sequencial = 9,
         .venda = 108,
         .hora = "08:08:00",
         .precounitario = "12.34",
         .subtotal = "12.34",
         .precototal = "12.34",
         .precoautomatico = "12.34",
         .numeroserie = "NAO FISCAL",
         .numerocoo = 0}},
       {{.codigovenda = 108, .naturezadaoperacao = "Venda a Prazo", .dinheiro = "12.34"}},
       {},
       "1",
       "108",
       head("08:08:00", "108", "0", "0", "12.34", "null", 1, "VENDA NA LOJA-DINHEIRO") +
           detalle("100103", "7891000100103", "DIPIRONA 500MG\\/10CPR", "1", "12.34", "12.34", "0") +
           R"(],"pagos":[)" + pago(9, "12.34") + "]}]"},
      // Extra discount 2, surcharge 1.50 and delivery 5 stay out of the lines; the phone top-up is
      // no article at all.
      {"discount, surcharge, delivery and a phone top-up",
       {{.sequencial = 10, .venda = 109, .hora = "08:09:00", .numerocoo = 509},
        {.sequencial = 11,
         .venda = 109,
         .hora = "08:09:00",
         .codigoproduto = "7896422506212",
         .precounitario = "20",
         .subtotal = "20",
         .desconto = "2",
         .precototal = "18",
         .precoautomatico = "20",
         .numerocoo = 509},
        {.sequencial = 12,
         .venda = 109,
         .hora = "08:09:00",
         .codigoproduto = "XXDESCONTOXX",
         .produto = "Desconto Adicional",
         .subtotal = "-2",
         .numerocoo = 509},
        {.sequencial = 13,
         .venda = 109,
         .codigoproduto = "XXACRESCIMOXX",
         .subtotal = "1.5",
         .numerocoo = 509},
        {.sequencial = 14, .venda = 109, .codigoproduto = "XXENTREGAXX", .subtotal = "5", .numerocoo = 509},
        {.sequencial = 15,
         .venda = 109,
         .codigoproduto = "RECARGACELULAR",
         .subtotal = "20",
         .numerocoo = 509}},
       {{.codigovenda = 109, .dinheiro = "40", .troco = "7.5"}},
       {},
       "1",
       "509",
       head("08:09:00", "509", "4", "6.5", "32.5", "null", 1, "VENDA NA LOJA-DINHEIRO") + kDipirona1 + "," +
           detalle("506212", "7896422506212", "PROTETOR SOLAR FPS50 AÇAÍ", "1", "20", "18", "2") +
           R"(],"pagos":[)" + pago(9, "32.5") + "]}]"},
      {"only pseudo-lines",
       {{.sequencial = 16, .venda = 110, .codigoproduto = "XXENTREGAXX", .subtotal = "5"},
        {.sequencial = 17, .venda = 110, .codigoproduto = "RECARGACELULAR", .subtotal = "15"}},
       {{.codigovenda = 110, .dinheiro = "20"}}},
      // One of two lines cancelled: both are sent, and the cash includes the cancelled 10.
      {"partially cancelled",
       {{.sequencial = 18, .venda = 111, .hora = "08:11:00", .numerocoo = 511, .terminal = 4},
        {.sequencial = 19,
         .venda = 111,
         .hora = "08:11:00",
         .cancelamento = "2024-06-10 08:30:00",
         .codigocancelamento = 1,
         .numerocoo = 511,
         .terminal = 4}},
       {{.codigovenda = 111, .dinheiro = "10"}},
       {},
       "4",
       "511",
       head("08:11:00", "511", "0", "0", "20", "null", 1, "VENDA NA LOJA-DINHEIRO") + kDipirona1 + "," +
           kDipirona1 + R"(],"pagos":[)" + pago(9, "20") + "]}]"},
      // Cancelled whole: paid as the cancelled cash record says, not as the live one.
      {"cancelled whole",
       {{.sequencial = 20,
         .venda = 112,
         .hora = "08:12:00",
         .cancelamento = "2024-06-10 09:00:00",
         .codigocancelamento = 2,
         .numerocoo = 512}},
       {{.codigovenda = 112, .dinheiro = "10"}, {.codigovenda = 112, .cheque = "10", .cancelado = true}},
       {},
       "1",
       "512",
       head("08:12:00", "512", "0", "0", "10", "null", 1, "VENDA NA LOJA-CHEQUE") + kDipirona1 +
           R"(],"pagos":[)" + pago(11, "10") + "]}]"},
  };
  return sales;
}

void insertSale(testing::TestDatabase& db, const Sale& sale) {
  for (const VendaRow& line : sale.lines) insert(db, line);
  for (const CaixaRow& cash : sale.cash) insert(db, cash);
  for (const CartaoRow& card : sale.cards) insert(db, card);
}

TEST_F(NewSaleExportTest, EachSaleIsPostedAloneInNumberOrderToItsRegister) {
  for (const Sale& sale : saleTable()) insertSale(f.database, sale);
  f.database.exec("update padrao set varenta_ultcancelamento = 2");
  f.reload();

  int lote = 0;
  for (const Sale& sale : saleTable()) {
    if (!sale.caixa) continue;
    SCOPED_TRACE(sale.name);
    f.log.clear();
    run();
    const std::vector<JournalEntry> posts = f.newRequests();
    ASSERT_EQ(posts.size(), 1u);
    EXPECT_EQ(posts[0].path, movimientos(sale.caixa));
    EXPECT_EQ(posts[0].body, sale.body);
    EXPECT_EQ(f.log.lines(), std::vector<std::string>{"[Venda= " + std::string(sale.numero) +
                                                      "]Ok:" + std::to_string(++lote)});
    EXPECT_EQ(f.settings.ultVenda, sale.lines[0].venda);
    EXPECT_EQ(f.stored("varenta_ultvenda"), sale.lines[0].venda);
  }
  EXPECT_TRUE(f.timer.enabled());
  EXPECT_EQ(f.timer.interval(), std::chrono::milliseconds(7000));

  // Nothing left but a sale of pseudo-lines: the call turns to the cancellations, of which none
  // waits, and reloads the settings.
  const int reloads = f.reloads;
  run();
  EXPECT_TRUE(f.newRequests().empty());
  EXPECT_EQ(f.reloads, reloads + 1);
  EXPECT_EQ(f.stored("varenta_ultvenda"), 112);
}

// Sales written in descending number order come back in ascending order all the same.
TEST_F(NewSaleExportTest, SalesWrittenInDescendingOrderAreSentInNumberOrder) {
  for (int venda = 209, sequencial = 1; venda >= 201; --venda, ++sequencial) {
    insert(f.database, VendaRow{.sequencial = sequencial, .venda = venda, .numerocoo = venda});
    insert(f.database, CaixaRow{.codigovenda = venda, .dinheiro = "10"});
  }
  std::vector<std::string> numbers;
  for (int call = 0; call < 10; ++call) {
    run();
    for (const JournalEntry& post : f.newRequests()) numbers.push_back(numeroOf(post.body));
  }
  EXPECT_EQ(numbers,
            (std::vector<std::string>{"201", "202", "203", "204", "205", "206", "207", "208", "209"}));
  EXPECT_EQ(f.stored("varenta_ultvenda"), 209);
}

// Three plain cash sales of one line each: 301, 302 and 303.
void insertPlainSales(testing::TestDatabase& db, int first = 301, int count = 3) {
  for (int venda = first; venda < first + count; ++venda) {
    insert(db, VendaRow{.sequencial = venda, .venda = venda, .numerocoo = venda});
    insert(db, CaixaRow{.codigovenda = venda, .dinheiro = "10"});
  }
}

// An error answer is the cloud's verdict, not a failure: it is logged with the body, and the mark
// moves on.
TEST_F(NewSaleExportTest, AnErrorAnswerIsLoggedAndTheMarkMovesOn) {
  insertPlainSales(f.database);
  f.standIn.force(
      {.status = 400, .body = R"({"errores":[{"error":{"message":"ARTICULO_NO_ENCONTRADO"}}]})", .times = 1});
  run();
  const std::vector<JournalEntry> posts = f.newRequests();
  ASSERT_EQ(posts.size(), 1u);
  EXPECT_EQ(f.log.lines(), (std::vector<std::string>{posts[0].body, "[Venda= 301]Artigo não encontrado"}));
  EXPECT_EQ(f.stored("varenta_ultvenda"), 301);
}

// An answer that is not the cloud's judgement of the sale (a refused login, a missing endpoint, a
// proxy's page) is logged as any verdict, but the sale stays waiting and the call fails; the next
// call, with the cloud back, sends it.
TEST_F(NewSaleExportTest, AnAnswerThatIsNoJudgementLeavesTheSaleWaiting) {
  insertPlainSales(f.database, 301, 5);
  const struct {
    int status;
    const char* body;
    const char* verdict;
    bool bodyLogged;  // the cloud's errors document: the posted body goes to the log first
  } cases[] = {
      {401, R"({"appErrorCode":"ERROR_LOGIN"})", "Usuário e/ou senha inválidos", false},
      {200, "<html><body>Portal de acesso</body></html>", "Erro: JSON inválido", false},
      {404, "<html>Not Found</html>", "Erro: JSON inválido", false},
      {404, R"({"errores":[{"error":{"message":"LOCAL_NO_ENCONTRADO"}}]})", "LOCAL_NO_ENCONTRADO", true},
      {429, R"({"message":"slow down"})", R"({"message":"slow down"})", false},
  };
  int venda = 300;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.status);
    ++venda;
    f.log.clear();
    const auto before = f.stored("varenta_ultvenda");
    f.standIn.force({.status = c.status, .body = c.body, .times = 1});
    EXPECT_THROW(run(), ENotJudged);
    std::vector<std::string> expected{"[Venda= " + std::to_string(venda) + "]" + c.verdict};
    if (c.bodyLogged) expected.insert(expected.begin(), f.standIn.journal().back().body);
    EXPECT_EQ(f.log.lines(), expected);
    EXPECT_EQ(f.stored("varenta_ultvenda"), before);
    EXPECT_EQ(f.settings.ultVenda, before);
    run();
    EXPECT_EQ(f.stored("varenta_ultvenda"), venda);
  }
  std::vector<std::string> sent;
  for (const JournalEntry& post : f.newRequests()) sent.push_back(numeroOf(post.body));
  EXPECT_EQ(sent,
            (std::vector<std::string>{"301", "301", "302", "302", "303", "303", "304", "304", "305", "305"}));
}

// A 413 is the verdict of the cloud or of a front before it on the document's size: it never passes
// in that form, so the mark moves and the log says how large it was.
TEST_F(NewSaleExportTest, ADocumentTooLargeForTheCloudIsLoggedWithItsSizeAndPassedOver) {
  insertPlainSales(f.database, 301, 2);
  f.standIn.force({.status = 413, .body = "<html>Request Entity Too Large</html>", .times = 1});
  run();
  const std::vector<JournalEntry> posts = f.newRequests();
  ASSERT_EQ(posts.size(), 1u);
  EXPECT_EQ(f.log.lines(),
            (std::vector<std::string>{"[Venda= 301]Erro: JSON inválido",
                                      "[Venda= 301]Documento grande demais para a nuvem (HTTP 413): " +
                                          std::to_string(posts[0].body.size()) +
                                          " bytes; não será enviado de novo"}));
  EXPECT_EQ(f.stored("varenta_ultvenda"), 301);
  run();
  EXPECT_EQ(numeroOf(f.newRequests().at(0).body), "302");
}

// A failed post reaches the caller and leaves the mark, so the same sale goes next time; the timer
// runs again all the same.
TEST_F(NewSaleExportTest, AFailedPostLeavesTheMarkAndTheSaleIsSentNextTime) {
  insertPlainSales(f.database);
  f.standIn.force({.status = 500, .times = 1});
  EXPECT_THROW(run(), EHttpServerError);
  EXPECT_EQ(f.settings.ultVenda, 0);
  EXPECT_EQ(f.stored("varenta_ultvenda"), 0);
  EXPECT_TRUE(f.log.lines().empty());
  EXPECT_TRUE(f.timer.enabled());
  EXPECT_EQ(f.timer.interval(), std::chrono::milliseconds(7000));

  run();
  const std::vector<JournalEntry> requests = f.newRequests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1].body, requests[0].body);
  EXPECT_EQ(numeroOf(requests[1].body), "301");
  EXPECT_EQ(f.stored("varenta_ultvenda"), 301);
}

// The store's database goes away while sales are being sent. A link cut while a sale is posted is
// made again for the mark; when the server refuses new links, the call fails, and so do the next
// ones until the server is back. No sale is skipped and none is sent twice.
TEST_F(NewSaleExportTest, ALostDatabaseConnectionSkipsNoSale) {
  insertPlainSales(f.database);
  testing::LoopbackRelay relay(3050);
  f.db.connection->params().setValue("Server", "127.0.0.1");
  f.db.connection->params().setValue("Port", std::to_string(relay.port()));
  f.db.connection->close();  // the export keeps an open link: the next one goes through the relay

  f.transport.beforeSend = [&](const HttpRequest&) { relay.cut(); };
  run();
  EXPECT_EQ(f.stored("varenta_ultvenda"), 301);

  f.transport.beforeSend = [&](const HttpRequest&) {
    relay.cut();
    relay.refuse(true);
  };
  EXPECT_THROW(run(), EDatabaseError);
  EXPECT_EQ(f.stored("varenta_ultvenda"), 301);
  f.transport.beforeSend = nullptr;
  EXPECT_THROW(run(), EDatabaseError);

  relay.refuse(false);
  run();
  run();
  std::vector<std::string> sent;
  for (const JournalEntry& post : f.newRequests()) sent.push_back(numeroOf(post.body));
  EXPECT_EQ(sent, (std::vector<std::string>{"301", "302", "303"}));
  EXPECT_EQ(f.stored("varenta_ultvenda"), 303);
}

// A database error while the payment rows are read is no fault of the document: nothing is posted
// and the sale waits, where a failed build would have posted an empty body and passed it over.
TEST_F(NewSaleExportTest, ADatabaseErrorWhileReadingPaymentsLeavesTheSaleWaiting) {
  insert(f.database, VendaRow{.sequencial = 1,
                              .venda = 401,
                              .cancelamento = "2024-06-10 11:00:00",
                              .codigocancelamento = 1,
                              .numerocoo = 401});
  insert(f.database, CaixaRow{.codigovenda = 401, .dinheiro = "10", .cancelado = true});
  f.database.exec("alter table caixacancelado alter column naturezadaoperacao to natureza");
  EXPECT_THROW(run(), EDatabaseError);
  EXPECT_TRUE(f.newRequests().empty());
  EXPECT_TRUE(f.log.lines().empty());
  EXPECT_EQ(f.stored("varenta_ultvenda"), 0);

  f.database.exec("alter table caixacancelado alter column natureza to naturezadaoperacao");
  run();
  const std::vector<JournalEntry> posts = f.newRequests();
  ASSERT_EQ(posts.size(), 1u);
  EXPECT_EQ(numeroOf(posts[0].body), "401");
  EXPECT_EQ(f.stored("varenta_ultvenda"), 401);
}

// A value of the sale's own rows that the database refuses (a card row with a column it cannot
// convert) fails that sale the same way on every try: a failed build, posted empty and passed over,
// so the sales after it go on.
TEST_F(NewSaleExportTest, AValueTheDatabaseRefusesIsAFailedBuildOfThatSale) {
  insert(f.database, VendaRow{.sequencial = 1, .venda = 401, .numerocoo = 401});
  insert(f.database, CaixaRow{.codigovenda = 401, .cartao = "10"});
  insert(f.database,
         CartaoRow{.codigovenda = 401, .autorizacao = "ABC", .operacao = "CRÉDITO", .valortotal = "5"});
  insert(f.database,
         CartaoRow{.codigovenda = 401, .autorizacao = "123", .operacao = "DÉBITO", .valortotal = "5"});
  insertPlainSales(f.database, 402, 1);
  f.database.exec("alter table vendacartao add autorizado computed by (cast(autorizacao as integer))");

  run();
  std::vector<JournalEntry> posts = f.newRequests();
  ASSERT_EQ(posts.size(), 1u);
  EXPECT_EQ(posts[0].path, movimientos("1"));
  EXPECT_EQ(posts[0].body, "");
  const std::vector<std::string> lines = f.log.lines();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "");
  EXPECT_EQ(lines[2], "");  // the posted body, refused
  EXPECT_EQ(lines[3], "[Venda= 401]JSON_INVALIDO");
  EXPECT_TRUE(lines[1].starts_with("Erro: EDatabaseError\r\nMensagem: conversion error from string \"ABC\""))
      << lines[1];
  EXPECT_EQ(f.stored("varenta_ultvenda"), 401);

  run();
  posts = f.newRequests();
  ASSERT_EQ(posts.size(), 1u);
  EXPECT_EQ(numeroOf(posts[0].body), "402");
}

// A movement that cannot be built is logged in two lines and posted empty, and the mark moves past
// it: amounts whose sum overflows, and an amount the store's NUMERIC(15,2) holds but the decimal type
// does not, on the first line, on a later one or on a pseudo-line.
TEST_F(NewSaleExportTest, AFailedBuildPostsAnEmptyBodyAndMovesOn) {
  struct Case {
    const char* name;
    std::vector<VendaRow> rows;  // sale `venda`, followed by the plain sale venda + 1
    std::string message;
  };
  const std::string beyond = "1000000000000000.00";
  const std::string unreadable = "Erro: EOverflowError\r\nMensagem: Decimal overflow: " + beyond;
  const auto line = [](int venda, int sequencial) {
    return VendaRow{.sequencial = sequencial, .venda = venda, .numerocoo = venda};
  };
  std::vector<VendaRow> overflowing;
  for (int sequencial = 1; sequencial <= 93; ++sequencial) {
    overflowing.push_back(line(501, sequencial));
    overflowing.back().precounitario = overflowing.back().subtotal = overflowing.back().precototal =
        overflowing.back().precoautomatico = "9999999999999.99";
  }
  std::vector<Case> cases = {
      {"a sum that overflows", overflowing, "Erro: EOverflowError\r\nMensagem: Decimal overflow: sum"},
      {"on the first line", {line(503, 101), line(503, 102)}, unreadable},
      {"on a later line", {line(505, 103), line(505, 104)}, unreadable},
      {"on the surcharge", {line(507, 105), line(507, 106)}, unreadable},
  };
  cases[1].rows[0].precototal = beyond;
  cases[2].rows[1].precototal = beyond;
  cases[3].rows[1].codigoproduto = "XXACRESCIMOXX";
  cases[3].rows[1].subtotal = beyond;
  for (const Case& c : cases) {
    for (const VendaRow& row : c.rows) insert(f.database, row);
    insertPlainSales(f.database, c.rows[0].venda + 1, 1);
  }

  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string numero = std::to_string(c.rows[0].venda);
    f.log.clear();
    run();
    std::vector<JournalEntry> posts = f.newRequests();
    ASSERT_EQ(posts.size(), 1u);
    EXPECT_EQ(posts[0].path, movimientos("1"));
    EXPECT_EQ(posts[0].body, "");
    // The posted body again, as the verdict on a refused batch logs it.
    EXPECT_EQ(f.log.lines(),
              (std::vector<std::string>{"", c.message, "", "[Venda= " + numero + "]JSON_INVALIDO"}));
    EXPECT_EQ(f.stored("varenta_ultvenda"), c.rows[0].venda);

    run();
    posts = f.newRequests();
    ASSERT_EQ(posts.size(), 1u);
    EXPECT_EQ(numeroOf(posts[0].body), std::to_string(c.rows[0].venda + 1));
  }
}

// A store's texts may hold control characters (a product name with 0x01, even 0x00): the movement
// escapes them as JSON requires, and the cloud takes it.
TEST_F(NewSaleExportTest, ControlCharactersOfTheStoresTextsAreEscaped) {
  f.database.exec(
      "update produtos set produto = 'DIPI' || ascii_char(1) || 'RONA' || ascii_char(0) || ascii_char(9) || "
      "'500MG' || ascii_char(31) where codigo = '7891000100103'");
  insertPlainSales(f.database, 301, 1);
  run();
  const std::vector<JournalEntry> posts = f.newRequests();
  ASSERT_EQ(posts.size(), 1u);
  EXPECT_EQ(posts[0].body, head("10:00:00", "301", "0", "0", "10", "null", 1, "VENDA NA LOJA-DINHEIRO") +
                               detalle("100103", "7891000100103", R"(DIPI\u0001RONA\u0000\t500MG\u001F)", "1",
                                       "10", "10", "0") +
                               R"(],"pagos":[)" + pago(9, "10") + "]}]");
  EXPECT_EQ(f.log.lines(), std::vector<std::string>{"[Venda= 301]Ok:1"});
}

}  // namespace
}  // namespace varenta
