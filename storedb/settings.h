#pragma once
// The integration settings and sync marks of the company row of `padrao`, and their load.

#include <chrono>
#include <cstdint>
#include <string>

#include "base/clock.h"
#include "base/datetime.h"
#include "base/log.h"
#include "base/timer.h"
#include "storedb/store_db.h"

namespace varenta {

struct VarentaSettings {
  // For the cloud client.
  std::string usuario;    // varenta_usuario: HTTP basic authentication user
  std::string senha;      // varenta_senha
  std::string baseUrl;    // varenta_url1: the requests' paths are appended to it
  std::string url2;       // varenta_url2, kept, unused
  std::string url3;       // varenta_url3, kept, unused
  std::string idEmpresa;  // varenta_idempresa: the company's number at the cloud
  std::string idLocal;    // varenta_idlocal: the store's number at the cloud ("1" when NULL)
  std::string cnpj;       // cgc with its dots, slash and hyphen removed, kept, unused

  int intervalo = 0;    // varenta_intervalo: seconds the sale exports give the cycle timer
  DateTime dataInicio;  // varenta_datainicio: nothing dated before it is sent
  // The sync marks.
  std::int64_t ultVenda = 0;         // varenta_ultvenda: number of the last sale sent
  std::int64_t ultCancelamento = 0;  // varenta_ultcancelamento: code of the last cancellation sent
  DateTime ultCaixa;                 // varenta_ultcaixa: the next day to close
  DateTime verificaPromo;            // varenta_verificapromo: the last promotion import
  DateTime verificaReenvio;          // varenta_verificareenvio: the last resend poll

  // How far the database server's clock is ahead of the service's (behind when negative), as the
  // last load measured it. The import's and the poll's marks are the database's current time
  // when they were stored; they are compared with the database's now, never with the service's
  // (a host in another time zone, a clock set wrong).
  std::chrono::milliseconds databaseClockAhead{0};
  DateTime databaseNow(DateTime now) const { return now + databaseClockAhead; }
};

struct SettingsLoad {
  StoreDb& db;
  VarentaSettings& settings;
  Timer& timer;
  Clock& clock;
  ServiceLog& log;
};

// Reloads every setting and mark on a renewed connection (statement handle 1), measures the
// database's clock against the service's (databaseClockAhead), and moves a
// start date older than two calendar months before today up to that day, in memory and in
// `padrao`. Any failure is logged and leaves the values not yet reached as they were; nothing is
// thrown but what the log itself throws. The cycle timer is off while it runs and on after it.
void GetCredenciaisVarenta(const SettingsLoad& load);

}  // namespace varenta
