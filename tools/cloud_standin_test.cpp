#include "tools/cloud_standin.h"

#include <gtest/gtest.h>

#include "api/base64.h"
#include "tests/standin/standin_launcher.h"

namespace varenta {
namespace {

// What the stand-in refuses, and how, for requests the store's client would never make.
TEST(CloudStandInTest, RefusesRequestsOutsideTheCloudsContract) {
  StandIn standIn;
  const httplib::Headers valid = {{"Authorization", "Basic " + base64Encode("varenta:varenta")},
                                  {"pdv-version", "9.0.0"},
                                  {"backend-version", "1.0.0"}};
  const std::string store = "/api-minoristas/api/v2/minoristas/12/locales/1";
  const struct {
    const char* method;
    std::string target;
    httplib::Headers headers;
    const char* contentType;
    int status;
    std::string answer;
  } cases[] = {
      {"GET",
       store + "/solicitudes/movimientos",
       {{"pdv-version", "9.0.0"}, {"backend-version", "1.0.0"}},
       "",
       401,
       R"({"appErrorCode":"ERROR_LOGIN","message":"Usuario o clave incorrectos"})"},
      {"GET",
       store + "/solicitudes/movimientos",
       {valid.begin(), std::next(valid.begin())},
       "",
       400,
       R"({"errores":[{"error":{"message":"VERSION_NO_INFORMADA"}}]})"},
      {"GET", "/api-minoristas/api/v2/minoristas/13/locales/1/solicitudes/movimientos", valid, "", 404,
       R"({"errores":[{"error":{"message":"LOCAL_NO_ENCONTRADO"}}]})"},
      {"GET", store + "/solicitudes/otras", valid, "", 404,
       R"({"errores":[{"error":{"message":"RECURSO_NO_ENCONTRADO"}}]})"},
      {"GET", store + "/cajas/1/movimientos/lotes", valid, "", 405,
       R"({"errores":[{"error":{"message":"METODO_NO_PERMITIDO"}}]})"},
      {"POST", store + "/cajas/A/movimientos/lotes", valid, "application/json", 400,
       R"({"errores":[{"error":{"message":"CAJA_INVALIDA"}}]})"},
      {"POST", store + "/cajas/1/cierresDiarios/lotes", valid, "text/plain", 415,
       R"({"errores":[{"error":{"message":"CONTENT_TYPE_INVALIDO"}}]})"},
      {"POST", store + "/cajas/1/cierresDiarios/lotes", valid, "application/json", 400,
       R"({"errores":[{"error":{"message":"LOTE_INVALIDO"}}]})"},
      {"GET", "/pmkt-rest-api/v2/minoristas/12/locales/1/promociones?estado=PENDIENTE", valid, "", 400,
       R"({"errores":[{"error":{"message":"ESTADO_INVALIDO"}}]})"},
      {"GET", "/pmkt-rest-api/v2/minoristas/12/locales/1/promociones?estado=ACEPTADA", valid, "", 200,
       R"({"results":[],"total":0})"},
  };
  httplib::Client client(standIn.baseUrl());
  for (const auto& c : cases) {
    const auto result = std::string(c.method) == "GET"
                            ? client.Get(c.target, c.headers)
                            : client.Post(c.target, c.headers, "{}", c.contentType);
    ASSERT_TRUE(result) << c.target;
    EXPECT_EQ(result->status, c.status) << c.target;
    EXPECT_EQ(result->body, c.answer) << c.target;
  }
  // Refused requests are journaled too, each with the status it was answered.
  const auto journal = standIn.journal();
  ASSERT_EQ(journal.size(), std::size(cases));
  for (std::size_t i = 0; i < journal.size(); ++i)
    EXPECT_EQ(journal[i].status, cases[i].status) << cases[i].target;

  // A forced answer is journaled with its status; one broken off on purpose has none.
  standIn.force({.status = 503, .times = 1});
  EXPECT_TRUE(client.Get(store + "/solicitudes/movimientos", valid));
  standIn.force({.close = true, .times = 1});
  EXPECT_FALSE(client.Get(store + "/solicitudes/movimientos", valid));
  const auto forced = standIn.journal();
  ASSERT_EQ(forced.size(), std::size(cases) + 2);
  EXPECT_EQ(forced[std::size(cases)].status, 503);
  EXPECT_EQ(forced[std::size(cases) + 1].status, 0);
}

// A base URL written with a trailing slash doubles the first slash of every path; front servers
// merge repeated slashes, and so does the stand-in, while its journal shows what was sent.
TEST(CloudStandInTest, RepeatedSlashesInAPathCountAsOne) {
  StandIn standIn;
  standIn.writeDataFile("solicitudes-movimientos.json", R"([{"fecha":"2024-06-19"}])");
  const httplib::Headers valid = {{"Authorization", "Basic " + base64Encode("varenta:varenta")},
                                  {"pdv-version", "9.0.0"},
                                  {"backend-version", "1.0.0"}};
  const std::string target = "//api-minoristas/api/v2//minoristas/12/locales/1///solicitudes/movimientos";
  httplib::Client client(standIn.baseUrl());
  const auto result = client.Get(target + "?a=1", valid);
  ASSERT_TRUE(result);
  EXPECT_EQ(result->status, 200);
  EXPECT_EQ(result->body, R"([{"fecha":"2024-06-19"}])");
  const auto journal = standIn.journal();
  ASSERT_EQ(journal.size(), 1u);
  EXPECT_EQ(journal[0].path, target);
  EXPECT_EQ(journal[0].query, "a=1");
}

}  // namespace
}  // namespace varenta
