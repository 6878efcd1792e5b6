#include "operator/operator_commands.h"

#include <charconv>
#include <cstdint>
#include <exception>
#include <optional>

#include "base/clock.h"
#include "sales/sale_document.h"
#include "storedb/operator_session.h"

namespace varenta {
namespace {

// The sale column is a 32-bit INTEGER: a number beyond it names no sale, where the statement itself
// would fail on it.
std::optional<std::int32_t> saleColumnValue(const std::string& digits) {
  std::int32_t value = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  return value;
}

}  // namespace

int inspectSale(const std::string& programDir, const std::string& venda, std::ostream& out,
                std::ostream& err) {
  try {
    OperatorSession session;
    OperatorLog log(err);
    if (!session.connect(programDir, log, err)) return 1;
    Clock& clock = systemClock();
    PseudoRandom random(static_cast<std::uint64_t>(clock.now().millisSinceZero()));
    std::optional<SaleDocument> document;
    if (const std::optional<std::int32_t> number = saleColumnValue(venda))
      document = buildSaleDocument(
          {*session.db.query1, *session.db.query2, session.settings.dataInicio, random, clock, log, "Erro: "},
          *number);
    if (!document) {
      err << "prjSrvVarenta: sale " << venda << " has no line dated on or after the start date "
          << session.settings.dataInicio.format("dd/mm/yyyy") << '\n';
      return 1;
    }
    out << document->caixa << '\n' << document->batch << '\n';
    return 0;
  } catch (const std::exception& e) {
    return operatorFailure(err, e);
  }
}

int printMarks(const std::string& programDir, std::ostream& out, std::ostream& err) {
  try {
    OperatorSession session;
    OperatorLog log(err);
    if (!session.connect(programDir, log, err)) return 1;
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
    return operatorFailure(err, e);
  }
}

}  // namespace varenta
