// The client over the platform's transport against the cloud stand-in on loopback: libcurl in the
// Linux suite, WinHTTP in the Windows suite (under wine), each held to the same expectations.

#include "api/varenta_client.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "api/api_errors.h"
#include "api/base64.h"
#include "api/verdict.h"
#include "tests/standin/extra_trust.h"
#include "tests/standin/standin_launcher.h"
#include "tests/standin/test_certificates.h"
#include "tests/support/closed_port.h"
#include "tests/support/recording_log.h"
#include "tests/support/silent_resolver.h"
#include "tests/support/temp_dir.h"
#ifdef _WIN32
#include "tests/support/wine.h"
#endif

namespace varenta {
namespace {

const std::string kBatch =
    R"([{"fecha":"2024-03-05T14:07:09.000-0300","numero":"15","descuentoTotal":0,"recargoTotal":0,)"
    R"("codigoMoneda":"986","cotizacion":1,"total":10,"cancelacion":false,"documentoCliente":null,)"
    R"("codigoCanalVenta":1,"descripcionCanalVenta":"VENDA NA LOJA-DINHEIRO","detalles":[{"codigoArticulo":"123456",)"
    R"("codigoBarras":"7891234567890","descripcionArticulo":"ÁGUA OXIGENADA 10V\/100ML","cantidad":1,)"
    R"("importeUnitario":10,"importe":10,"descuento":0,"recargo":0}],)"
    R"("pagos":[{"codigoTipoPago":9,"codigoMoneda":"986","importe":10,"cotizacion":1}]}])";
const std::string kClosing =
    R"([{"montoVentaLiquida": 10.00, "montoCancelaciones": 0.00, "cantidadMovimientos": 1, )"
    R"("fechaVentas": "2024-03-05", "cantidadCancelaciones": 0 }])";

// Credentials with accents and a colon in the password: basic authentication carries their UTF-8.
StandInConfig storeConfig() {
  StandInConfig config;
  config.usuario = "farmácia";
  config.senha = "s3nh@:ção";
  return config;
}

TransportSettings quickTransport() {
  TransportSettings settings;
  settings.connectTimeout = std::chrono::milliseconds(5000);
  settings.responseTimeout = std::chrono::milliseconds(1000);
  return settings;
}

ClientContext storeContext(const std::string& baseUrl) {
  return {.BaseUrl = baseUrl, .Usuario = "farmácia", .Senha = "s3nh@:ção", .IdEmpresa = "12", .IdLocal = "1"};
}

void useStore(TVarenta& client, const std::string& baseUrl) {
  client.setContext(storeContext(baseUrl));
}

// Changes one value of the client's context.
template <typename Change>
void amend(TVarenta& client, Change change) {
  ClientContext context = client.context();
  change(context);
  client.setContext(context);
}

class VarentaClientTest : public ::testing::Test {
 protected:
  VarentaClientTest() : standIn(storeConfig()), client(quickTransport()) {
    useStore(client, standIn.baseUrl());
  }

  StandIn standIn;
  TVarenta client;
};

TEST_F(VarentaClientTest, SendsEveryOperationAsTheCloudExpects) {
  standIn.writeDataFile("promociones-aceptadas.json", R"({"results":[{"id":1}],"total":1})");
  standIn.writeDataFile("promociones-rechazadas.json", R"({"results":[{"id":2}],"total":1})");
  standIn.writeDataFile("promociones.json", R"({"results":[{"id":3}],"total":1})");
  standIn.writeDataFile("solicitudes-movimientos.json", R"([{"fecha":"2024-03-01","tipo":"MOVIMIENTOS"}])");
  standIn.writeDataFile("solicitudes-cierres.json", R"([{"fecha":"2024-03-02","tipo":"CIERRES_DIARIOS"}])");
  const std::string store = "/v2/minoristas/12/locales/1";
  const std::vector<std::string> kGetHeaders = {"Accept",          "Accept-Charset", "Authorization",
                                                "backend-version", "Host",           "pdv-version"};
  const std::vector<std::string> kPostHeaders = {
      "Accept",         "Accept-Charset", "Authorization", "backend-version",
      "Content-Length", "Content-Type",   "Host",          "pdv-version"};
  const struct {
    std::function<TVarentaRetornos(TVarenta&, const std::string& body)> operation;
    const char* method;
    std::string path;
    const char* query;
    std::string body;
    const char* answer;
  } cases[] = {
      {[](TVarenta& c, const std::string& b) { return c.postEnviarVenda("3", b); }, "POST",
       "/api-minoristas/api" + store + "/cajas/3/movimientos/lotes", "", kBatch, R"({"idLote":1})"},
      {[](TVarenta& c, const std::string& b) { return c.postCancelarVenda("3", b); }, "POST",
       "/api-minoristas/api" + store + "/cajas/3/movimientos/lotes", "", kBatch, R"({"idLote":2})"},
      {[](TVarenta& c, const std::string& b) { return c.postFechaCaixa("3", b); }, "POST",
       "/api-minoristas/api" + store + "/cajas/3/cierresDiarios/lotes", "", kClosing, R"({"idLote":3})"},
      {[](TVarenta& c, const std::string&) { return c.getPromoAceitas(); }, "GET",
       "/pmkt-rest-api" + store + "/promociones", "estado=ACEPTADA", "",
       R"({"results":[{"id":1}],"total":1})"},
      {[](TVarenta& c, const std::string&) { return c.getPromoRejeitadas(); }, "GET",
       "/pmkt-rest-api" + store + "/promociones", "estado=RECHAZADA", "",
       R"({"results":[{"id":2}],"total":1})"},
      {[](TVarenta& c, const std::string&) { return c.getPromoPendentes(); }, "GET",
       "/pmkt-rest-api" + store + "/promociones", "", "", R"({"results":[{"id":3}],"total":1})"},
      {[](TVarenta& c, const std::string&) { return c.getSolReenvioMovimientos(); }, "GET",
       "/api-minoristas/api" + store + "/solicitudes/movimientos", "", "",
       R"([{"fecha":"2024-03-01","tipo":"MOVIMIENTOS"}])"},
      {[](TVarenta& c, const std::string&) { return c.getSolReenvioCierresDiarios(); }, "GET",
       "/api-minoristas/api" + store + "/solicitudes/cierresDiarios", "", "",
       R"([{"fecha":"2024-03-02","tipo":"CIERRES_DIARIOS"}])"},
  };
  for (const auto& c : cases) {
    const TVarentaRetornos result = c.operation(client, c.body);
    const std::string target = c.path + (*c.query ? std::string("?") + c.query : "");
    EXPECT_EQ(result.url, standIn.baseUrl() + target);
    EXPECT_EQ(result.code_retorno, "200") << target;
    EXPECT_EQ(result.json_retorno, c.answer) << target;

    const JournalEntry sent = standIn.journal().back();
    EXPECT_EQ(sent.method, c.method) << target;
    EXPECT_EQ(sent.path, c.path);
    EXPECT_EQ(sent.query, c.query);
    EXPECT_EQ(sent.body, c.body) << target;
    EXPECT_EQ(headerOf(sent, "pdv-version"), "9.0.0");
    EXPECT_EQ(headerOf(sent, "backend-version"), "1.0.0");
    EXPECT_EQ(headerOf(sent, "Authorization"), "Basic " + base64Encode("farmácia:s3nh@:ção"));
    EXPECT_EQ(headerOf(sent, "Accept"), "application/json, text/plain; q=0.9, text/html;q=0.8,");
    EXPECT_EQ(headerOf(sent, "Accept-Charset"), "utf-8, *;q=0.8");
    EXPECT_EQ(headerOf(sent, "Content-Type"),
              c.body.empty() ? std::nullopt : std::optional<std::string>("application/json"));
    // Nothing else: no user agent, no "Expect", no Content-Type or length on a GET. WinHTTP asks to
    // keep the connection alive, which is the transport's own business.
    std::vector<std::string> names;
    for (const auto& header : sent.headers)
      if (header.first != "Connection") names.push_back(header.first);
    EXPECT_EQ(names, c.body.empty() ? kGetHeaders : kPostHeaders) << target;
  }
}

TEST_F(VarentaClientTest, AnswersBelow500ComeBackAsResults) {
  const struct {
    std::function<void()> arrange;
    std::string body;
    const char* code;
    const char* answer;
  } cases[] = {
      {[] {}, "[]", "400", R"({"errores":[{"error":{"message":"LOTE_INVALIDO"}}]})"},
      {[&] { amend(client, [](ClientContext& c) { c.Senha = "wrong"; }); }, kBatch, "401",
       R"({"appErrorCode":"ERROR_LOGIN","message":"Usuario o clave incorrectos"})"},
      {[&] { standIn.force({.status = 404, .body = R"({"errores":[]})", .times = 1}); }, kBatch, "404",
       R"({"errores":[]})"},
      // A redirect is followed, and the answer of its target comes back.
      {[&] {
         standIn.force(
             {.status = 307,
              .location = "/api-minoristas/api/v2/minoristas/12/locales/1/cajas/4/movimientos/lotes",
              .times = 1});
       },
       kBatch, "200", R"({"idLote":1})"},
  };
  for (const auto& c : cases) {
    useStore(client, standIn.baseUrl());
    c.arrange();
    const TVarentaRetornos result = client.postEnviarVenda("3", c.body);
    EXPECT_EQ(result.code_retorno, c.code);
    EXPECT_EQ(result.json_retorno, c.answer);
  }
  EXPECT_EQ(standIn.journal().back().path,
            "/api-minoristas/api/v2/minoristas/12/locales/1/cajas/4/movimientos/lotes");
  EXPECT_EQ(standIn.journal().back().body, kBatch);
}

TEST_F(VarentaClientTest, RaisesTheStatusLineOfAnAnswerOf500AndAbove) {
  for (const auto& [status, message] : {std::pair{500, "HTTP/1.1 500 Internal Server Error"},
                                        std::pair{503, "HTTP/1.1 503 Service Unavailable"}}) {
    standIn.force({.status = status, .times = 1});
    try {
      client.getPromoAceitas();
      ADD_FAILURE() << status << " came back as a result";
    } catch (const EHttpServerError& error) {
      EXPECT_EQ(error.typeName(), "EHttpServerError");
      EXPECT_EQ(error.message(), message);
    }
  }
}

// A post stays a post: 301, 302, 307 and 308 post the same body to the new address (an http:// cloud
// address behind a front that moves it to https:// is one), while a 303, which asks for a GET whose
// answer is no verdict on the document, fails the call, naming the status and the Location; so does
// a redirect without a Location. A list's GET follows every redirect as a GET.
TEST_F(VarentaClientTest, RedirectsKeepAPostAPostAndEndAfterTen) {
  const std::string store = "/api-minoristas/api/v2/minoristas/12/locales/1";
  const std::string lotes = store + "/cajas/4/movimientos/lotes";
  for (const int status : {301, 302, 307, 308}) {
    SCOPED_TRACE(status);
    standIn.force({.status = status, .location = lotes, .times = 1});
    const TVarentaRetornos result = client.postEnviarVenda("3", kBatch);
    EXPECT_EQ(result.code_retorno, "200");
    const JournalEntry sent = standIn.journal().back();
    EXPECT_EQ(sent.method, "POST");
    EXPECT_EQ(sent.path, lotes);
    EXPECT_EQ(sent.body, kBatch);
    EXPECT_EQ(headerOf(sent, "Content-Type"), std::optional<std::string>("application/json"));
    EXPECT_EQ(headerOf(sent, "Authorization"), "Basic " + base64Encode("farmácia:s3nh@:ção"));
  }
  for (const auto& [forcing, detail] :
       {std::pair{
            StandInForcing{.status = 303, .location = lotes, .times = 1},
            "303 to " + standIn.baseUrl() + lotes + ": a post is not followed by a GET (303 See Other)"},
        std::pair{StandInForcing{.status = 301, .times = 1},
                  std::string("301 without a Location to a post")}}) {
    SCOPED_TRACE(detail);
    standIn.force(forcing);
    const std::size_t before = standIn.journal().size();
    try {
      client.postEnviarVenda("3", kBatch);
      ADD_FAILURE() << "no error";
    } catch (const ERestError& error) {
      EXPECT_EQ(error.message(),
                "REST request failed: Error receiving data: (12156) The redirection failed (" + detail + ")");
    }
    EXPECT_EQ(standIn.journal().size() - before, 1u);
  }
  for (const int status : {301, 302, 303, 307}) {
    SCOPED_TRACE(status);
    standIn.force({.status = status, .location = store + "/solicitudes/cierresDiarios", .times = 1});
    EXPECT_EQ(client.getSolReenvioMovimientos().code_retorno, "200");
    const JournalEntry sent = standIn.journal().back();
    EXPECT_EQ(sent.method, "GET");
    EXPECT_EQ(sent.path, store + "/solicitudes/cierresDiarios");
    EXPECT_EQ(headerOf(sent, "Content-Type"), std::nullopt);
  }

  // The first request and ten redirects go out; the eleventh redirect fails the call.
  standIn.force({.status = 307, .location = store + "/solicitudes/movimientos"});
  const std::size_t before = standIn.journal().size();
  try {
    client.getSolReenvioMovimientos();
    ADD_FAILURE() << "no error";
  } catch (const ERestError& error) {
    EXPECT_EQ(error.message(), "REST request failed: Error receiving data: (12156) The redirection failed");
  }
  EXPECT_EQ(standIn.journal().size() - before, 11u);
}
// Redirects between the cloud's addresses: the credentials and versions stay on its host, an
// upgrade to HTTPS included, and nothing that began encrypted goes on in plain HTTP.
TEST(VarentaClientRedirectTest, CredentialsStayOnTheHostAndHttpsStaysHttps) {
  TempDir temp;
  const TestCertificates certificates = makeTestCertificates(temp.dir());
  StandInConfig httpsConfig = storeConfig();
  httpsConfig.certFile = certificates.serverCert;
  httpsConfig.keyFile = certificates.serverKey;
  StandIn plain(storeConfig());
  StandIn secure(httpsConfig);
  // The usual time-outs: WinHTTP's TLS handshake runs under the answer's, which a loaded machine can
  // outlast by far under wine.
  TransportSettings transport;
  transport.extraTrust = extraTrustIn(certificates.caFile);
  TVarenta client(transport);
  const std::string lotes = "/api-minoristas/api/v2/minoristas/12/locales/1/cajas/3/movimientos/lotes";
  const std::string securePort = std::to_string(secure.port());

  // From http to https on the same host, though on another port: all headers go along.
  useStore(client, plain.baseUrl());
  plain.force({.status = 307, .location = "https://127.0.0.1:" + securePort + lotes, .times = 1});
  EXPECT_EQ(client.postEnviarVenda("3", kBatch).json_retorno, R"({"idLote":1})");
  JournalEntry sent = secure.journal().back();
  EXPECT_EQ(headerOf(sent, "Authorization"), "Basic " + base64Encode("farmácia:s3nh@:ção"));
  EXPECT_EQ(headerOf(sent, "pdv-version"), "9.0.0");
  EXPECT_EQ(sent.body, kBatch);

  // To another host they stay behind; the cloud's refusal is what the log's verdict tells.
  plain.force({.status = 307, .location = "https://localhost:" + securePort + lotes, .times = 1});
  const TVarentaRetornos elsewhere = client.postEnviarVenda("3", kBatch);
  EXPECT_EQ(elsewhere.code_retorno, "401");
  RecordingLog log;
  EXPECT_EQ(VerificarErroJSON(elsewhere.json_retorno, kBatch, log), "Usuário e/ou senha inválidos");
  sent = secure.journal().back();
  EXPECT_EQ(headerOf(sent, "Authorization"), std::nullopt);
  EXPECT_EQ(headerOf(sent, "pdv-version"), std::nullopt);
  EXPECT_EQ(headerOf(sent, "backend-version"), std::nullopt);
  EXPECT_EQ(sent.body, kBatch);

  // From https to plain http the body is not sent again.
  useStore(client, secure.baseUrl());
  secure.force({.status = 307, .location = plain.baseUrl() + lotes, .times = 1});
  const std::size_t plainRequests = plain.journal().size();
  try {
    client.postEnviarVenda("3", kBatch);
    ADD_FAILURE() << "followed to http";
  } catch (const ERestError& error) {
    EXPECT_EQ(error.message(),
              "REST request failed: Error receiving data: (12156) The redirection failed (307 to " +
                  plain.baseUrl() + lotes + ": a call over HTTPS follows no redirect to http://127.0.0.1)");
  }
  EXPECT_EQ(plain.journal().size(), plainRequests);
}

TEST_F(VarentaClientTest, RaisesTransportFailuresWithTheirWindowsCodes) {
  const struct {
    std::function<void()> arrange;
    const char* message;
  } cases[] = {
      {[&] { amend(client, [](ClientContext& c) { c.BaseUrl = "http://varenta-cloud.invalid"; }); },
       "REST request failed: Error sending data: (12007) The server name or address could not be resolved"},
      {[&] {
         amend(client,
               [](ClientContext& c) { c.BaseUrl = "http://127.0.0.1:" + std::to_string(closedPort()); });
       },
       "REST request failed: Error sending data: (12029) A connection with the server could not be "
       "established"},
      {[&] { standIn.force({.delayMs = 2500, .times = 1}); },
       "REST request failed: Error receiving data: (12002) The operation timed out"},
      {[&] { standIn.force({.close = true, .times = 1}); },
       "REST request failed: Error receiving data: (12030) The connection with the server was terminated "
       "abnormally"},
      {[&] { amend(client, [](ClientContext& c) { c.BaseUrl = ""; }); },
       "REST request failed: Error sending data: (12005) The URL is invalid"},
  };
  for (const auto& c : cases) {
    useStore(client, standIn.baseUrl());
    c.arrange();
    try {
      client.getSolReenvioMovimientos();
      ADD_FAILURE() << c.message;
    } catch (const ERestError& error) {
      EXPECT_EQ(error.typeName(), "ERestError");
      EXPECT_EQ(error.message(), c.message);
    }
  }
}

// The answer's time starts when the request, body included, has gone out.
TEST_F(VarentaClientTest, APostWaitsForItsAnswerNoLongerThanAGet) {
  standIn.force({.delayMs = 2500, .times = 1});
  try {
    client.postEnviarVenda("3", kBatch);
    ADD_FAILURE() << "an answer 2.5 s after the post was taken, with a time-out of 1 s";
  } catch (const ERestError& error) {
    EXPECT_EQ(error.message(), "REST request failed: Error receiving data: (12002) The operation timed out");
  }
}

// Far beyond any answer of the cloud, an answer fails the call as a transport failure does, and the
// client keeps no more of it: a post's past 1 MB, a list's past 64 MB, its length announced or not.
TEST_F(VarentaClientTest, AnAnswerBeyondItsBoundFailsTheCall) {
  const auto tooLong = [](std::size_t bound) {
    return "REST request failed: Error receiving data: (12152) The server returned an invalid or "
           "unrecognized "
           "response (an answer of more than " +
           std::to_string(bound) + " bytes)";
  };
  const int post = static_cast<int>(kMaxPostAnswer);
  const int list = static_cast<int>(kMaxListAnswer);
  const struct {
    const char* name;
    StandInForcing forcing;
    bool isPost;
    std::string failure;  // empty: answered
  } cases[] = {
      {"a post's answer of 1 MB", {.status = 200, .body = "x", .repeat = post}, true, ""},
      {"a post's answer past 1 MB",
       {.status = 200, .body = "x", .repeat = post + 1},
       true,
       tooLong(kMaxPostAnswer)},
      {"the same in chunks",
       {.status = 200, .body = "x", .repeat = post + 1, .chunked = true},
       true,
       tooLong(kMaxPostAnswer)},
      {"a list past 1 MB", {.status = 200, .body = "x", .repeat = post + 1}, false, ""},
      {"a list past 64 MB", {.status = 200, .body = "x", .repeat = list + 1}, false, tooLong(kMaxListAnswer)},
      {"the same in chunks",
       {.status = 200, .body = "x", .repeat = list + 1, .chunked = true},
       false,
       tooLong(kMaxListAnswer)},
  };
  // The answer's usual time-outs: making and moving 64 MB may keep the line silent for longer than
  // the quick second of the other tests on a loaded machine (or under the sanitizers).
  TVarenta patient{TransportSettings{}};
  useStore(patient, standIn.baseUrl());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    StandInForcing forcing = c.forcing;
    forcing.times = 1;
    standIn.force(forcing);
    try {
      const TVarentaRetornos answer =
          c.isPost ? patient.postEnviarVenda("3", kBatch) : patient.getPromoAceitas();
      EXPECT_EQ(c.failure, "");
      EXPECT_EQ(answer.json_retorno.size(), static_cast<std::size_t>(forcing.repeat));
    } catch (const ERestError& error) {
      EXPECT_EQ(error.message(), c.failure);
    }
  }
}

// However the answer keeps coming, a call ends within its overall bound: a byte every 200 ms keeps
// the line from ever being silent for the answer's time-out.
TEST(VarentaClientCallTimeoutTest, ATrickledAnswerEndsWithinTheCallsBound) {
  StandIn standIn(storeConfig());
  TransportSettings settings = quickTransport();
  settings.callTimeout = std::chrono::milliseconds(2000);
  TVarenta client(settings);
  useStore(client, standIn.baseUrl());
  standIn.force({.status = 200, .body = R"({"idLote":1})", .repeat = 10, .trickleMs = 200, .times = 1});
  try {
    client.postEnviarVenda("3", kBatch);
    ADD_FAILURE() << "an answer of 24 s taken by a call bound to 2 s";
  } catch (const ERestError& error) {
    EXPECT_EQ(error.message(), "REST request failed: Error receiving data: (12002) The operation timed out");
  }
}

// A name the resolver never answers is a name that does not resolve (the cycle then waits for the
// network), and the call ends with its connect time-out instead of waiting for the resolver. Wine
// resolves outside the test program: there the resolver is the one the Windows suite preloads into
// wine (tests/support/silent_dns_preload.cpp), which holds the lookup 30 seconds.
TEST_F(VarentaClientTest, ANameThatNeverResolvesFailsAs12007WithinTheConnectTimeOut) {
#ifdef _WIN32
  if (!preloaded("varenta_silent_dns")) GTEST_SKIP() << "wine runs without the silent resolver in LD_PRELOAD";
  const auto start = std::chrono::steady_clock::now();
#else
  SilentResolver resolver;
#endif
  TransportSettings transport = quickTransport();
  transport.connectTimeout = std::chrono::milliseconds(500);
  TVarenta impatient(transport);
  useStore(impatient, std::string("http://") + SilentResolver::kName);
  try {
    impatient.getPromoAceitas();
    ADD_FAILURE() << "no error";
  } catch (const ERestError& error) {
    EXPECT_EQ(
        error.message(),
        "REST request failed: Error sending data: (12007) The server name or address could not be resolved");
  }
#ifdef _WIN32
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10))
      << "the call waited for the resolver";
#else
  EXPECT_EQ(resolver.waiting(), 1) << "the call waited for the resolver";
#endif
}

#ifdef _WIN32
// WinHTTP bounds resolving a name and connecting each by the connect time-out (and may start the
// connect again for each address); the call promises one bound for both. Here the name takes most
// of it, and the connection is never answered. (libcurl's connect time-out covers both by itself.)
TEST_F(VarentaClientTest, ResolvingAndConnectingTogetherTakeNoLongerThanTheConnectTimeOut) {
  if (!preloaded("varenta_silent_dns")) GTEST_SKIP() << "wine runs without the silent resolver in LD_PRELOAD";
  const UnansweredPort unanswered;
  TransportSettings transport = quickTransport();
  transport.connectTimeout = std::chrono::milliseconds(3000);  // the name alone takes 2.5 s
  TVarenta impatient(transport);
  useStore(impatient,
           std::string("http://") + SilentResolver::kSlowName + ":" + std::to_string(unanswered.port()));
  const auto start = std::chrono::steady_clock::now();
  try {
    impatient.getPromoAceitas();
    ADD_FAILURE() << "no error";
  } catch (const ERestError& error) {
    EXPECT_EQ(error.message(), "REST request failed: Error sending data: (12002) The operation timed out");
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(4500))
      << "resolving and connecting took a time-out each";
}
#endif

TEST_F(VarentaClientTest, NormalisesTheBaseUrlButReportsItAsBuilt) {
  const std::string hostAndPort = "127.0.0.1:" + std::to_string(standIn.port());
  for (const std::string& baseUrl : {" http://" + hostAndPort, hostAndPort, "\t http://" + hostAndPort}) {
    amend(client, [&](ClientContext& c) { c.BaseUrl = baseUrl; });
    const TVarentaRetornos result = client.getSolReenvioCierresDiarios();
    EXPECT_EQ(result.code_retorno, "200") << baseUrl;
    EXPECT_EQ(result.url,
              baseUrl + "/api-minoristas/api/v2/minoristas/12/locales/1/solicitudes/cierresDiarios");
  }
  // A blank inside the concatenation stays, percent-encoded: the cloud sees another path.
  amend(client, [](ClientContext& c) { c.IdLocal = "1 "; });
  EXPECT_EQ(client.getPromoPendentes().code_retorno, "404");
  EXPECT_EQ(standIn.journal().back().path, "/pmkt-rest-api/v2/minoristas/12/locales/1%20/promociones");
}

// The body becomes text by the character set its Content-Type names, UTF-8 when it names none.
TEST_F(VarentaClientTest, ReadsTheAnswerInTheCharacterSetItNames) {
  const struct {
    const char* contentType;
    const char* text;  // sent in that character set, read back as UTF-8
  } cases[] = {
      {"application/json; charset=ISO-8859-1", R"({"descricao":"Promoção Açúcar ½ preço"})"},
      {"application/json; charset=\"iso-8859-1\"", R"({"descricao":"Ótica São João"})"},
      {"text/plain; charset=windows-1252", R"({"descricao":"Café – “especial” € 5,00"})"},
      {"application/json; charset=UTF-8", R"({"descricao":"Łódź → Brașov"})"},
      {"application/json", R"({"descricao":"Pão de queijo"})"},
  };
  for (const auto& c : cases) {
    standIn.force({.status = 200, .body = c.text, .contentType = c.contentType, .times = 1});
    const TVarentaRetornos result = client.getPromoAceitas();
    EXPECT_EQ(result.code_retorno, "200") << c.contentType;
    EXPECT_EQ(result.json_retorno, c.text) << c.contentType;
  }
  // A byte order mark before the answer is not part of it.
  standIn.force({.status = 200, .body = "\xEF\xBB\xBF[{\"id\":1}]", .times = 1});
  EXPECT_EQ(client.getPromoAceitas().json_retorno, R"([{"id":1}])");
}

// The client sends the store's credentials and customers' documents: it only talks to a server
// whose certificate the system (or, in tests, an added CA) vouches for. (Under wine, a server the
// added CA does not vouch for still receives the request: wine goes on sending after the request is
// closed at the moment WinHTTP offers for checking the certificate, which Windows cancels.)
//
// On Windows the failure keeps its text and adds WinHTTP's reason: an unknown root there; wine
// reports every certificate fault as a failed secure channel instead.
TEST(VarentaClientTlsTest, TrustsOnlyVerifiedCertificates) {
  TempDir temp;
  const TestCertificates certificates = makeTestCertificates(temp.dir());
#ifdef _WIN32
  const std::vector<std::string> unknownRoot = {" (the certificate's root is not trusted)",
                                                " (the secure channel failed)"};
#else
  const std::vector<std::string> unknownRoot = {""};
#endif
  const struct {
    std::filesystem::path cert, key, trusted;
    const char* outcome;
  } cases[] = {
      {certificates.serverCert, certificates.serverKey, certificates.caFile, "200"},
      {certificates.serverCert, certificates.serverKey, "", "(12175)"},
      {certificates.selfSignedCert, certificates.selfSignedKey, certificates.caFile, "(12175)"},
  };
  for (const auto& c : cases) {
    StandInConfig config = storeConfig();
    config.certFile = c.cert;
    config.keyFile = c.key;
    StandIn standIn(config);
    TransportSettings transport;  // the usual time-outs, as for the redirects over HTTPS
    if (!c.trusted.empty()) transport.extraTrust = extraTrustIn(c.trusted);
    TVarenta client(transport);
    useStore(client, standIn.baseUrl());
    std::string outcome;
    try {
      outcome = client.getPromoAceitas().code_retorno;
    } catch (const ERestError& error) {
      const std::string base = "REST request failed: Error sending data: (12175) A security error occurred";
      EXPECT_NE(std::find(unknownRoot.begin(), unknownRoot.end(), error.message().substr(base.size())),
                unknownRoot.end())
          << error.message();
      EXPECT_TRUE(error.message().starts_with(base)) << error.message();
      outcome = "(12175)";
    }
    EXPECT_EQ(outcome, c.outcome) << c.cert << " trusted " << c.trusted;
  }
}

}  // namespace
}  // namespace varenta
