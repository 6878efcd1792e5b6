#include <chrono>
#include <exception>
#include <string>

#include "api/transport_failure.h"
#include "base/error.h"
#include "closing/fechamento_caixa.h"
#include "closing/reenvia_caixa.h"
#include "closing/verifica_reenvio.h"
#include "promotions/promo_import.h"
#include "sales/new_sale_export.h"
#include "service/probe.h"
#include "service/srv_varenta.h"
#include "tasks/cycle_schedule.h"
#include "tasks/task_context.h"

namespace varenta {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

constexpr milliseconds kAfterAnyOtherTick{30000};
constexpr milliseconds kNetworkPause = seconds(900);
constexpr milliseconds kFailurePause = seconds(60);
// The waiting work shown on the status line is counted again at most this often.
constexpr milliseconds kCountInterval = seconds(60);

}  // namespace

void TSrvVarenta::rearm(milliseconds period) {
  VarentaTimer.setInterval(period);
  VarentaTimer.setEnabled(true);
}

void TSrvVarenta::VarentaTimerTimer() {
  VarentaTimer.setEnabled(false);
  const DateTime now = clock_.now();
  // However the tick ends, even by an error the handler below could not log, the cycle goes on.
  struct FinalCheck {
    TSrvVarenta& service;
    ~FinalCheck() {
      if (!service.VarentaTimer.enabled()) service.rearm(kAfterAnyOtherTick);
    }
  } finalCheck{*this};

  if (!FCooldownUntil.isZero() && FCooldownUntil > now) {
    rearm(kAfterAnyOtherTick);
    return;
  }
  // The hold of the task this tick runs, when it is one above the sale export: a failure of that
  // task (a list answered 500, a transport failure, a post the cloud did not judge) would most likely
  // come again on every tick and keep every task below it waiting, so the task is passed over for an
  // hour in this process. The sale export has none: nothing runs below it.
  runningHold_ = nullptr;
  try {
    // Every pause is set before its lines are logged: a log that cannot be written must not cut
    // the pause short.
    if (!isInternetOk()) {
      FCooldownUntil = now + options_.scaled(kNetworkPause);
      restForNetwork_ = true;
      rearm(kAfterAnyOtherTick);
      DoSaveLog("Falha na conexão de internet.");
      DoSaveLog("Entrando em pausa por 15 minutos (internet).");
      return;
    }
    if (!DbConnected) {
      DoSaveLog("DB: desconectado -> IniConn");
      IniConn();
      rearm(kAfterAnyOtherTick);
      return;
    }
    if (resendPollDue(Settings, now) && FResendHold.allows(now)) {
      runningHold_ = &FResendHold;
      VerificaReenvio();
    } else if (promotionImportDue(Settings, now) && FPromoHold.allows(now)) {
      runningHold_ = &FPromoHold;
      AtualizaPromo();
    } else if (closingDue(Settings, now) && FClosingHold.allows(now)) {
      runningHold_ = &FClosingHold;
      FechamentoCaixaVarenta();
    } else {
      EnviarVendasVarenta();
    }
    FCooldownUntil = DateTime();
    rearm(kAfterTask);
  } catch (const std::exception& e) {
    const std::string text = errorTypeName(e) + " - " + e.what();
    const bool network = nameNotResolved(e);
    // A failure never shortens a pause this tick already set (the internet's, when its line could
    // not be written).
    const DateTime pauseEnd = now + options_.scaled(network ? kNetworkPause : kFailurePause);
    if (pauseEnd > FCooldownUntil) {
      FCooldownUntil = pauseEnd;
      restForNetwork_ = network;
    }
    // A name that does not resolve pauses everything alike; it says nothing of the task.
    if (runningHold_ && !network) runningHold_->hold(now);
    rearm(kAfterAnyOtherTick);
    DoSaveLog("ERRO no Timer: " + text);
    if (network) DoSaveLog("Rede/DNS falhou (12007). Pausando por 15 minutos.");
  }
}

void TSrvVarenta::reportCycleStatus() {
  // Where no status line exists (Windows' service manager shows none, nor does a terminal without a
  // reporter), counting the waiting work would be three statements a minute that nobody reads.
  if (!options_.reportStatus) return;
  const DateTime now = clock_.now();
  const bool resting = !FCooldownUntil.isZero() && FCooldownUntil > now;
  // Three statements, at most once a minute, and only while the database has just answered: never
  // on a resting tick, which may rest for the database's sake.
  const auto monotonic = clock_.monotonic();
  if (DbConnected && !resting &&
      (!lastCount_ || monotonic - *lastCount_ >= options_.scaled(kCountInterval))) {
    lastCount_ = monotonic;
    try {
      backlog_ = countWaitingWork();
    } catch (const std::exception&) {
      // The figures stay as last counted; the next task finds the link's failure and reattaches.
    }
  }
  status_.setCycle(cycleStatus({now,
                                DbConnected,
                                FCooldownUntil,
                                restForNetwork_,
                                backlog_,
                                {{"Reenvios retidos", FResendHold.until()},
                                 {"Promoções retidas", FPromoHold.until()},
                                 {"Fechamento retido", FClosingHold.until()}},
                                watchedLog_.lastError()}));
}

Backlog TSrvVarenta::countWaitingWork() {
  if (!Db.connection || !Db.query3) throw EDatabaseError("The store database was never connected");
  Db.connection->renew(clock_.monotonic());
  return countBacklog(*Db.query3, Settings, clock_.now());
}

bool TSrvVarenta::isInternetOk() {
  return varenta::isInternetOk(options_.probeHosts);
}

void TSrvVarenta::IniConn() {
  varenta::IniConn(
      {{Db, Settings, VarentaTimer, clock_, log_}, FBConn, DbLocation, DbConnected, options_.programDir});
  updateClientContext();
}

TaskContext TSrvVarenta::taskContext() {
  return {Db, Settings, Varenta, clock_, log_, VarentaTimer, [this] { GetCredenciaisVarenta(); }};
}

void TSrvVarenta::GetCredenciaisVarenta() {
  varenta::GetCredenciaisVarenta({Db, Settings, VarentaTimer, clock_, log_});
  updateClientContext();
}

// A failed load leaves Settings as they were, so the context is rewritten with the same values.
void TSrvVarenta::updateClientContext() {
  Varenta.setContext(clientContext(Settings));
}

// The tasks are carried out by their subsystems.
void TSrvVarenta::VerificaReenvio() {
  varenta::VerificaReenvio({taskContext(), random_, FResendHold, FResendMemory});
}
void TSrvVarenta::AtualizaPromo() {
  varenta::AtualizaPromo({taskContext(), FPromoHold});
}

void TSrvVarenta::EnviarVendasVarenta() {
  varenta::EnviarVendasVarenta(
      {taskContext(), random_, [this](DateTime dataCaixa, const std::string& terminal) {
         ReenviaCaixaVarenta(dataCaixa, terminal);
       }});
}

void TSrvVarenta::FechamentoCaixaVarenta() {
  // Once handed over, a failure is the sale export's, and holds nothing.
  varenta::FechamentoCaixaVarenta({taskContext(),
                                   [this] {
                                     runningHold_ = nullptr;
                                     EnviarVendasVarenta();
                                   },
                                   FClosingHold});
}

void TSrvVarenta::ReenviaCaixaVarenta(DateTime DataCaixa, const std::string& Terminal) {
  varenta::resendOwedClosing(taskContext(), DataCaixa, Terminal);
}

}  // namespace varenta
