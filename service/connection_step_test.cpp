// The cycle's connection step against a real store database: Tolvane.ini beside the program names
// it, the settings load gives the cycle its marks (and the status line its count), and the stop
// releases the database objects.

#include <gtest/gtest.h>

#include <fstream>

#include "service/srv_varenta.h"
#include "tests/firebird/test_database.h"
#include "tests/support/manual_clock.h"
#include "tests/support/recording_log.h"

namespace varenta {
namespace {

class TaskRecordingService : public TSrvVarenta {
 public:
  using TSrvVarenta::TSrvVarenta;
  std::vector<std::string> tasks;
  bool isInternetOk() override { return true; }
  void VerificaReenvio() override { tasks.push_back("VerificaReenvio"); }
  void AtualizaPromo() override { tasks.push_back("AtualizaPromo"); }
  void FechamentoCaixaVarenta() override { tasks.push_back("FechamentoCaixaVarenta"); }
  void EnviarVendasVarenta() override { tasks.push_back("EnviarVendasVarenta"); }
};

TEST(ConnectionStep, ConnectsThroughTheIniLoadsTheMarksAndTheStopReleasesTheDatabase) {
  testing::TestDatabase db;
  db.exec(
      "insert into padrao (codigo, cgc, varenta_url1, varenta_usuario, varenta_senha, varenta_idempresa, "
      "varenta_datainicio, varenta_verificareenvio, varenta_verificapromo, varenta_ultcaixa) values (1, '1', "
      "'https://cloud/', 'loja', 'segredo', '12', '2024-06-01', current_timestamp, current_timestamp, "
      "'2024-06-19')");  // polled and imported just now, by the database's clock
  db.exec(
      "insert into vendas (sequencial, venda, data, hora, codigoproduto) values (1, 7, '2024-06-20', "
      "'08:10:00', '789')");
  std::ofstream(db.directory() + "Tolvane.ini") << "[Tolvane]\nCaminho=" << db.path() << "\n";

  RecordingLog log;
  ManualClock clock(DateTime::fromParts(2024, 6, 20, 9));
  ServiceOptions options;
  options.programDir = db.directory();
  std::vector<std::string> shown;
  options.reportStatus = [&shown](const std::string& text) { shown.push_back(text); };
  TaskRecordingService service(log, clock, options);
  service.ServiceStart();

  service.VarentaTimerTimer();
  EXPECT_TRUE(service.dbConnected());
  EXPECT_EQ(service.settings().baseUrl, "https://cloud/");
  // The cloud client gets the loaded context.
  const ClientContext& context = service.cloud().context();
  EXPECT_EQ(context.BaseUrl, "https://cloud/");
  EXPECT_EQ(context.Usuario, "loja");
  EXPECT_EQ(context.Senha, "segredo");
  EXPECT_EQ(context.IdEmpresa, "12");
  EXPECT_EQ(context.IdLocal, "1");
  EXPECT_TRUE(service.tasks.empty());
  // The status line counts what waits, on the service's own link.
  service.reportCycleStatus();
  EXPECT_EQ(shown, std::vector<std::string>{"1 venda e 1 dia a fechar aguardando envio"});

  service.VarentaTimerTimer();  // only the closing mark is behind today
  EXPECT_EQ(service.tasks, std::vector<std::string>{"FechamentoCaixaVarenta"});

  service.ServiceStop();
  const StoreDb& released = service.db();
  EXPECT_FALSE(released.connection || released.query1 || released.query2 || released.query3);
  EXPECT_EQ(log.lines(),
            (std::vector<std::string>{"Serviço iniciado. Primeiro ciclo do Varenta em 3 minutos.",
                                      "DB: desconectado -> IniConn", "Serviço parado"}));
}

}  // namespace
}  // namespace varenta
