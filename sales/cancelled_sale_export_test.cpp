// The cancelled-sale export against a real store database and the cloud stand-in: whole and partial
// cancellations, later cancellations of the same sale, interleaved codes, late cancellations, and
// where the cancellation mark ends.

#include "sales/cancelled_sale_export.h"

#include <gtest/gtest.h>

#include "base/error.h"
#include "sales/new_sale_export.h"
#include "tests/tasks/sales_export_fixture.h"

namespace varenta {
namespace {

using testing::CaixaRow;
using testing::VendaRow;

class CancelledSaleExportTest : public SalesExportTest {
 protected:
  void run() { EnviarVendasCanceladas(context()); }

  void markAt(int code) {
    f.database.exec("update padrao set varenta_ultcancelamento = " + std::to_string(code));
    f.reload();
  }

  // The number a partial cancellation gets at the clock's present time.
  std::string drawnNumber() {
    PseudoRandom twin(static_cast<std::uint64_t>(f.clock.now().millisSinceZero()));
    return "-" + std::to_string(100'000'000 + twin.below(900'000'000));
  }
};

std::string head(const std::string& numero, const char* total, const char* channel) {
  return R"([{"fecha":"2024-06-10T08:20:00.000-0300","numero":")" + numero +
         R"(","descuentoTotal":0,"recargoTotal":0,"codigoMoneda":"986","cotizacion":1,"total":)" + total +
         R"(,"cancelacion":true,"documentoCliente":null,"codigoCanalVenta":1,"descripcionCanalVenta":")" +
         channel + R"(","detalles":[)";
}

// A line of sale `venda` sold at 08:20 on register `terminal`, cancelled with `code` (live when 0).
VendaRow line(int sequencial, int venda, int code, int terminal,
              const std::string& cancelamento = "2024-06-10", const std::string& quantidade = "1") {
  const std::string total = quantidade == "1" ? "10" : "20";
  VendaRow row{.sequencial = sequencial,
               .venda = venda,
               .hora = "08:20:00",
               .quantidade = quantidade,
               .subtotal = total,
               .precototal = total,
               .precoautomatico = total,
               .numerocoo = venda + 500,
               .terminal = terminal};
  if (code != 0) row.cancelamento = cancelamento, row.codigocancelamento = code;
  return row;
}

// Two lines both cancelled (41, 42): the whole sale, on its own register, under its number with a
// dash, paid as its cancelled cash record says. One of three lines cancelled (43): register 9999,
// a drawn number, only that line, and cash of its amount.
TEST_F(CancelledSaleExportTest, WholeAndPartialCancellations) {
  insert(f.database, line(1, 201, 41, 3));
  insert(f.database, line(2, 201, 42, 3, "2024-06-10", "2"));
  insert(f.database, CaixaRow{.codigovenda = 201, .dinheiro = "50", .troco = "20", .cancelado = true});
  insert(f.database, line(3, 202, 0, 2));
  insert(f.database, line(4, 202, 43, 2, "2024-06-10", "2"));
  insert(f.database, line(5, 202, 0, 2));
  insert(f.database, CaixaRow{.codigovenda = 202, .cheque = "40"});
  markAt(40);
  const int reloads = f.reloads;

  run();
  std::vector<JournalEntry> posts = f.newRequests();
  ASSERT_EQ(posts.size(), 1u);
  EXPECT_EQ(posts[0].path, movimientos("3"));
  EXPECT_EQ(posts[0].body, head("-701", "30", "VENDA NA LOJA-DINHEIRO") + kDipirona1 + "," + kDipirona2 +
                               R"(],"pagos":[)" + pago(9, "30") + "]}]");
  EXPECT_EQ(f.log.lines(), std::vector<std::string>{"[CancT= 701]Ok:1"});
  EXPECT_EQ(f.stored("varenta_ultcancelamento"), 42);
  EXPECT_EQ(f.settings.ultCancelamento, 42);
  EXPECT_EQ(f.reloads, reloads + 1);
  EXPECT_TRUE(f.timer.enabled());
  EXPECT_EQ(f.timer.interval(), std::chrono::milliseconds(7000));

  f.log.clear();
  const std::string numero = drawnNumber();
  run();
  posts = f.newRequests();
  ASSERT_EQ(posts.size(), 1u);
  EXPECT_EQ(posts[0].path, movimientos("9999"));
  EXPECT_EQ(posts[0].body, head(numero, "20", "VENDA NA LOJA-DINHEIRO") + kDipirona2 + R"(],"pagos":[)" +
                               pago(9, "20") + "]}]");
  EXPECT_EQ(f.log.lines(), std::vector<std::string>{"[CancP= " + numero.substr(1) + "]Ok:2"});
  EXPECT_EQ(f.stored("varenta_ultcancelamento"), 43);
  EXPECT_TRUE(closingResends.empty());

  // Nothing above the mark: nothing is posted, and the settings are reloaded.
  run();
  EXPECT_TRUE(f.newRequests().empty());
  EXPECT_EQ(f.reloads, reloads + 3);
}

// What the mark may never do is pass a code not yet sent. Sale 202 is cancelled a second time
// after sale 203's code was sent, and its new movement holds both cancelled lines; sales 205 and 206 have
// their codes interleaved; sale 207's cancellation comes on the next day. Each call sends the lowest code
// above the mark.
TEST_F(CancelledSaleExportTest, NoCancellationIsSkipped) {
  insert(f.database, line(1, 202, 0, 2));
  insert(f.database, line(2, 202, 43, 2));
  insert(f.database, line(3, 202, 0, 2));
  insert(f.database, line(4, 203, 44, 1));
  insert(f.database, line(5, 204, 46, 1));
  insert(f.database, line(6, 205, 47, 1));
  insert(f.database, line(7, 205, 49, 1));
  insert(f.database, line(8, 206, 48, 1));
  insert(f.database, line(9, 207, 0, 5));
  insert(f.database, line(10, 207, 50, 5, "2024-06-11 09:15:00"));
  markAt(42);

  struct Expected {
    int code;  // the code found
    std::string caixa;
    std::string numero;  // empty: drawn
    std::size_t lines;
    int mark;
    const char* before = nullptr;  // what the store does before the call
  };
  const Expected calls[] = {
      {43, "9999", "", 1, 43},
      {44, "1", "-703", 1, 44},
      {45, "9999", "", 2, 45,
       "update vendas set cancelamento = '2024-06-10', codigocancelamento = 45 where sequencial = 3"},
      {46, "1", "-704", 1, 46},
      {47, "1", "-705", 2, 47},  // 48 belongs to sale 206: the run of 205 ends at 47
      {48, "1", "-706", 1, 48},
      {49, "1", "-705", 2, 49},  // sale 205 again: sent twice rather than never
      {50, "9999", "", 1, 50},
  };
  for (const Expected& call : calls) {
    SCOPED_TRACE(call.code);
    if (call.before) f.database.exec(call.before);
    f.clock.advance(std::chrono::seconds(1));
    const std::string numero = call.numero.empty() ? drawnNumber() : call.numero;
    run();
    const std::vector<JournalEntry> posts = f.newRequests();
    ASSERT_EQ(posts.size(), 1u);
    EXPECT_EQ(posts[0].path, movimientos(call.caixa));
    EXPECT_EQ(numeroOf(posts[0].body), numero);
    std::size_t lines = 0;
    for (std::size_t at = 0; (at = posts[0].body.find("\"codigoArticulo\"", at)) != std::string::npos; ++at)
      ++lines;
    EXPECT_EQ(lines, call.lines);
    EXPECT_EQ(f.stored("varenta_ultcancelamento"), call.mark);
  }
  // Only sale 207's cancellation came on a later day: its day's closing goes again, for the line's
  // own register.
  EXPECT_EQ(closingResends,
            (std::vector<std::pair<DateTime, std::string>>{{DateTime::fromParts(2024, 6, 10), "5"}}));
  run();
  EXPECT_TRUE(f.newRequests().empty());
}

// An amount the store's NUMERIC(15,2) holds but the decimal type does not, on the first line of a
// whole cancellation: a failed build of that cancellation, posted empty under its own number, and
// the mark moves past it.
TEST_F(CancelledSaleExportTest, AnUnreadableFirstLineIsAFailedBuild) {
  VendaRow first = line(1, 201, 41, 3);
  first.precototal = "1000000000000000.00";
  insert(f.database, first);
  insert(f.database, line(2, 201, 41, 3));
  insert(f.database, line(3, 202, 42, 3));
  markAt(40);

  run();
  std::vector<JournalEntry> posts = f.newRequests();
  ASSERT_EQ(posts.size(), 1u);
  EXPECT_EQ(posts[0].path, movimientos("3"));
  EXPECT_EQ(posts[0].body, "");
  EXPECT_EQ(f.log.lines(), (std::vector<std::string>{
                               "", "Erro: EOverflowError\r\nMensagem: Decimal overflow: 1000000000000000.00",
                               "", "[CancT= 701]JSON_INVALIDO"}));
  EXPECT_EQ(f.stored("varenta_ultcancelamento"), 41);

  run();
  posts = f.newRequests();
  ASSERT_EQ(posts.size(), 1u);
  EXPECT_EQ(numeroOf(posts[0].body), "-702");
}

// A closing owed that the database cannot record ends the call before the mark moves: the
// cancellation goes again, and its closing with it.
TEST_F(CancelledSaleExportTest, AClosingOwedThatCannotBeRecordedLeavesTheMark) {
  insert(f.database, line(1, 207, 0, 5));
  insert(f.database, line(2, 207, 50, 5, "2024-06-11 09:15:00"));
  markAt(49);
  SalesExportContext failing = context();
  failing.ReenviaCaixaVarenta = [](DateTime, const std::string&) { throw EDatabaseError("closing failed"); };
  EXPECT_THROW(EnviarVendasCanceladas(failing), EDatabaseError);
  EXPECT_EQ(f.stored("varenta_ultcancelamento"), 49);

  run();
  EXPECT_EQ(f.newRequests().size(), 2u);
  EXPECT_EQ(f.stored("varenta_ultcancelamento"), 50);
}

// Sales and cancellations written in descending order: the new-sale export sends the sales in
// number order, then turns to the cancellations and sends them in code order.
TEST_F(CancelledSaleExportTest, RowsWrittenInDescendingOrderAreSentInOrder) {
  for (int venda = 303; venda >= 301; --venda) {
    insert(f.database, line(venda, venda, venda - 290, 1));
    insert(f.database, CaixaRow{.codigovenda = venda, .dinheiro = "10", .cancelado = true});
  }
  std::vector<std::string> sent;
  for (int call = 0; call < 7; ++call) {
    EnviarVendasVarenta(context());
    for (const JournalEntry& post : f.newRequests()) sent.push_back(numeroOf(post.body));
  }
  EXPECT_EQ(sent, (std::vector<std::string>{"801", "802", "803", "-801", "-802", "-803"}));
  EXPECT_EQ(f.stored("varenta_ultvenda"), 303);
  EXPECT_EQ(f.stored("varenta_ultcancelamento"), 13);
}

}  // namespace
}  // namespace varenta
