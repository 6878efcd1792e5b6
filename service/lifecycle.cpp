#include <chrono>
#include <exception>
#include <future>
#include <thread>

#include "service/srv_varenta.h"
#include "servicelog/journal.h"

namespace varenta {

using std::chrono::milliseconds;

namespace {
// How long a resend poll, promotion import or daily closing that failed is held off: the import's
// own interval.
constexpr std::chrono::minutes kHoldOff{60};
}  // namespace

TSrvVarenta::TSrvVarenta(ServiceLog& log, Clock& clock, ServiceOptions options)
    : FResendHold(options.scaled(kHoldOff)),
      FPromoHold(options.scaled(kHoldOff)),
      FClosingHold(options.scaled(kHoldOff)),
      watchedLog_(log, clock),
      log_(watchedLog_),
      clock_(clock),
      options_(std::move(options)),
      status_(options_.reportStatus),
      loop_(VarentaTimer, options_.timeScale) {}

// FBConn and Varenta, which the event makes when there are none, are members made with the module.
void TSrvVarenta::ServiceCreate() {
  logEvent("Serviço criado");
}

void TSrvVarenta::ServiceBeforeInstall() {
  logEvent("Iniciando instalação do serviço");
}

void TSrvVarenta::ServiceAfterInstall() {
  logEvent("Serviço instalado com sucesso");
}

void TSrvVarenta::ServiceBeforeUninstall() {
  logEvent("Iniciando desinstalação do serviço");
}

void TSrvVarenta::ServiceAfterUninstall() {
  logEvent("Serviço desinstalado com sucesso");
}

void TSrvVarenta::ServiceStart() {
  FCooldownUntil = DateTime();
  VarentaTimer.setEnabled(false);
  VarentaTimer.setInterval(milliseconds(180000));
  DbConnected = false;
  VarentaTimer.setEnabled(true);
  logEvent("Serviço iniciado. Primeiro ciclo do Varenta em 3 minutos.");
}

void TSrvVarenta::ServiceExecute(const std::function<ControlRequest()>& nextRequest) {
  logEvent("Serviço executado");
  VarentaTimer.setEnabled(true);
  if (options_.openHostFirewall) options_.openHostFirewall();
  for (bool serving = true; serving;) {
    switch (nextRequest()) {
      case ControlRequest::Pause:
        ServicePause();
        break;
      case ControlRequest::Continue:
        ServiceContinue();
        break;
      case ControlRequest::Stop:
        ServiceStop();
        serving = false;
        break;
      case ControlRequest::Shutdown:
        ServiceShutdown();
        serving = false;
        break;
    }
  }
  VarentaTimer.setEnabled(false);
}

// Pausing only changes what the service reports; the cycle goes on ticking.
void TSrvVarenta::ServicePause() {
  if (paused_) return;
  paused_ = true;
  status_.setPaused(true);
  logEvent("Serviço pausado");
}

void TSrvVarenta::ServiceContinue() {
  if (!paused_) return;
  paused_ = false;
  status_.setPaused(false);
  logEvent("Serviço despausado");
}

void TSrvVarenta::ServiceStop() {
  // A tick still running may be using the database objects: wait for it, and keep the next one
  // out until the timer is disabled. Neither the running tick nor the release is waited for beyond
  // the stop's patience: a call on a database link that stopped answering may never return, and
  // the process then ends without it (stopCycle). Nothing is lost: a sync mark moves only after
  // the work it marks is done.
  const auto deadline = std::chrono::steady_clock::now() + options_.stopPatience;
  const auto noTicks = loop_.excludeTicks(options_.stopPatience);
  if (!noTicks.held() || !releaseDatabaseBefore(deadline)) callAbandoned_ = true;
  if (VarentaTimer.enabled()) VarentaTimer.setEnabled(false);
  logEvent("Serviço parado");
}

// Detaching tells the server and waits for its answer, which a stalled link never brings; the
// release runs on a thread of its own so that the stop can give up on it.
bool TSrvVarenta::releaseDatabaseBefore(std::chrono::steady_clock::time_point deadline) {
  std::packaged_task<void()> release([this] { Db.release(); });
  auto released = release.get_future();
  std::thread(std::move(release)).detach();
  if (released.wait_until(deadline) != std::future_status::ready) return false;
  released.get();
  return true;
}

void TSrvVarenta::ServiceShutdown() {
  logEvent("Serviço finalizado");
}

void TSrvVarenta::ServiceDestroy() {
  logEvent("Serviço encerrado");
}

void TSrvVarenta::runCycle(const Heartbeat& heartbeat) {
  loop_.run(
      [this] {
        VarentaTimerTimer();
        reportCycleStatus();
      },
      heartbeat);
}

// A shutdown leaves the database objects to the process's end; they are released here, with the
// same patience as a stop's, since closing a connection waits for the server's answer. After a stop
// there is nothing left to release.
bool TSrvVarenta::stopCycle() {
  if (callAbandoned_) {
    loop_.stop(std::chrono::milliseconds(0));
    return false;
  }
  const auto deadline = std::chrono::steady_clock::now() + options_.stopPatience;
  return loop_.stop(options_.stopPatience) && releaseDatabaseBefore(deadline);
}

void TSrvVarenta::logEvent(std::string_view message) {
  try {
    DoSaveLog(message);
  } catch (const std::exception& e) {
    reportLostLogLine(message, e);
  }
}

}  // namespace varenta
