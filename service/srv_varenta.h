#pragma once
// TSrvVarenta: the service module. It owns the cycle timer VarentaTimer and the cycle's state,
// fires the lifecycle events (each logs its line), and runs the sync cycle: every tick checks the
// pause, the internet and the database connection, then runs the first task that is due.
//
// The probe, the connection step and the four tasks are virtual so that the cycle can be driven
// in virtual time with stand-ins; the time of every tick comes from the Clock it is given.

#include <functional>
#include <string>
#include <string_view>

#include "api/varenta_client.h"
#include "base/clock.h"
#include "base/datetime.h"
#include "base/log.h"
#include "base/paths.h"
#include "base/timer.h"
#include "service/options.h"
#include "service/timer_loop.h"
#include "storedb/ini_conn.h"

namespace varenta {

enum class ControlRequest { Pause, Continue, Stop, Shutdown };

class TSrvVarenta {
 public:
  TSrvVarenta(ServiceLog& log, Clock& clock, ServiceOptions options);
  virtual ~TSrvVarenta() = default;
  TSrvVarenta(const TSrvVarenta&) = delete;
  TSrvVarenta& operator=(const TSrvVarenta&) = delete;

  // Lifecycle events, each with its log line.
  void ServiceCreate();
  void ServiceBeforeInstall();
  void ServiceAfterInstall();
  void ServiceBeforeUninstall();
  void ServiceAfterUninstall();
  void ServiceStart();
  // Serves control requests, taken one by one from `nextRequest`, until a stop or shutdown.
  void ServiceExecute(const std::function<ControlRequest()>& nextRequest);
  void ServicePause();
  void ServiceContinue();
  void ServiceStop();
  void ServiceShutdown();
  void ServiceDestroy();

  // Runs the ticks of VarentaTimer on the calling thread (the main thread) until stopCycle().
  void runCycle();
  void stopCycle();

  // One tick of the sync cycle.
  void VarentaTimerTimer();

  virtual bool isInternetOk();
  virtual void IniConn();
  virtual void VerificaReenvio();
  virtual void AtualizaPromo();
  virtual void FechamentoCaixaVarenta();
  virtual void EnviarVendasVarenta();

  void DoSaveLog(std::string_view message) { log_.DoSaveLog(message); }
  // Reloads Settings from the store database and hands the cloud client its new context.
  void GetCredenciaisVarenta();

  Timer VarentaTimer;
  DateTime FCooldownUntil;  // ticks rest while this is set and later than now
  bool DbConnected = false;
  // The integration settings and sync marks as last loaded; the cycle chooses its task by the marks.
  VarentaSettings Settings;
  // The store database objects (created by IniConn, released by ServiceStop), the connection
  // helper, where the last connection step found the database, and where it looks for Tolvane.ini.
  StoreDb Db;
  TFBConn FBConn;
  DatabaseLocation DbLocation;
  std::string ProgramDir = executableDir();
  // The cloud client; every settings load gives it the credentials, base URL and store numbers.
  TVarenta Varenta;

 private:
  void rearm(std::chrono::milliseconds period);
  void updateClientContext();

  ServiceLog& log_;
  Clock& clock_;
  const ServiceOptions options_;
  TimerLoop loop_;
  bool paused_ = false;
};

}  // namespace varenta
