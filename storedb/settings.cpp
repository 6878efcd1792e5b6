#include "storedb/settings.h"

#include <exception>

#include "base/error.h"

namespace varenta {
namespace {

constexpr const char* kLoadSql =
    "select first 1  p.varenta_usuario ,p.varenta_senha ,p.varenta_url1 as varenta_url1,p.varenta_url2 as "
    "varenta_url2,p.varenta_url3 as varenta_url3,p.varenta_idempresa ,coalesce(p.varenta_intervalo, 10) as "
    "varenta_intervalo ,coalesce(p.varenta_idlocal, 1) as varenta_idlocal ,p.varenta_datainicio as "
    "varenta_datainicio,coalesce(p.varenta_ultvenda, 0) as varenta_ultvenda "
    ",coalesce(p.varenta_ultcancelamento, "
    "0) as varenta_ultcancelamento ,coalesce(p.varenta_ultcaixa, p.varenta_datainicio) as varenta_ultcaixa "
    ",coalesce(p.varenta_verificapromo, dateadd(-2 hour to current_timestamp)) as varenta_verificapromo "
    ",coalesce(p.varenta_verificareenvio, dateadd(-1 day  to current_timestamp)) as varenta_verificareenvio "
    ",replace(replace(replace(p.cgc, '-', ''),'/',''),'.','') as cnpj from padrao p where p.codigo is not "
    "null "
    "and coalesce(p.cgc, '') <> '' ";

constexpr const char* kDatabaseNowSql = "select current_timestamp as agora from rdb$database";

constexpr const char* kAdjustSql = "update padrao set varenta_datainicio = :varenta_datainicio";

class TimerOffWhileLoading {
 public:
  explicit TimerOffWhileLoading(Timer& timer) : timer_(timer) { timer_.setEnabled(false); }
  ~TimerOffWhileLoading() { timer_.setEnabled(true); }
  TimerOffWhileLoading(const TimerOffWhileLoading&) = delete;
  TimerOffWhileLoading& operator=(const TimerOffWhileLoading&) = delete;

 private:
  Timer& timer_;
};

}  // namespace

void GetCredenciaisVarenta(const SettingsLoad& load) {
  TimerOffWhileLoading timerOff(load.timer);
  VarentaSettings& s = load.settings;
  try {
    if (!load.db.connection || !load.db.query1)
      throw EDatabaseError("The store database was never connected");
    Connection& connection = *load.db.connection;
    Query& q = *load.db.query1;
    connection.renew(load.clock.monotonic());

    q.clearSql();
    q.setSql(kLoadSql);
    q.open();
    // In this order, so that a failure halfway leaves the later values as they were.
    s.ultVenda = q.field("varenta_ultvenda").asInteger();
    s.ultCaixa = q.field("varenta_ultcaixa").asDateTime();
    s.verificaPromo = q.field("varenta_verificapromo").asDateTime();
    s.verificaReenvio = q.field("varenta_verificareenvio").asDateTime();
    s.ultCancelamento = q.field("varenta_ultcancelamento").asInteger();
    s.baseUrl = q.field("varenta_url1").asString();
    s.url2 = q.field("varenta_url2").asString();
    s.url3 = q.field("varenta_url3").asString();
    s.intervalo = static_cast<int>(q.field("varenta_intervalo").asInteger());
    s.usuario = q.field("varenta_usuario").asString();
    s.senha = q.field("varenta_senha").asString();
    s.idEmpresa = q.field("varenta_idempresa").asString();
    s.idLocal = q.field("varenta_idlocal").asString();
    s.dataInicio = q.field("varenta_datainicio").asDateTime();
    s.cnpj = q.field("cnpj").asString();

    q.clearSql();
    q.setSql(kDatabaseNowSql);
    q.open();
    s.databaseClockAhead = q.field("agora").asDateTime() - load.clock.now();

    // Sales older than two months are never sent: the start date follows today, two calendar
    // months behind (the month's last day when it is shorter).
    const DateTime limit = load.clock.today().addMonths(-2);
    if (s.dataInicio < limit) {
      s.dataInicio = limit;
      q.clearSql();
      q.setSql(kAdjustSql);
      q.setDate("varenta_datainicio", limit);
      q.execute();
      load.log.DoSaveLog("Ajuste na data de inicio Varenta no banco do Olvessa");
      q.clearSql();
    }
    // Without a start date and a closing mark (a store set up by hand), the closing would begin
    // at the zero date and close one empty day per tick for decades' worth of ticks, the sales
    // waiting all along: it begins at the start date just set.
    if (s.ultCaixa.isZero()) s.ultCaixa = s.dataInicio;
    q.clearSql();
  } catch (const std::exception&) {
    load.log.DoSaveLog("Falha ao tentar recuperar os dados da Varenta do banco do Olvessa");
  }
}

}  // namespace varenta
