#include "closing/verifica_reenvio.h"

#include <rapidjson/document.h>

#include <charconv>
#include <cstdint>
#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "base/error.h"
#include "base/iso8601.h"
#include "base/json_depth.h"
#include "base/regional.h"
#include "base/text.h"
#include "closing/reenvia_caixa.h"
#include "closing/reenvia_venda.h"

namespace varenta {
namespace {

using rapidjson::Value;

constexpr const char* kPollMarkSql = "update padrao p set p.varenta_verificareenvio = current_timestamp";
constexpr std::size_t kShownCharacters = 100;

// One request of a list, as far as the poll reads it.
struct ResendRequest {
  DateTime fecha;
  std::string tipo;
  std::string codigoCaja;  // empty when the request names no register
};

// A member given as a string or a number, in the text it was written with; nothing when it is
// absent or null. Any other kind is no value of this member at all.
std::optional<std::string> scalarMember(const Value& request, const char* name) {
  const auto member = request.FindMember(name);
  if (member == request.MemberEnd() || member->value.IsNull()) return std::nullopt;
  if (!member->value.IsString())
    throw EConvertError(std::string("\"") + name + "\" is neither a text nor a number");
  return std::string(member->value.GetString(), member->value.GetStringLength());
}

// A register as either list may write it, a number or a text, with blanks around and a leading
// sign allowed, in the digits the store database compares ("+02 " is "2"); empty when none is named.
std::string registerOf(const std::string& written) {
  std::string_view text = written;
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  if (text.empty()) return {};
  const bool negative = text.front() == '-';
  if (text.front() == '+' || text.front() == '-') text.remove_prefix(1);
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || text.front() == '+' || text.front() == '-' || error != std::errc() ||
      end != text.data() + text.size())
    throw EConvertError("\"" + written + "\" is not a register number");
  return std::to_string(negative ? -value : value);
}

// The request when it is of kind `tipo`; nothing for a request of another kind, which this list
// does not answer and whose other members are not read.
std::optional<ResendRequest> readRequest(const Value& element, std::string_view tipo) {
  if (!element.IsObject()) throw EConvertError("A resend request is not a JSON object");
  const std::optional<std::string> kind = scalarMember(element, "tipo");
  if (!kind) throw EConvertError("The resend request has no \"tipo\"");
  if (*kind != tipo) return std::nullopt;
  const std::optional<std::string> fecha = scalarMember(element, "fecha");
  if (!fecha) throw EConvertError("The resend request has no \"fecha\"");
  const std::optional<DateTime> day = parseIso8601(*fecha);
  if (!day) throw EConvertError("\"" + *fecha + "\" is not a valid ISO 8601 date");
  return ResendRequest{*day, *kind, registerOf(scalarMember(element, "codigoCaja").value_or(""))};
}

// The first characters of an answer for the log, on one line: line breaks and other control
// characters become blanks (an HTML page would otherwise break the log's one line per event).
std::string excerpt(std::string_view body) {
  std::size_t i = 0;
  for (std::size_t n = 0; i < body.size() && n < kShownCharacters; ++n) {
    char32_t cp = 0;
    const std::size_t length = decodeUtf8(body, i, cp);
    i += length == 0 ? 1 : length;
  }
  std::string shown(body.substr(0, i));
  for (char& c : shown)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
  return shown;
}

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
// incomplete: asking for the list again would not make it readable, and would send every other
// request's data again on every poll.
ListOutcome answerList(const ResendPollContext& context, const ResendList& list, std::string_view body,
                       const std::function<bool(const ResendRequest&)>& answer) {
  const TaskContext& task = context.task;
  rapidjson::Document parsed;
  // Numbers stay the text they were written with, so a register 2 reads as "2".
  if (!parseJsonWithinDepth<rapidjson::kParseNumbersAsStringsFlag>(parsed, body)) {
    context.hold.hold(task.clock.now());
    task.log.DoSaveLog(std::string("Reenvio: a resposta de ") + list.name + " não é JSON: " + excerpt(body));
    return ListOutcome::NotJson;
  }
  if (!parsed.IsArray()) {
    task.log.DoSaveLog("Error on parse \"Reenvios\".");
    return ListOutcome::Answered;
  }
  bool complete = true;
  for (const Value& element : parsed.GetArray()) {
    std::optional<ResendRequest> request;
    try {
      request = readRequest(element, list.tipo);
    } catch (const std::exception& e) {
      task.log.DoSaveLog(errorLine(list.errorPrefix, e));
    }
    if (request && !answer(*request)) complete = false;
  }
  return complete ? ListOutcome::Answered : ListOutcome::Incomplete;
}

}  // namespace

void VerificaReenvio(const ResendPollContext& context) {
  const TaskContext& task = context.task;
  task.timer.setEnabled(false);

  const ListOutcome movements = answerList(
      context, kMovements, task.cloud.getSolReenvioMovimientos().json_retorno, [&](const ResendRequest& r) {
        try {
          return CarregaVendasReenvioVarenta(context.sales(), r.fecha, r.codigoCaja);
        } catch (const std::exception& e) {
          task.log.DoSaveLog(errorLine(kMovements.errorPrefix, e));
          return false;
        }
      });
  if (movements == ListOutcome::NotJson) return;
  const ListOutcome closings =
      answerList(context, kClosings, task.cloud.getSolReenvioCierresDiarios().json_retorno,
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
    task.log.DoSaveLog(marker + "Renvios enviados com sucesso");
  }
  task.reloadSettings();
}

}  // namespace varenta
