#include "sales/operator_commands.h"

#include <algorithm>
#include <exception>
#include <iostream>
#include <optional>
#include <vector>

#include "base/clock.h"
#include "base/error.h"
#include "sales/sale_document.h"
#include "storedb/ini_conn.h"

namespace varenta {
namespace {

constexpr const char* kLoadFailed = "Falha ao tentar recuperar os dados da Varenta do banco do Olvessa";

// The service's log lines, written for the operator instead.
class OperatorLog : public ServiceLog {
 public:
  explicit OperatorLog(std::ostream& err) : err_(err) {}
  void DoSaveLog(std::string_view message) override {
    err_ << message << '\n';
    lines.emplace_back(message);
  }
  std::vector<std::string> lines;

 private:
  std::ostream& err_;
};

// The objects the service keeps for its connection, for one command.
struct Session {
  StoreDb db;
  VarentaSettings settings;
  Timer timer;
  TFBConn fbConn;
  DatabaseLocation location;
  bool connected = false;
};

// Connects and loads the settings as the cycle's connection step does; false when either fails (the
// log has said why).
bool connect(Session& session, const std::string& programDir, OperatorLog& log, std::ostream& err) {
  // A refused attempt is reported on standard output, which carries only the command's answer.
  std::streambuf* const standardOutput = std::cout.rdbuf(err.rdbuf());
  struct Restore {
    std::streambuf* buffer;
    ~Restore() { std::cout.rdbuf(buffer); }
  } restore{standardOutput};
  IniConn({{session.db, session.settings, session.timer, systemClock(), log},
           session.fbConn,
           session.location,
           session.connected,
           programDir});
  return session.connected && std::ranges::find(log.lines, kLoadFailed) == log.lines.end();
}

int failed(std::ostream& err, const std::exception& e) {
  err << "prjSrvVarenta: " << errorTypeName(e) << ": " << e.what() << '\n';
  return 1;
}

}  // namespace

int inspectSale(const std::string& programDir, std::int64_t venda, std::ostream& out, std::ostream& err) {
  try {
    Session session;
    OperatorLog log(err);
    if (!connect(session, programDir, log, err)) return 1;
    Clock& clock = systemClock();
    PseudoRandom random(static_cast<std::uint64_t>(clock.now().millisSinceZero()));
    const std::optional<SaleDocument> document = buildSaleDocument(
        {*session.db.query1, *session.db.query2, session.settings.dataInicio, random, clock, log, "Erro: "},
        venda);
    if (!document) {
      err << "prjSrvVarenta: sale " << venda << " has no line dated on or after the start date "
          << session.settings.dataInicio.format("dd/mm/yyyy") << '\n';
      return 1;
    }
    out << document->caixa << '\n' << document->batch << '\n';
    return 0;
  } catch (const std::exception& e) {
    return failed(err, e);
  }
}

int printMarks(const std::string& programDir, std::ostream& out, std::ostream& err) {
  try {
    Session session;
    OperatorLog log(err);
    if (!connect(session, programDir, log, err)) return 1;
    const VarentaSettings& s = session.settings;
    const char* const date = "dd/mm/yyyy";
    const char* const time = "dd/mm/yyyy hh:nn:ss";
    out << "varenta_usuario=" << s.usuario << '\n'
        << "varenta_senha=" << (s.senha.empty() ? "" : "********") << '\n'
        << "varenta_url1=" << s.baseUrl << '\n'
        << "varenta_url2=" << s.url2 << '\n'
        << "varenta_url3=" << s.url3 << '\n'
        << "varenta_idempresa=" << s.idEmpresa << '\n'
        << "varenta_idlocal=" << s.idLocal << '\n'
        << "varenta_intervalo=" << s.intervalo << '\n'
        << "varenta_datainicio=" << s.dataInicio.format(date) << '\n'
        << "cnpj=" << s.cnpj << '\n'
        << "varenta_ultvenda=" << s.ultVenda << '\n'
        << "varenta_ultcancelamento=" << s.ultCancelamento << '\n'
        << "varenta_ultcaixa=" << s.ultCaixa.format(date) << '\n'
        << "varenta_verificapromo=" << s.verificaPromo.format(time) << '\n'
        << "varenta_verificareenvio=" << s.verificaReenvio.format(time) << '\n';
    return 0;
  } catch (const std::exception& e) {
    return failed(err, e);
  }
}

}  // namespace varenta
