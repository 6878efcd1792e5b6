#pragma once
// TSrvVarenta: the service module. It owns the cycle timer VarentaTimer and the cycle's state,
// fires the lifecycle events (each logs its line), and runs the sync cycle: every tick checks the
// pause, the internet and the database connection, then runs the first task that is due.
//
// The probe, the connection step and the four tasks are virtual so that the cycle can be driven
// in virtual time with stand-ins; the time of every tick comes from the Clock it is given.

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "api/varenta_client.h"
#include "base/clock.h"
#include "base/datetime.h"
#include "base/log.h"
#include "base/not_before.h"
#include "base/timer.h"
#include "closing/resend_memory.h"
#include "operator/backlog.h"
#include "operator/status_line.h"
#include "sales/pseudo_random.h"
#include "service/options.h"
#include "service/timer_loop.h"
#include "servicelog/error_lines.h"
#include "storedb/ini_conn.h"
#include "tasks/task_context.h"

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

  // Runs the ticks of VarentaTimer on the calling thread (the main thread) until stopCycle(); the
  // heartbeat shows that the cycle is not stuck (see TimerLoop).
  void runCycle(const Heartbeat& heartbeat = {});
  // Makes runCycle return and releases the database objects a shutdown left. False when a call is
  // stuck: the stop gave up on a tick or on the database's release, or a tick or the release did
  // not end within the stop's patience; the process must then end without waiting for it.
  bool stopCycle();

  // One tick of the sync cycle.
  void VarentaTimerTimer();
  // After a tick: the status line, with the waiting work counted again when the last count is a
  // minute old and the cycle is working (connected, not resting).
  void reportCycleStatus();
  // The waiting work, counted on statement handle 3 against the marks in memory.
  virtual Backlog countWaitingWork();

  virtual bool isInternetOk();
  virtual void IniConn();
  virtual void VerificaReenvio();
  virtual void AtualizaPromo();
  virtual void FechamentoCaixaVarenta();
  virtual void EnviarVendasVarenta();
  // Sends the closing of day `DataCaixa` again, for register `Terminal`, after a late cancellation;
  // what the cloud does not judge stays owed through the closing mark.
  void ReenviaCaixaVarenta(DateTime DataCaixa, const std::string& Terminal);

  void DoSaveLog(std::string_view message) { log_.DoSaveLog(message); }
  // Reloads Settings from the store database and hands the cloud client its new context.
  void GetCredenciaisVarenta();

  // What the service holds, for reading.
  const Timer& timer() const { return VarentaTimer; }
  DateTime cooldownUntil() const { return FCooldownUntil; }
  bool dbConnected() const { return DbConnected; }
  const VarentaSettings& settings() const { return Settings; }
  const StoreDb& db() const { return Db; }
  const TVarenta& cloud() const { return Varenta; }

 protected:
  // The cycle's state. Only the service's own events, the cycle and the tasks it hands it to write
  // it; subclasses (the cycle's tests) arrange it.
  Timer VarentaTimer;
  DateTime FCooldownUntil;  // ticks rest while this is set and later than now
  bool DbConnected = false;
  // The integration settings and sync marks as last loaded; the cycle chooses its task by the marks.
  VarentaSettings Settings;
  // In this process only: a resend poll, promotion import or daily closing that met a failure it
  // would meet again at once is not due again before its hold ends, so the tasks below it still run.
  NotBefore FResendHold;
  NotBefore FPromoHold;
  NotBefore FClosingHold;
  // What the resend poll answered since it last stored its mark (see ResendMemory).
  ResendMemory FResendMemory;
  // The store database objects (created by IniConn, released by ServiceStop), the connection
  // helper and where the last connection step found the database.
  StoreDb Db;
  TFBConn FBConn;
  DatabaseLocation DbLocation;
  // The cloud client; every settings load gives it the credentials, base URL and store numbers.
  TVarenta Varenta;

  // What a task is handed: the objects above, the clock, the log and the settings reload.
  TaskContext taskContext();

 private:
  void rearm(std::chrono::milliseconds period);
  void updateClientContext();
  // A lifecycle event's line: one that cannot be written goes to the journal, and the event still
  // takes effect.
  void logEvent(std::string_view message);
  // False when the release did not end by the deadline; it may still be running.
  bool releaseDatabaseBefore(std::chrono::steady_clock::time_point deadline);

  // Every line goes through it, so that the status line knows the last error.
  ErrorWatchingLog watchedLog_;
  ServiceLog& log_;
  Clock& clock_;
  const ServiceOptions options_;
  StatusLine status_;
  // What the status line tells of the cycle: why it rests, and the waiting work as last counted.
  bool restForNetwork_ = false;
  // The hold of the task this tick runs, when it is one above the sale export; none once the
  // closing has handed over to the sale export.
  NotBefore* runningHold_ = nullptr;
  std::optional<Backlog> backlog_;
  std::optional<std::chrono::steady_clock::time_point> lastCount_;
  TimerLoop loop_;
  bool paused_ = false;
  // The process's one generator for drawn values (card digits, partial-cancellation numbers).
  PseudoRandom random_{static_cast<std::uint64_t>(clock_.now().millisSinceZero())};
  bool callAbandoned_ = false;  // the stop gave up on a tick or a release stuck in a call
};

}  // namespace varenta
