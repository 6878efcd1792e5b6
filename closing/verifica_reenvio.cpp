#include "closing/verifica_reenvio.h"

#include <rapidjson/document.h>

#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "base/error.h"
#include "base/iso8601.h"
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

ResendRequest readRequest(const Value& element) {
  if (!element.IsObject()) throw EConvertError("A resend request is not a JSON object");
  const std::optional<std::string> fecha = scalarMember(element, "fecha");
  if (!fecha) throw EConvertError("The resend request has no \"fecha\"");
  const std::optional<DateTime> day = parseIso8601(*fecha);
  if (!day) throw EConvertError("\"" + *fecha + "\" is not a valid ISO 8601 date");
  const std::optional<std::string> tipo = scalarMember(element, "tipo");
  if (!tipo) throw EConvertError("The resend request has no \"tipo\"");
  return {*day, *tipo, scalarMember(element, "codigoCaja").value_or("")};
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
  const char* errorPrefix;  // of the line of an error that stops the list
};

constexpr ResendList kMovements{"solicitudes de movimientos", "MOVIMIENTOS",
                                "Erro Verifica Reenvio Movimentos: "};
constexpr ResendList kClosings{"solicitudes de cierres diarios", "CIERRES_DIARIOS",
                               "Erro Verifica Reenvio Cierres Diarios: "};

// Answers the requests of one list body. False when the body is not JSON at all: the poll then
// ends without storing its mark, and holds itself off.
bool answerList(const ResendPollContext& context, const ResendList& list, const std::string& body,
                const std::function<void(const ResendRequest&)>& answer) {
  const TaskContext& task = context.task;
  rapidjson::Document parsed;
  // Numbers stay the text they were written with, so a register 2 reads as "2"; iterative parsing
  // keeps a deeply nested answer from exhausting the stack.
  parsed.Parse<rapidjson::kParseNumbersAsStringsFlag | rapidjson::kParseIterativeFlag>(body.data(),
                                                                                       body.size());
  if (parsed.HasParseError()) {
    context.hold.hold(task.clock.now());
    task.log.DoSaveLog(std::string("Reenvio: a resposta de ") + list.name + " não é JSON: " + excerpt(body));
    return false;
  }
  if (!parsed.IsArray()) {
    task.log.DoSaveLog("Error on parse \"Reenvios\".");
    return true;
  }
  try {
    for (const Value& element : parsed.GetArray()) {
      const ResendRequest request = readRequest(element);
      if (request.tipo == list.tipo) answer(request);
    }
  } catch (const std::exception& e) {
    task.log.DoSaveLog(errorLine(list.errorPrefix, e));
  }
  return true;
}

}  // namespace

void VerificaReenvio(const ResendPollContext& context) {
  const TaskContext& task = context.task;
  task.timer.setEnabled(false);

  if (!answerList(context, kMovements, task.cloud.getSolReenvioMovimientos().json_retorno,
                  [&](const ResendRequest& r) {
                    CarregaVendasReenvioVarenta(context.sales(), r.fecha, r.codigoCaja);
                  }))
    return;
  if (!answerList(context, kClosings, task.cloud.getSolReenvioCierresDiarios().json_retorno,
                  [&](const ResendRequest& r) { ReenviaCaixaVarenta(task, r.fecha, r.codigoCaja); }))
    return;

  Query& q = *task.db.query1;
  q.setSql(kPollMarkSql);
  q.execute();
  task.log.DoSaveLog("[R: " + regionalDate(task.clock.today()) + "]Renvios enviados com sucesso");
  task.reloadSettings();
}

}  // namespace varenta
