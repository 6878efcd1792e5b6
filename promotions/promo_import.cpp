#include "promotions/promo_import.h"

#include <exception>
#include <string>
#include <string_view>

#include "api/post_answer.h"
#include "base/error.h"
#include "base/regional.h"
#include "base/text.h"
#include "promotions/basket_rows.h"
#include "promotions/json_document.h"
#include "promotions/promo_shape.h"
#include "promotions/promo_varenta.h"
#include "promotions/promotion_rows.h"

namespace varenta {
namespace {

constexpr const char* kPromotionRejection =
    "UPDATE VARENTA_PROMOCOES SET REJEITADA = CURRENT_TIMESTAMP WHERE CODIGOPROMOCAO = :CODIGOPROMOCAO";
constexpr const char* kBasketRejection =
    "UPDATE CESTASPROMOCIONAIS SET REJEITADA = CURRENT_TIMESTAMP WHERE CODIGOVARENTA = :CODIGOVARENTA";
constexpr const char* kMarkUpdate = "update padrao p set p.varenta_verificapromo = current_timestamp";

// The cloud answers "[]" when it has no promotion for the store.
bool nothingListed(std::string_view body) {
  return body.empty() || body == "[]";
}

// The list's body, when the answer is the cloud's list. Any other answer (a status other than 2xx,
// a refused login, a portal's page) fails the import before a row is touched: read as an empty list
// it would move the mark and the promotions it should have brought would wait another hour.
std::string promotionList(const TVarentaRetornos& answer) {
  requireCloudList(answer);
  if (!nothingListed(answer.json_retorno) && !ParsedJson(answer.json_retorno).valid())
    throw ENotAList("HTTP " + answer.code_retorno + " from " + answer.url +
                    " is not JSON; asked again later: " + answerExcerpt(answer.json_retorno));
  return answer.json_retorno;
}

std::string resultLine(const TaskContext& task, std::string_view marker, std::string_view text) {
  return "[" + std::string(marker) + "- " + regionalDate(task.clock.today()) + "]" + std::string(text);
}

void runRejection(Query& query, const char* sql, const char* parameter, std::int32_t id) {
  query.setSql(sql);
  query.setInteger(parameter, id);
  query.execute();
}

bool anyConditionArticle(TResults& promotion) {
  for (const auto& item : promotion.Detalles()->Condiciones()->Items())
    if (!item->Articulos().empty()) return true;
  return false;
}

void reject(Query& query, TResults& promotion) {
  const PromoShape shape = PromoShape::of(promotion);
  if (shape.paymentFormRoute()) runRejection(query, kPromotionRejection, "CODIGOPROMOCAO", promotion.Id());
  if (shape.basketRoute()) runRejection(query, kBasketRejection, "CODIGOVARENTA", promotion.Id());
  if (shape.plainRoute() && shape.hasConditionItems && anyConditionArticle(promotion))
    runRejection(query, kPromotionRejection, "CODIGOPROMOCAO", promotion.Id());
}

// The import writes no line until a phase ends, however long it takes: the log is told the work
// goes on (the service's watchdog must not take a long import for a hung call).
void accept(Query& query, TResults& promotion, ServiceLog& log) {
  const auto alive = [&log] { log.stillWorking(); };
  const PromoShape shape = PromoShape::of(promotion);
  if (shape.paymentFormRoute()) GravaPromocao(query, promotion, true, alive);
  if (shape.basketRoute()) GravaCesta(query, promotion, alive);
  if (shape.plainRoute()) GravaPromocao(query, promotion, false, alive);
}

void moveMark(Query& query) {
  query.setSql(kMarkUpdate);
  query.execute();
}

void rejectedPhase(const TaskContext& task, Query& query) {
  TRoot root;
  const std::string body = promotionList(task.cloud.getPromoRejeitadas());
  if (nothingListed(body)) return;
  try {
    root.AsJson(body);
    for (const auto& promotion : root.Results()) {
      task.log.stillWorking();
      reject(query, *promotion);
    }
    task.log.DoSaveLog(resultLine(task, "R", "Ok:Promos Varenta rejeitadas com sucesso"));
  } catch (const std::exception& e) {
    task.log.DoSaveLog(errorLine("Erro RejeitaPromo: ", e));
  }
}

void acceptedPhase(const PromoImport& import, Query& query) {
  const TaskContext& task = import.task;
  TRoot root;
  const std::string body = promotionList(task.cloud.getPromoAceitas());
  if (nothingListed(body)) return moveMark(query);
  try {
    root.AsJson(body);
    for (const auto& promotion : root.Results()) accept(query, *promotion, task.log);
    task.log.DoSaveLog(resultLine(task, "P", "Ok:Promos Varenta atualizadas com sucesso"));
    moveMark(query);
  } catch (const std::exception& e) {
    task.log.DoSaveLog(errorLine("Erro AtualizaPromo: ", e));
    // The mark stays, so the import is due again at once; what failed here would most likely fail
    // the same way on every tick and keep the closings and sales waiting behind it.
    import.hold.hold(task.clock.now());
  }
}

}  // namespace

void AtualizaPromo(const PromoImport& import) {
  const TaskContext& task = import.task;
  task.timer.setEnabled(false);
  if (!task.db.query1) throw EDatabaseError("The store database was never connected");
  Query& query = *task.db.query1;
  rejectedPhase(task, query);
  acceptedPhase(import, query);
  task.reloadSettings();
}

}  // namespace varenta
