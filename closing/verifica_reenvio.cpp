#include "closing/verifica_reenvio.h"

#include <exception>
#include <functional>
#include <string>
#include <string_view>

#include "api/api_errors.h"
#include "api/post_answer.h"
#include "base/error.h"
#include "base/regional.h"
#include "base/text.h"
#include "closing/reenvia_caixa.h"
#include "closing/reenvia_venda.h"
#include "closing/resend_list.h"

namespace varenta {
namespace {

constexpr const char* kPollMarkSql = "update padrao p set p.varenta_verificareenvio = current_timestamp";

struct ResendList {
  const char* name;         // as the line about an answer that is not JSON names it
  const char* tipo;         // the requests this list answers
  const char* errorPrefix;  // of the line of a request that cannot be read
};

enum class ListOutcome {
  Answered,    // every request of the list's kind was read and answered in full
  Incomplete,  // some request's answer failed: the list must be asked for again
  NotJson,     // the answer is not JSON at all
};

constexpr ResendList kMovements{"solicitudes de movimientos", "MOVIMIENTOS",
                                "Erro Verifica Reenvio Movimentos: "};
constexpr ResendList kClosings{"solicitudes de cierres diarios", "CIERRES_DIARIOS",
                               "Erro Verifica Reenvio Cierres Diarios: "};

// Answers the requests of one list body, each on its own: one that cannot be read is logged with
// the list's prefix, and one whose answer failed (`answer` says false) leaves the list incomplete;
// neither stops the requests after it. A request that cannot be read does not make the list
// incomplete: asking for the list again would not make it readable. A request answered in full
// before, when the list was asked for the last time, is not answered again. A transport failure
// ends the list at once: the cloud is not answering, and every further request would wait out its
// own time-outs.
ListOutcome answerList(const ResendPollContext& context, const ResendList& list, std::string_view body,
                       const std::function<bool(const ResendRequest&)>& answer) {
  const TaskContext& task = context.task;
  bool complete = true;
  const ResendListShape shape = readResendList(
      body, list.tipo,
      [&](const ResendRequest& request) {
        if (context.memory.answeredEarlier(request)) return;
        if (answer(request))
          context.memory.answered(request);
        else
          complete = false;
      },
      [&](const std::exception& e) { task.log.DoSaveLog(errorLine(list.errorPrefix, e)); });
  if (shape == ResendListShape::NotJson) {
    context.hold.hold(task.clock.now());
    task.log.DoSaveLog(std::string("Reenvio: a resposta de ") + list.name +
                       " não é JSON: " + answerExcerpt(body));
    return ListOutcome::NotJson;
  }
  if (shape == ResendListShape::NotArray) {
    task.log.DoSaveLog("Error on parse \"Reenvios\".");
    return ListOutcome::Answered;
  }
  return complete ? ListOutcome::Answered : ListOutcome::Incomplete;
}

}  // namespace

void VerificaReenvio(const ResendPollContext& context) {
  const TaskContext& task = context.task;
  task.timer.setEnabled(false);
  struct AskOver {
    ResendMemory& memory;
    ~AskOver() { memory.endAsk(); }
  } askOver{context.memory};

  const TVarentaRetornos movementRequests = task.cloud.getSolReenvioMovimientos();
  requireCloudList(movementRequests);
  const ListOutcome movements =
      answerList(context, kMovements, movementRequests.json_retorno, [&](const ResendRequest& r) {
        try {
          return CarregaVendasReenvioVarenta(context.sales(), r.fecha, r.codigoCaja);
        } catch (const ERestError&) {
          throw;
        } catch (const std::exception& e) {
          task.log.DoSaveLog(errorLine(kMovements.errorPrefix, e));
          return false;
        }
      });
  if (movements == ListOutcome::NotJson) return;
  const TVarentaRetornos closingRequests = task.cloud.getSolReenvioCierresDiarios();
  requireCloudList(closingRequests);
  const ListOutcome closings =
      answerList(context, kClosings, closingRequests.json_retorno,
                 [&](const ResendRequest& r) { return ReenviaCaixaVarenta(task, r.fecha, r.codigoCaja); });
  if (closings == ListOutcome::NotJson) return;

  const std::string marker = "[R: " + regionalDate(task.clock.today()) + "]";
  if (movements == ListOutcome::Incomplete || closings == ListOutcome::Incomplete) {
    // The mark stays, so the lists are asked for again, after the poll's hold: whatever failed
    // would most likely fail again at once.
    context.hold.hold(task.clock.now());
    task.log.DoSaveLog(marker + "Renvios incompletos: a lista será pedida de novo");
  } else {
    Query& q = *task.db.query1;
    q.setSql(kPollMarkSql);
    q.execute();
    context.memory.forget();
    task.log.DoSaveLog(marker + "Renvios enviados com sucesso");
  }
  task.reloadSettings();
}

}  // namespace varenta
