#pragma once
// TaskContext: what the cycle hands every task. References to the service's own objects: the store
// database objects, the settings and sync marks, the cloud client, the clock, the log and the cycle
// timer. A task reads and moves the marks through it and reloads them with reloadSettings, exactly
// as the service's GetCredenciaisVarenta does.

#include <functional>

#include "api/varenta_client.h"
#include "base/clock.h"
#include "base/log.h"
#include "base/timer.h"
#include "storedb/settings.h"
#include "storedb/store_db.h"

namespace varenta {

struct TaskContext {
  StoreDb& db;
  VarentaSettings& settings;
  TVarenta& cloud;
  Clock& clock;
  ServiceLog& log;
  Timer& timer;
  // Reloads the settings and sync marks (GetCredenciaisVarenta) and gives the cloud client the
  // loaded base URL, credentials and store numbers.
  std::function<void()> reloadSettings;

  SettingsLoad settingsLoad() const { return {db, settings, timer, clock, log}; }
};

// The cloud client's context as the latest settings load gives it.
inline ClientContext clientContext(const VarentaSettings& settings) {
  return {settings.baseUrl, settings.usuario, settings.senha, settings.idEmpresa, settings.idLocal};
}

}  // namespace varenta
