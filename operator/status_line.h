#pragma once
// The status line the service manager shows beside the service (systemd's STATUS=, which
// `systemctl status SrvVarenta` prints): what the cycle is doing, in a few words, so that the
// technician's first question is answered before the log is opened. The cycle describes itself
// after every tick; a pause of the service comes first; a text is handed on only when it changed.

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "base/datetime.h"
#include "operator/backlog.h"
#include "servicelog/error_lines.h"

namespace varenta {

// What the cycle knows of itself after a tick.
struct CycleView {
  DateTime now;
  bool connected = false;
  DateTime restUntil;              // FCooldownUntil
  bool restForNetwork = false;     // the rest is the internet's (or a name's that did not resolve)
  std::optional<Backlog> backlog;  // as last counted
  struct Hold {
    const char* what;  // "Reenvios retidos"
    DateTime until;
  };
  std::vector<Hold> holds;
  std::optional<WatchedError> lastError;
};

// "Sem internet até 14:35. 12 vendas aguardando envio. Promoções retidas até 15:20. Último erro
// (14:20): ERRO no Timer: ...": the rest or the missing database, the waiting work as last counted,
// the holds in force and the last error, each a short sentence.
std::string cycleStatus(const CycleView& view);

// The line as a whole, for both threads: the service thread tells a pause, the cycle thread its
// state. Hands each new text to `report` (none: nothing is shown).
class StatusLine {
 public:
  explicit StatusLine(std::function<void(const std::string&)> report) : report_(std::move(report)) {}
  void setPaused(bool paused);
  void setCycle(std::string text);

 private:
  void send();  // with mutex_ held

  std::function<void(const std::string&)> report_;
  std::mutex mutex_;
  bool paused_ = false;
  std::string cycle_;
  std::string sent_;
};

}  // namespace varenta
