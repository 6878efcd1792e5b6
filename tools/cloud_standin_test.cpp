#include "tools/cloud_standin.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "api/base64.h"
#include "tests/standin/standin_launcher.h"
#include "tests/support/temp_dir.h"
#include "tools/request_journal.h"

namespace varenta {
namespace {

// What the store's client sends with every request: its credentials and versions.
httplib::Headers validHeaders() {
  return {{"Authorization", "Basic " + base64Encode("varenta:varenta")},
          {"pdv-version", "9.0.0"},
          {"backend-version", "1.0.0"}};
}

// What the stand-in refuses, and how, for requests the store's client would never make.
TEST(CloudStandInTest, RefusesRequestsOutsideTheCloudsContract) {
  StandIn standIn;
  const httplib::Headers valid = validHeaders();
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

// A forcing may take only the posts, only the lists, or only the paths holding a text, for a number
// of answers or for a while; the requests it passes over are answered as usual and not counted.
// A cloud set up for another store answers every post 404 with its errors document; a front that
// moved answers posts 301 to their own address, where a GET finds no such method.
TEST(CloudStandInTest, AForcingTakesOnlyTheRequestsItNames) {
  StandIn standIn;
  const httplib::Headers valid = validHeaders();
  const std::string store = "/api-minoristas/api/v2/minoristas/12/locales/1";
  const std::string list = store + "/solicitudes/movimientos";
  const std::string post1 = store + "/cajas/1/movimientos/lotes";
  const std::string post2 = store + "/cajas/2/movimientos/lotes";
  const std::string notFound = R"({"errores":[{"error":{"message":"LOCAL_NO_ENCONTRADO"}}]})";
  const std::string login = R"({"appErrorCode":"ERROR_LOGIN"})";
  const std::string invalid = R"({"errores":[{"error":{"message":"LOTE_INVALIDO"}}]})";
  httplib::Client client(standIn.baseUrl());
  struct Call {
    const char* method;
    std::string target;
    int status;
    std::string answer;
  };
  const struct {
    StandInForcing forcing;
    std::vector<Call> calls;
  } cases[] = {
      {{.status = 404, .body = notFound, .times = 2, .method = "POST"},
       {{"GET", list, 200, "[]"},
        {"POST", post1, 404, notFound},
        {"GET", list, 200, "[]"},
        {"POST", post2, 404, notFound},
        {"POST", post1, 400, invalid}}},
      {{.status = 401, .body = login, .method = "GET"},
       {{"POST", post1, 400, invalid}, {"GET", list, 401, login}, {"GET", list, 401, login}}},
      {{.status = 413,
        .body = "<html>too large</html>",
        .contentType = "text/html",
        .pathContains = "/cajas/2/"},
       {{"POST", post1, 400, invalid},
        {"POST", post2, 413, "<html>too large</html>"},
        {"GET", list, 200, "[]"}}},
      {{.status = 301, .location = "{target}", .method = "POST"},
       {{"POST", post1 + "?x=1", 301, "<html><body><h1>301</h1></body></html>"},
        {"GET", post1, 405, R"({"errores":[{"error":{"message":"METODO_NO_PERMITIDO"}}]})"}}},
  };
  for (const auto& c : cases) {
    standIn.force(c.forcing);
    for (const Call& call : c.calls) {
      const auto result = std::string(call.method) == "GET"
                              ? client.Get(call.target, valid)
                              : client.Post(call.target, valid, "{}", "application/json");
      ASSERT_TRUE(result) << call.target;
      EXPECT_EQ(result->status, call.status) << call.method << " " << call.target;
      EXPECT_EQ(result->body, call.answer) << call.method << " " << call.target;
      if (call.status == 301) {
        EXPECT_EQ(result->get_header_value("Location"), call.target);
      }
    }
    standIn.reset();
  }

  // For a while: answered as forced until the time is up, however many requests came.
  standIn.force({.status = 503, .forMs = 1500});
  for (int i = 0; i < 3; ++i) EXPECT_EQ(client.Get(list, valid)->status, 503);
  std::this_thread::sleep_for(std::chrono::milliseconds(1600));
  EXPECT_EQ(client.Get(list, valid)->status, 200);
}

// A base URL written with a trailing slash doubles the first slash of every path; front servers
// merge repeated slashes, and so does the stand-in, while its journal shows what was sent.
TEST(CloudStandInTest, RepeatedSlashesInAPathCountAsOne) {
  StandIn standIn;
  standIn.writeDataFile("solicitudes-movimientos.json", R"([{"fecha":"2024-06-19"}])");
  const httplib::Headers valid = validHeaders();
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

// A test reads the journal while the stand-in writes it: a long entry goes out in several writes,
// and a reader may find its line begun but not ended. That line is no entry yet, not a fault.
TEST(CloudStandInTest, AJournalLineStillBeingWrittenIsNoEntryYet) {
  TempDir dir("varenta-journal");
  const std::filesystem::path file = std::filesystem::path(dir.path()) / "journal.jsonl";
  RequestJournal journal(file);
  journal.appendStatus(journal.append({"POST", "/a", "", {{"Accept", "*/*"}}, "{}"}), 200);
  const std::string second = R"({"id":2,"method":"GET","path":"/b","query":"","headers":[],"body":""})";
  std::ofstream(file, std::ios::app | std::ios::binary) << second.substr(0, 20);
  ASSERT_EQ(readJournal(file).size(), 1u);
  EXPECT_EQ(readJournal(file)[0].status, 200);
  std::ofstream(file, std::ios::app | std::ios::binary) << second.substr(20) << "\n";
  const auto entries = readJournal(file);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[1].path, "/b");
}

}  // namespace
}  // namespace varenta
