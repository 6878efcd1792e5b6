#pragma once
// TVarenta: the service's only way to the cloud. Each operation builds one request from the client
// context, sends it and hands back the status and the body as text; it interprets nothing.

#include <cstddef>
#include <memory>
#include <string>
#include <utility>

#include "api/http_transport.h"

namespace varenta {

// What every call reads: the values of the latest settings load. The register number and the body
// of a post are arguments of the post itself.
struct ClientContext {
  std::string BaseUrl;
  std::string Usuario;
  std::string Senha;
  std::string IdEmpresa;
  std::string IdLocal;
};

struct TVarentaRetornos {
  std::string url;           // BaseUrl followed by the path, as concatenated (before normalisation)
  std::string code_retorno;  // the HTTP status in decimal digits
  std::string json_retorno;  // the body, decoded by the charset the answer names (UTF-8 if none)
};

// Every operation answers its result for a status below 500 (an error document of a 4xx included),
// raises EHttpServerError ("HTTP/1.1 503 Service Unavailable") for 500 and above, and ERestError
// for a transport failure, an answer longer than its bound included (a list's kMaxListAnswer, a
// post's kMaxPostAnswer). Nothing is retried and no state is kept between calls.
inline constexpr std::size_t kMaxListAnswer = std::size_t{64} << 20;
inline constexpr std::size_t kMaxPostAnswer = std::size_t{1} << 20;

class TVarenta {
 public:
  TVarenta() : TVarenta(TransportSettings{}) {}
  // Tests shorten the time-outs and add the CA of the stand-in's certificate.
  explicit TVarenta(TransportSettings transport) : transport_(makeHttpTransport(std::move(transport))) {}
  // Tests that need no wire hand the client a transport of their own.
  explicit TVarenta(std::unique_ptr<HttpTransport> transport) : transport_(std::move(transport)) {}

  const ClientContext& context() const { return context_; }
  void setContext(ClientContext context) { context_ = std::move(context); }

  // POST the closing document `jsonEnvio` for register `caixa`.
  TVarentaRetornos postFechaCaixa(const std::string& caixa, const std::string& jsonEnvio);
  // POST the movement batch `jsonEnvio` for register `caixa`.
  TVarentaRetornos postEnviarVenda(const std::string& caixa, const std::string& jsonEnvio);
  // The same request as postEnviarVenda.
  TVarentaRetornos postCancelarVenda(const std::string& caixa, const std::string& jsonEnvio);
  TVarentaRetornos getPromoAceitas();
  TVarentaRetornos getPromoRejeitadas();
  TVarentaRetornos getPromoPendentes();
  TVarentaRetornos getSolReenvioMovimientos();
  TVarentaRetornos getSolReenvioCierresDiarios();

 private:
  // A POST of `body`, or a GET when there is none.
  TVarentaRetornos execute(const std::string& path, const std::string* body) const;
  std::string storePath(const char* api) const;

  ClientContext context_;
  std::unique_ptr<HttpTransport> transport_;
};

}  // namespace varenta
