// /SITUACAO through the real program, beside a Tolvane.ini that names the test's database and a
// Varenta.log of the test's own. The program runs on the real clock, so the store's rows are dated
// around today. What it calls waiting is then sent by the real exports, call by call.

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

#include <chrono>
#include <filesystem>
#include <fstream>

#include "base/clock.h"
#include "base/not_before.h"
#include "closing/fechamento_caixa.h"
#include "sales/new_sale_export.h"
#include "tests/support/child_process.h"
#include "tests/support/files.h"
#include "tests/support/temp_dir.h"
#include "tests/tasks/sales_export_fixture.h"

namespace varenta {
namespace {

using std::chrono::days;
using std::chrono::hours;
using testing::VendaRow;

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

std::string sql(DateTime day) {
  return day.format("yyyy-mm-dd");
}
std::string shown(DateTime day) {
  return day.format("dd/mm/yyyy");
}

class SituationTest : public SalesExportTest {
 protected:
  SituationTest() {
    f.clock.set(systemClock().now());
    program_ = copyProgram(VARENTA_SERVICE_BINARY, dir());
    std::ofstream(dir() + "Tolvane.ini")
        << "[Tolvane]\r\nServidor=127.0.0.1\r\nCaminho=" << f.database.path() << "\r\n";
    // The resend poll done today and the promotions imported "tomorrow": neither is due.
    f.database.exec("update padrao set varenta_datainicio = '" + sql(start) +
                    "', varenta_verificareenvio = '" + sql(today) + " 00:00:01', varenta_verificapromo = '" +
                    sql(today + days(1)) + "'");
    f.reload();
  }

  std::string dir() const { return f.database.directory(); }

  Outcome situacao() {
    const std::string out = output.dir() + "out";
    const std::string err = output.dir() + "err";
    Outcome outcome;
    outcome.status = ChildProcess(program_, {"/SITUACAO"}, {}, out, err).wait();
    outcome.out = programText(out);
    outcome.err = programText(err);
    return outcome;
  }

  // Runs the new-sale export (and through it the cancellation export) until a call posts nothing;
  // answers the posts, in order, by their log line's marker.
  std::vector<std::string> exportAll() {
    std::vector<std::string> posted;
    for (int call = 0; call < 20; ++call) {
      f.log.clear();
      EnviarVendasVarenta(context());
      if (f.newRequests().empty()) break;
      for (const std::string& line : f.log.lines())
        if (line.starts_with("[Venda=") || line.starts_with("[Canc"))
          posted.push_back(line.substr(0, line.find('=')));
    }
    return posted;
  }

  const DateTime today = systemClock().today();
  const DateTime start = today.addMonths(-1);
  TempDir output;
  std::string program_;
};

// Holds the log's lock as the service does while it writes a line (log_file_*.cpp), until it goes.
class HeldLog {
 public:
#ifdef _WIN32
  explicit HeldLog(const std::string& path)
      : file_(CreateFileW(std::filesystem::path(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr)) {
    OVERLAPPED at{};
    at.OffsetHigh = 0x40000000;  // the service's lock byte, far beyond any log's end
    held_ = LockFileEx(file_, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &at);
  }
  ~HeldLog() {
    CloseHandle(file_);
  }
#else
  explicit HeldLog(const std::string& path) : file_(open(path.c_str(), O_RDWR)) {
    held_ = flock(file_, LOCK_EX) == 0;
  }
  ~HeldLog() {
    close(file_);
  }
#endif
  HeldLog(const HeldLog&) = delete;
  HeldLog& operator=(const HeldLog&) = delete;
  bool held() const {
    return held_;
  }

 private:
#ifdef _WIN32
  HANDLE file_;
#else
  int file_;
#endif
  bool held_ = false;
};

// The expected "name=value" lines about the marks' dates, after the counts.
std::string schedule(DateTime closingMark, DateTime promotionMark, DateTime today) {
  return "fechamento_proximo_dia=" + shown(closingMark) + "\nreenvio_devido_em=" + shown(today + days(1)) +
         " 00:00:00\npromocoes_devidas_apos=" + (promotionMark + hours(1)).format("dd/mm/yyyy hh:nn:ss") +
         "\n";
}

// The resend poll done today, the promotions imported "tomorrow": neither is due.
std::string notDue(DateTime today) {
  return "próxima consulta de reenvios em " + shown(today + days(1)) +
         " 00:00:00, próxima importação de promoções após " + shown(today + days(1)) + " 01:00:00.";
}

// Three days to close: the first and the last with sales, the one between without. Sales 101, 104
// and 105 wait; 102 is made of pseudo-lines only, 103 is dated before the start date, 100 was
// sent. The cancellations of 104 (codes 11 and 13) are interrupted by the one of 105 (12): three
// calls of the cancellation export; the cancelled surcharge of 104 (14) goes with the call of 13.
// The promotions are due: a tick of their own. The closing then takes two ticks (the day without
// sales ends the first), and the second hands over to the sale export: 8 ticks in all.
TEST_F(SituationTest, WhatItCallsWaitingIsWhatTheExportsSend) {
  const DateTime day1 = today - days(3);
  const DateTime day3 = today - days(1);
  const DateTime promotionMark = today - days(1);
  f.database.exec(
      "update padrao set varenta_ultvenda = 100, varenta_ultcancelamento = 10, varenta_ultcaixa = '" +
      sql(day1) + "', varenta_verificapromo = '" + sql(promotionMark) + "'");
  f.reload();
  const std::string cancelled = sql(day3) + " 11:00:00";
  insert(f.database, VendaRow{.sequencial = 1, .venda = 100, .data = sql(day1)});
  insert(f.database, VendaRow{.sequencial = 2, .venda = 101, .data = sql(day1)});
  insert(f.database,
         VendaRow{.sequencial = 3, .venda = 102, .data = sql(day1), .codigoproduto = "XXENTREGAXX"});
  insert(f.database, VendaRow{.sequencial = 4, .venda = 103, .data = sql(start - days(1))});
  insert(f.database, VendaRow{.sequencial = 5, .venda = 104, .data = sql(day3)});
  insert(f.database, VendaRow{.sequencial = 6,
                              .venda = 104,
                              .data = sql(day3),
                              .cancelamento = cancelled,
                              .codigocancelamento = 11});
  insert(f.database, VendaRow{.sequencial = 7,
                              .venda = 105,
                              .data = sql(day3),
                              .cancelamento = sql(day3) + " 12:00:00",
                              .codigocancelamento = 12});
  insert(f.database, VendaRow{.sequencial = 8,
                              .venda = 104,
                              .data = sql(day3),
                              .cancelamento = sql(day3) + " 13:00:00",
                              .codigocancelamento = 13});
  insert(f.database, VendaRow{.sequencial = 9,
                              .venda = 104,
                              .data = sql(day3),
                              .cancelamento = sql(day3) + " 13:00:00",
                              .codigocancelamento = 14,
                              .codigoproduto = "XXACRESCIMOXX"});

  Outcome seen = situacao();
  EXPECT_EQ(seen.status, 3) << seen.err;
  EXPECT_EQ(seen.err, "");
  EXPECT_EQ(
      seen.out,
      "Aguardando envio: 3 vendas (desde " + shown(day1) + "), 3 cancelamentos e 3 dias a fechar (desde " +
          shown(day1) + "); ao menos 1 min 20 s, a uma tarefa a cada 10 s; próxima consulta de reenvios em " +
          shown(today + days(1)) + " 00:00:00, importação de promoções devida desde " + shown(promotionMark) +
          " 01:00:00.\n"
          "situacao=aguardando\n"
          "vendas_aguardando=3\n"
          "venda_primeira=101\n"
          "venda_ultima=105\n"
          "venda_mais_antiga=" +
          shown(day1) +
          "\n"
          "cancelamentos_aguardando=3\n"
          "cancelamento_codigo_primeiro=11\n"
          "cancelamento_codigo_ultimo=13\n"
          "cancelamento_mais_antigo=" +
          shown(day3) +
          " 11:00:00\n"
          "dias_a_fechar=3\n"
          "dias_a_fechar_sem_venda=1\n" +
          schedule(day1, promotionMark, today) +
          "tarefas_aguardando=8\n"
          "segundos_por_tarefa=10\n"
          "estimativa_segundos=80\n");
  // It posted nothing and moved no mark.
  EXPECT_TRUE(f.newRequests().empty());
  EXPECT_EQ(f.stored("varenta_ultvenda"), 100);
  EXPECT_EQ(f.stored("varenta_ultcancelamento"), 10);

  f.database.exec("update padrao set varenta_verificapromo = '" + sql(today + days(1)) + "'");
  EXPECT_EQ(exportAll(),
            (std::vector<std::string>{"[Venda", "[Venda", "[Venda", "[CancP", "[CancT", "[CancP"}));
  seen = situacao();
  EXPECT_EQ(seen.status, 3);
  EXPECT_NE(seen.out.find("vendas_aguardando=0\n"), std::string::npos) << seen.out;
  EXPECT_NE(seen.out.find("cancelamentos_aguardando=0\n"), std::string::npos) << seen.out;
  EXPECT_TRUE(seen.out.starts_with("Aguardando envio: 3 dias a fechar (desde " + shown(day1) +
                                   "); ao menos 20 s, a uma tarefa a cada 10 s; " + notDue(today) + "\n"))
      << seen.out;

  int calls = 0;
  NotBefore hold(hours(1));
  while (f.settings.ultCaixa < today && calls < 5) {
    FechamentoCaixaVarenta({f.context(), [] {}, hold});
    ++calls;
  }
  EXPECT_EQ(calls, 2);
  seen = situacao();
  EXPECT_EQ(seen.status, 0) << seen.out << seen.err;
  EXPECT_EQ(seen.out, "Em dia: nenhuma venda, cancelamento ou dia a fechar aguardando envio; " +
                          notDue(today) +
                          "\n"
                          "situacao=em_dia\n"
                          "vendas_aguardando=0\n"
                          "venda_primeira=\n"
                          "venda_ultima=\n"
                          "venda_mais_antiga=\n"
                          "cancelamentos_aguardando=0\n"
                          "cancelamento_codigo_primeiro=\n"
                          "cancelamento_codigo_ultimo=\n"
                          "cancelamento_mais_antigo=\n"
                          "dias_a_fechar=0\n"
                          "dias_a_fechar_sem_venda=0\n" +
                          schedule(today, today + days(1), today) +
                          "tarefas_aguardando=0\n"
                          "segundos_por_tarefa=10\n"
                          "estimativa_segundos=0\n");
}

// The log is read while the service holds its lock for a line, and shown in UTF-8, the latest
// error first; the database being out of reach is said, and the log's errors are still shown.
TEST_F(SituationTest, TheLogsLatestErrorsAlsoWithoutTheDatabase) {
  std::ofstream(dir() + "Varenta.log", std::ios::binary)
      << "05/03/2024 08:00:00 - [Venda= 101]Usu\xE1rio e/ou senha inv\xE1lidos\r\n"
         "05/03/2024 08:00:10 - [Venda= 102]Ok:77\r\n"
         "05/03/2024 08:00:20 - Erro: EDatabaseError\r\nMensagem: conex\xE3o perdida\r\n"
         "05/03/2024 08:00:30 - Servi\xE7o pausado\r\n";
  std::ofstream(dir() + "Tolvane.ini") << "[Tolvane]\r\nCaminho=/nowhere/TOLVANE.FDB\r\n";
  Outcome seen;
  {
    const HeldLog held(dir() + "Varenta.log");
    ASSERT_TRUE(held.held());
    seen = situacao();
  }
  EXPECT_EQ(seen.status, 1);
  EXPECT_EQ(seen.out,
            "Sem acesso ao banco de dados do Olvessa: nada foi contado.\n"
            "situacao=sem_banco\n"
            "erro_1=05/03/2024 08:00:20 - Erro: EDatabaseError Mensagem: conexão perdida\n"
            "erro_2=05/03/2024 08:00:00 - [Venda= 101]Usuário e/ou senha inválidos\n");
  EXPECT_NE(seen.err.find("Falha na conexão com o banco de dados do Olvessa\n"), std::string::npos)
      << seen.err;
}

}  // namespace
}  // namespace varenta
