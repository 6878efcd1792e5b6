#include "api/varenta_client.h"

#include "api/api_errors.h"
#include "api/base64.h"
#include "api/charset.h"
#include "api/url.h"

namespace varenta {

std::string TVarenta::storePath(const char* api) const {
  return std::string(api) + "/v2/minoristas/" + context_.IdEmpresa + "/locales/" + context_.IdLocal;
}

TVarentaRetornos TVarenta::postFechaCaixa() {
  return execute(Method::kPost,
                 storePath("/api-minoristas/api") + "/cajas/" + context_.Caixa + "/cierresDiarios/lotes");
}

TVarentaRetornos TVarenta::postEnviarVenda() {
  return execute(Method::kPost,
                 storePath("/api-minoristas/api") + "/cajas/" + context_.Caixa + "/movimientos/lotes");
}

TVarentaRetornos TVarenta::postCancelarVenda() {
  return postEnviarVenda();
}

TVarentaRetornos TVarenta::getPromoAceitas() {
  return execute(Method::kGet, storePath("/pmkt-rest-api") + "/promociones?estado=ACEPTADA");
}

TVarentaRetornos TVarenta::getPromoRejeitadas() {
  return execute(Method::kGet, storePath("/pmkt-rest-api") + "/promociones?estado=RECHAZADA");
}

TVarentaRetornos TVarenta::getPromoPendentes() {
  return execute(Method::kGet, storePath("/pmkt-rest-api") + "/promociones");
}

TVarentaRetornos TVarenta::getSolReenvioMovimientos() {
  return execute(Method::kGet, storePath("/api-minoristas/api") + "/solicitudes/movimientos");
}

TVarentaRetornos TVarenta::getSolReenvioCierresDiarios() {
  return execute(Method::kGet, storePath("/api-minoristas/api") + "/solicitudes/cierresDiarios");
}

TVarentaRetornos TVarenta::execute(Method method, const std::string& path) const {
  TVarentaRetornos result;
  result.url = context_.BaseUrl + path;

  HttpRequest request;
  request.url = normaliseUrl(result.url);
  request.headers = {
      "pdv-version: 9.0.0",
      "backend-version: 1.0.0",
      "Authorization: Basic " + base64Encode(context_.Usuario + ":" + context_.Senha),
      "Accept: application/json, text/plain; q=0.9, text/html;q=0.8,",
      "Accept-Charset: utf-8, *;q=0.8",
  };
  if (method == Method::kPost) {
    request.headers.emplace_back("Content-Type: application/json");
    request.body = context_.JsonEnvio;
  }

  const HttpResponse response = sendRequest(request, transport_);
  if (response.status >= 500) {
    throw EHttpServerError(response.version + " " + std::to_string(response.status) + " " + response.reason);
  }
  result.code_retorno = std::to_string(response.status);
  result.json_retorno = decodeBody(response.body, charsetOf(response.contentType));
  return result;
}

}  // namespace varenta
