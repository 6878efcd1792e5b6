// The operator's inspections, run through the real program beside a Tolvane.ini that names the
// test's database. The program runs on the real clock, so the start date and the sales are dated
// around today.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "base/clock.h"
#include "sales/new_sale_export.h"
#include "tests/support/child_process.h"
#include "tests/support/files.h"
#include "tests/support/temp_dir.h"
#include "tests/tasks/sales_export_fixture.h"

namespace varenta {
namespace {

using testing::CaixaRow;
using testing::VendaRow;

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

class OperatorCommandsTest : public SalesExportTest {
 protected:
  OperatorCommandsTest() {
    program_ = copyProgram(VARENTA_SERVICE_BINARY, f.database.directory());
    std::ofstream(f.database.directory() + "Tolvane.ini")
        << "[Tolvane]\r\nServidor=127.0.0.1\r\nCaminho=" << f.database.path() << "\r\n";
    f.database.exec("update padrao set varenta_datainicio = '" + sql(today.addMonths(-1)) + "'");
    f.reload();
  }

  static std::string sql(DateTime day) { return day.format("yyyy-mm-dd"); }

  Outcome program(const std::vector<std::string>& arguments) {
    Outcome outcome;
    outcome.status = ChildProcess(program_, arguments, {}, output.dir() + "out", output.dir() + "err").wait();
    outcome.out = programText(output.dir() + "out");
    outcome.err = programText(output.dir() + "err");
    return outcome;
  }

  const DateTime today = systemClock().today();
  TempDir output;
  std::string program_;
};

// The inspection shows exactly what the export then posts, and posts nothing and moves no mark
// itself.
TEST_F(OperatorCommandsTest, SaleShowsTheRegisterAndTheBatchTheExportPosts) {
  insert(f.database, VendaRow{.sequencial = 1,
                              .venda = 101,
                              .data = sql(today),
                              .codigocliente = 7,
                              .codigoproduto = "7896422506212",
                              .numerocoo = 501,
                              .terminal = 2});
  insert(f.database, CaixaRow{.codigovenda = 101, .dinheiro = "20", .troco = "10"});

  const Outcome shown = program({"/VENDA", "101"});
  EXPECT_EQ(shown.status, 0);
  EXPECT_EQ(shown.err, "");
  EXPECT_TRUE(f.newRequests().empty());
  EXPECT_EQ(f.stored("varenta_ultvenda"), 0);

  EnviarVendasVarenta(context());
  const std::vector<JournalEntry> posts = f.newRequests();
  ASSERT_EQ(posts.size(), 1u);
  EXPECT_EQ(posts[0].path, movimientos("2"));
  EXPECT_EQ(shown.out, "2\n" + posts[0].body + "\n");
  EXPECT_NE(posts[0].body.find("PROTETOR SOLAR FPS50 AÇAÍ"), std::string::npos);
}

TEST_F(OperatorCommandsTest, ASaleNotThereOrBeforeTheStartDateIsOneLineAndStatusOne) {
  insert(f.database,
         VendaRow{.sequencial = 1, .venda = 90, .data = sql(today.addMonths(-1) - std::chrono::hours(24))});
  // Numbers beyond the sale column's integer, and beyond any integer, name no sale either.
  for (const std::string venda : {"90", "12345", "2147483648", "99999999999999999999999"}) {
    SCOPED_TRACE(venda);
    const Outcome shown = program({"-venda", venda});
    EXPECT_EQ(shown.status, 1);
    EXPECT_EQ(shown.out, "");
    EXPECT_EQ(shown.err, "prjSrvVarenta: sale " + venda + " has no line dated on or after the start date " +
                             today.addMonths(-1).format("dd/mm/yyyy") + "\n");
  }
  for (const char* bad : {"abc", "0", "-5", "+5", "1e3"})
    EXPECT_EQ(program({"/VENDA", bad}).status, 2) << bad;
}

TEST_F(OperatorCommandsTest, MarksShowTheSettingsWithThePasswordMasked) {
  f.database.exec(
      "update padrao set varenta_senha = 's3cr3t', varenta_url2 = 'https://b.example', varenta_ultvenda = "
      "55, "
      "varenta_ultcancelamento = 66, varenta_ultcaixa = '2026-12-01', varenta_verificapromo = '2026-12-10 "
      "08:15:00', varenta_verificareenvio = '2026-12-09 23:00:05'");
  const Outcome shown = program({"/MARCAS"});
  EXPECT_EQ(shown.status, 0);
  EXPECT_EQ(shown.err, "");
  EXPECT_EQ(shown.out,
            "varenta_usuario=varenta\n"
            "varenta_senha=********\n"
            "varenta_url1=" +
                f.standIn.baseUrl() +
                "\n"
                "varenta_url2=https://b.example\n"
                "varenta_url3=\n"
                "varenta_idempresa=12\n"
                "varenta_idlocal=1\n"
                "varenta_intervalo=7\n"
                "varenta_datainicio=" +
                today.addMonths(-1).format("dd/mm/yyyy") +
                "\n"
                "cnpj=12345678000190\n"
                "varenta_ultvenda=55\n"
                "varenta_ultcancelamento=66\n"
                "varenta_ultcaixa=01/12/2026\n"
                "varenta_verificapromo=10/12/2026 08:15:00\n"
                "varenta_verificareenvio=09/12/2026 23:00:05\n");
}

TEST_F(OperatorCommandsTest, AnUnreachableDatabaseIsStatusOne) {
  std::ofstream(f.database.directory() + "Tolvane.ini") << "[Tolvane]\r\nCaminho=/nowhere/TOLVANE.FDB\r\n";
  const Outcome shown = program({"/MARCAS"});
  EXPECT_EQ(shown.status, 1);
  EXPECT_EQ(shown.out, "");
  EXPECT_NE(shown.err.find("Falha na conexão com o banco de dados do Olvessa\n"), std::string::npos);
}

}  // namespace
}  // namespace varenta
