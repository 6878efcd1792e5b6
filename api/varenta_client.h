#pragma once
// TVarenta: the service's only way to the cloud. Each operation builds one request from the client
// context, sends it and hands back the status and the body as text; it interprets nothing.

#include <string>
#include <utility>

#include "api/http_transport.h"

namespace varenta {

// What every call reads. The settings load fills the first five; a posting task sets `Caixa` and
// `JsonEnvio` before each post. No call clears them.
struct ClientContext {
  std::string BaseUrl;
  std::string Usuario;
  std::string Senha;
  std::string IdEmpresa;
  std::string IdLocal;
  std::string Caixa;
  std::string JsonEnvio;
};

struct TVarentaRetornos {
  std::string url;           // BaseUrl followed by the path, as concatenated (before normalisation)
  std::string code_retorno;  // the HTTP status in decimal digits
  std::string json_retorno;  // the body, decoded by the charset the answer names (UTF-8 if none)
};

// Every operation answers its result for a status below 500 (an error document of a 4xx included),
// raises EHttpServerError ("HTTP/1.1 503 Service Unavailable") for 500 and above, and ERestError
// for a transport failure. Nothing is retried and no state is kept between calls.
class TVarenta {
 public:
  TVarenta() = default;
  // Tests shorten the time-outs and add the CA of the stand-in's certificate.
  explicit TVarenta(TransportSettings transport) : transport_(std::move(transport)) {}

  ClientContext& context() { return context_; }
  const ClientContext& context() const { return context_; }

  TVarentaRetornos postFechaCaixa();     // POST the closing document JsonEnvio for register Caixa
  TVarentaRetornos postEnviarVenda();    // POST the movement batch JsonEnvio for register Caixa
  TVarentaRetornos postCancelarVenda();  // the same request as postEnviarVenda
  TVarentaRetornos getPromoAceitas();
  TVarentaRetornos getPromoRejeitadas();
  TVarentaRetornos getPromoPendentes();
  TVarentaRetornos getSolReenvioMovimientos();
  TVarentaRetornos getSolReenvioCierresDiarios();

 private:
  enum class Method { kGet, kPost };
  TVarentaRetornos execute(Method method, const std::string& path) const;
  std::string storePath(const char* api) const;

  ClientContext context_;
  TransportSettings transport_;
};

}  // namespace varenta
