#pragma once
// TaskFixture: a TaskContext over real parts, for the tests of the cycle's tasks. A throw-away store
// database whose company row points at a cloud stand-in of the fixture's own, loaded into the
// settings as the service loads them; a manual clock, a recording log and a cycle timer of the
// test's own. The cloud client sends through a transport that first runs the test's hook, if any.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "storedb/settings.h"
#include "tasks/task_context.h"
#include "tests/firebird/test_database.h"
#include "tests/standin/standin_launcher.h"
#include "tests/support/manual_clock.h"
#include "tests/support/recording_log.h"

namespace varenta::testing {

// The real transport, after the hook the test may set (to break something while a task posts).
class HookedTransport : public HttpTransport {
 public:
  std::function<void(const HttpRequest&)> beforeSend;

  HttpResponse send(const HttpRequest& request) override {
    if (beforeSend) beforeSend(request);
    return real_->send(request);
  }

 private:
  std::unique_ptr<HttpTransport> real_ = makeHttpTransport(
      {.connectTimeout = std::chrono::seconds(5), .responseTimeout = std::chrono::seconds(10)});
};

class TaskFixture {
 public:
  // The company row: the stand-in's address and credentials, company 12, store 1, start date
  // `dataInicio` (an SQL date literal's text) and a period of 7 seconds for the sale exports.
  explicit TaskFixture(DateTime now, const std::string& dataInicio = "2024-06-01") : clock(now) {
    database.exec(
        "insert into padrao (codigo, cgc, varenta_usuario, varenta_senha, varenta_url1, varenta_idempresa, "
        "varenta_idlocal, varenta_intervalo, varenta_datainicio) values (1, '12.345.678/0001-90', 'varenta', "
        "'varenta', '" +
        standIn.baseUrl() + "', '12', '1', 7, '" + dataInicio + "')");
    db.create();
    database.configure(*db.connection);
    reload();
    log.clear();
  }

  // reloadSettings counts its calls in `reloads`.
  TaskContext context() {
    return {db, settings, cloud, clock, log, timer, [this] {
              ++reloads;
              reload();
            }};
  }

  // GetCredenciaisVarenta as the service runs it: the settings, then the cloud client's context.
  void reload() {
    GetCredenciaisVarenta({db, settings, timer, clock, log});
    cloud.setContext(clientContext(settings));
  }

  // The requests the stand-in received since the last call.
  std::vector<JournalEntry> newRequests() {
    std::vector<JournalEntry> all = standIn.journal();
    std::vector<JournalEntry> fresh(all.begin() + static_cast<std::ptrdiff_t>(seen_), all.end());
    seen_ = all.size();
    return fresh;
  }

  // A column of the company row as the database holds it.
  std::int64_t stored(const std::string& column) {
    Query q(database.connection());
    q.setSql("select " + column + " as v from padrao");
    q.open();
    return q.field("v").asInteger();
  }

  TestDatabase database;
  StandIn standIn;
  StoreDb db;
  VarentaSettings settings;
  ManualClock clock;
  RecordingLog log;
  Timer timer;
  HookedTransport& transport = *new HookedTransport;  // owned by the client below
  TVarenta cloud{std::unique_ptr<HttpTransport>(&transport)};
  int reloads = 0;

 private:
  std::size_t seen_ = 0;
};

}  // namespace varenta::testing
