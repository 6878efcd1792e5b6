#include <chrono>

#include "service/srv_varenta.h"

namespace varenta {

using std::chrono::milliseconds;

namespace {
// How long a resend poll or promotion import that failed for good is held off: the import's own
// interval.
constexpr std::chrono::minutes kHoldOff{60};
}  // namespace

TSrvVarenta::TSrvVarenta(ServiceLog& log, Clock& clock, ServiceOptions options)
    : FResendHold(options.scaled(kHoldOff)),
      FPromoHold(options.scaled(kHoldOff)),
      log_(log),
      clock_(clock),
      options_(std::move(options)),
      loop_(VarentaTimer, options_.timeScale) {}

// FBConn and Varenta, which the event makes when there are none, are members made with the module.
void TSrvVarenta::ServiceCreate() {
  DoSaveLog("Serviço criado");
}

void TSrvVarenta::ServiceBeforeInstall() {
  DoSaveLog("Iniciando instalação do serviço");
}

void TSrvVarenta::ServiceAfterInstall() {
  DoSaveLog("Serviço instalado com sucesso");
}

void TSrvVarenta::ServiceBeforeUninstall() {
  DoSaveLog("Iniciando desinstalação do serviço");
}

void TSrvVarenta::ServiceAfterUninstall() {
  DoSaveLog("Serviço desinstalado com sucesso");
}

void TSrvVarenta::ServiceStart() {
  FCooldownUntil = DateTime();
  VarentaTimer.setEnabled(false);
  VarentaTimer.setInterval(milliseconds(180000));
  DbConnected = false;
  VarentaTimer.setEnabled(true);
  DoSaveLog("Serviço iniciado. Primeiro ciclo do Varenta em 3 minutos.");
}

void TSrvVarenta::ServiceExecute(const std::function<ControlRequest()>& nextRequest) {
  DoSaveLog("Serviço executado");
  VarentaTimer.setEnabled(true);
  // Opening the database port and our executable in the host firewall has no counterpart on
  // this platform; there is nothing to do and nothing that can fail.
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
  DoSaveLog("Serviço pausado");
}

void TSrvVarenta::ServiceContinue() {
  if (!paused_) return;
  paused_ = false;
  DoSaveLog("Serviço despausado");
}

void TSrvVarenta::ServiceStop() {
  // A tick still running may be using the database objects: wait for it, and keep the next one
  // out until the timer is disabled.
  const auto noTicks = loop_.excludeTicks();
  Db.release();
  if (VarentaTimer.enabled()) VarentaTimer.setEnabled(false);
  DoSaveLog("Serviço parado");
}

void TSrvVarenta::ServiceShutdown() {
  DoSaveLog("Serviço finalizado");
}

void TSrvVarenta::ServiceDestroy() {
  DoSaveLog("Serviço encerrado");
}

void TSrvVarenta::runCycle() {
  loop_.run([this] { VarentaTimerTimer(); });
}

void TSrvVarenta::stopCycle() {
  loop_.stop();
}

}  // namespace varenta
