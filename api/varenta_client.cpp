#include "api/varenta_client.h"

#include "api/api_errors.h"
#include "api/base64.h"
#include "api/charset.h"
#include "api/url.h"
#include "base/text.h"

namespace varenta {

std::string TVarenta::storePath(const char* api) const {
  return std::string(api) + "/v2/minoristas/" + context_.IdEmpresa + "/locales/" + context_.IdLocal;
}

TVarentaRetornos TVarenta::postFechaCaixa(const std::string& caixa, const std::string& jsonEnvio) {
  return execute(storePath("/api-minoristas/api") + "/cajas/" + caixa + "/cierresDiarios/lotes", &jsonEnvio);
}

TVarentaRetornos TVarenta::postEnviarVenda(const std::string& caixa, const std::string& jsonEnvio) {
  return execute(storePath("/api-minoristas/api") + "/cajas/" + caixa + "/movimientos/lotes", &jsonEnvio);
}

TVarentaRetornos TVarenta::postCancelarVenda(const std::string& caixa, const std::string& jsonEnvio) {
  return postEnviarVenda(caixa, jsonEnvio);
}

TVarentaRetornos TVarenta::getPromoAceitas() {
  return execute(storePath("/pmkt-rest-api") + "/promociones?estado=ACEPTADA", nullptr);
}

TVarentaRetornos TVarenta::getPromoRejeitadas() {
  return execute(storePath("/pmkt-rest-api") + "/promociones?estado=RECHAZADA", nullptr);
}

TVarentaRetornos TVarenta::getPromoPendentes() {
  return execute(storePath("/pmkt-rest-api") + "/promociones", nullptr);
}

TVarentaRetornos TVarenta::getSolReenvioMovimientos() {
  return execute(storePath("/api-minoristas/api") + "/solicitudes/movimientos", nullptr);
}

TVarentaRetornos TVarenta::getSolReenvioCierresDiarios() {
  return execute(storePath("/api-minoristas/api") + "/solicitudes/cierresDiarios", nullptr);
}

TVarentaRetornos TVarenta::execute(const std::string& path, const std::string* body) const {
  TVarentaRetornos result;
  result.url = context_.BaseUrl + path;

  HttpRequest request;
  request.url = normaliseUrl(result.url);
  // The credentials, and the versions that go with them, are for the cloud's own host only.
  request.hostHeaders = {
      "pdv-version: 9.0.0",
      "backend-version: 1.0.0",
      "Authorization: Basic " + base64Encode(context_.Usuario + ":" + context_.Senha),
  };
  request.headers = {
      "Accept: application/json, text/plain; q=0.9, text/html;q=0.8,",
      "Accept-Charset: utf-8, *;q=0.8",
  };
  // A list may be long; a post's answer is a few words. Far beyond either, an answer is no answer of
  // the cloud's (a portal's page, a server gone wrong) and must not take the memory it asks for.
  request.maxAnswer = body != nullptr ? kMaxPostAnswer : kMaxListAnswer;
  if (body != nullptr) {
    request.headers.emplace_back("Content-Type: application/json");
    request.body = *body;
  }

  const HttpResponse response = transport_->send(request);
  if (response.status >= 500) {
    throw EHttpServerError(response.version + " " + std::to_string(response.status) + " " + response.reason);
  }
  result.code_retorno = std::to_string(response.status);
  result.json_retorno = decodeBody(response.body, charsetOf(response.contentType));
  // A byte order mark is no content, and every reader of an answer would take it for some.
  if (result.json_retorno.starts_with(kUtf8ByteOrderMark))
    result.json_retorno.erase(0, kUtf8ByteOrderMark.size());
  return result;
}

}  // namespace varenta
