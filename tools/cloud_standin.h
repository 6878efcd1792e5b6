#pragma once
// CloudStandIn: a real HTTP or HTTPS server on loopback that answers the store's requests as the
// cloud would, for one company and store: it checks basic authentication and the shape of posted
// movement batches and closing documents, numbers accepted batches, serves the promotion lists and
// the resend request lists from files, and journals every request it receives. Repeated slashes in
// a path count as one, as front servers merge them; the journal keeps the path as it came.
//
// Files of the data directory (read at every request, so a test may change them between calls):
//   promociones-aceptadas.json   promotions in state ACEPTADA     (missing: {"results":[],"total":0})
//   promociones-rechazadas.json  promotions in state RECHAZADA    (missing: the same)
//   promociones.json             promotions without a state asked (missing: the same)
//   solicitudes-movimientos.json resend requests for movements    (missing: [])
//   solicitudes-cierres.json     resend requests for closings     (missing: [])
//
// Control requests, never journaled: POST /standin/force with a JSON object that changes how the
// next requests are answered, and POST /standin/reset that ends it:
//   {"status":503}            answer with that status (the body "body" when given)
//   {"status":307,"location":"/x"}  the same, with that Location header (a redirect); "{target}" in
//                             it stands for the request's own path and query ("{target}": to itself)
//   {"status":200,"body":"ação","contentType":"text/plain; charset=ISO-8859-1"}  the body in the
//                             character set the content type names, with that Content-Type
//   {"status":200,"body":"[","repeat":N}  with a status: the body N times over
//   {"status":200,...,"chunked":true}      with a status: the length not announced, in chunks
//   {"status":200,...,"trickleMs":N}       with a status: chunked, one byte every N ms
//   {"delayMs":3000}          wait before answering
//   {"close":true}            send the headers, then close the connection in the middle of the body
//   {"times":2}               only for the next two requests (by default until reset)
//   {"forMs":2000}            only for the next two seconds
//   {"method":"POST"}         only requests of that method ("GET": the lists; a probe's HEAD never)
//   {"pathContains":"/cajas/2/"}  only requests whose path holds that text
// A request the filters pass over is answered as usual and does not count towards "times".

#include <httplib.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <string>

#include "tools/request_journal.h"
#include "tools/standin_config.h"

namespace varenta {

class CloudStandIn {
 public:
  // Throws EInOutError when the certificate or key cannot be loaded.
  explicit CloudStandIn(StandInConfig config);

  // Binds 127.0.0.1 on `port` (0: a free port) and answers the port; throws EInOutError on failure.
  int bind(int port);
  // Serves until stop() is called (from any thread).
  void run();
  bool running() const;
  void stop();

 private:
  void route();
  void handle(const httplib::Request& request, httplib::Response& response);
  // Answers a request of the cloud's API; false when the answer is broken off on purpose.
  bool respond(const std::string& path, const std::string& query, const httplib::Request& request,
               httplib::Response& response);
  void control(const std::string& path, const httplib::Request& request, httplib::Response& response);
  bool takeForcing(const std::string& method, const std::string& path, StandInForcing& forcing);
  void answer(const std::string& path, const std::string& query, const httplib::Request& request,
              httplib::Response& response);
  void answerPost(const std::string& kind, const httplib::Request& request, httplib::Response& response);
  void answerFile(const char* name, const char* missing, httplib::Response& response) const;

  StandInConfig config_;
  std::unique_ptr<httplib::Server> server_;
  RequestJournal journal_;
  std::mutex mutex_;
  StandInForcing forcing_;
  bool forcing_active_ = false;
  std::chrono::steady_clock::time_point forcing_ends_{};  // when forMs is set
  long last_lote_ = 0;
};

}  // namespace varenta
