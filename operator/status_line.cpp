#include "operator/status_line.h"

#include "servicelog/error_lines.h"

namespace varenta {
namespace {

// The longest message of the last error shown: the line must stay readable in a terminal.
constexpr std::size_t kErrorShown = 120;

// "14:35" today, "06/03 00:10" on another day; with seconds where the wait is short.
std::string when(DateTime at, DateTime now, bool seconds = false) {
  const char* const time = seconds ? "hh:nn:ss" : "hh:nn";
  return at.date() == now.date() ? at.format(time) : at.format("dd/mm ") + at.format(time);
}

}  // namespace

std::string cycleStatus(const CycleView& view) {
  std::vector<std::string> parts;
  if (view.restUntil > view.now)
    parts.push_back(view.restForNetwork
                        ? "Sem internet até " + when(view.restUntil, view.now)
                        : "Em pausa até " + when(view.restUntil, view.now, true) + " após um erro");
  else if (!view.connected)
    parts.push_back("Sem conexão com o banco de dados do Olvessa");
  if (view.backlog)
    parts.push_back(view.backlog->inStep() ? "Em dia"
                                           : waitingInWords(*view.backlog, {}, false) + " aguardando envio");
  for (const CycleView::Hold& hold : view.holds)
    if (hold.until > view.now) parts.push_back(std::string(hold.what) + " até " + when(hold.until, view.now));
  if (view.lastError)
    parts.push_back("Último erro (" + when(view.lastError->at, view.now) +
                    "): " + oneLine(view.lastError->message, kErrorShown));
  std::string text;
  for (const std::string& part : parts) text += (text.empty() ? "" : ". ") + part;
  return text;
}

void StatusLine::setPaused(bool paused) {
  const std::lock_guard lock(mutex_);
  paused_ = paused;
  send();
}

void StatusLine::setCycle(std::string text) {
  const std::lock_guard lock(mutex_);
  cycle_ = std::move(text);
  send();
}

void StatusLine::send() {
  std::string text = paused_ ? (cycle_.empty() ? "Serviço pausado" : "Serviço pausado. " + cycle_)
                             : (cycle_.empty() ? "Serviço em execução" : cycle_);
  if (text == sent_) return;
  sent_ = text;
  if (report_) report_(text);
}

}  // namespace varenta
