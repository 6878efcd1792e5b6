#include "tools/cloud_standin.h"

#include <iconv.h>
#include <rapidjson/document.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iterator>
#include <memory>
#include <regex>
#include <sstream>
#include <thread>
#include <utility>
#include <vector>

#include "api/base64.h"
#include "api/charset.h"
#include "base/error.h"
#include "base/json_writer.h"
#include "tools/document_shape.h"

namespace varenta {
namespace {

constexpr const char* kJson = "application/json; charset=utf-8";

std::string errorDocument(const std::string& code, const std::string& field = "") {
  JsonWriter writer(JsonEscaping::kRawUtf8);
  writer.beginObject().key("errores").beginArray().beginObject().key("error").beginObject();
  writer.key("message").string(code);
  if (!field.empty()) writer.key("campo").string(field);
  writer.endObject().endObject().endArray().endObject();
  return writer.text();
}

std::string repeated(const std::string& text, int times) {
  std::string out;
  out.reserve(text.size() * static_cast<std::size_t>(times));
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

// The body in chunks, its length never announced: 64 KiB at a time, or one byte every `trickleMs`.
void sendChunked(httplib::Response& response, std::string body, const std::string& type, int trickleMs) {
  const auto text = std::make_shared<const std::string>(std::move(body));
  response.set_chunked_content_provider(type, [text, trickleMs](std::size_t offset, httplib::DataSink& sink) {
    if (offset >= text->size()) {
      sink.done();
      return true;
    }
    if (trickleMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(trickleMs));
    const std::size_t length = trickleMs > 0 ? 1 : std::min<std::size_t>(65536, text->size() - offset);
    return sink.write(text->data() + offset, length);
  });
}

void answerError(httplib::Response& response, int status, const std::string& code,
                 const std::string& field = "") {
  response.status = status;
  response.set_content(errorDocument(code, field), kJson);
}

// UTF-8 `text` in the character set `contentType` names (UTF-8 when it names none); throws
// EConvertError when the character set is unknown or cannot hold the text.
std::string encodeFor(const std::string& contentType, const std::string& text) {
  const std::string charset = charsetOf(contentType);
  if (charset.empty()) return text;
  iconv_t cd = iconv_open(charset.c_str(), "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) throw EConvertError("unknown character set " + charset);
  std::string out(text.size() * 4, '\0');
  char* in = const_cast<char*>(text.data());
  std::size_t inLeft = text.size();
  char* at = out.data();
  std::size_t outLeft = out.size();
  const std::size_t result = iconv(cd, &in, &inLeft, &at, &outLeft);
  iconv_close(cd);
  if (result == static_cast<std::size_t>(-1)) throw EConvertError(charset + " cannot hold " + text);
  out.resize(out.size() - outLeft);
  return out;
}

// The cloud's paths: the posts of one register, the resend request lists and the promotion lists.
const std::regex kLotes(
    R"(/api-minoristas/api/v2/minoristas/([^/]*)/locales/([^/]*)/cajas/([^/]*)/(movimientos|cierresDiarios)/lotes)");
const std::regex kSolicitudes(
    R"(/api-minoristas/api/v2/minoristas/([^/]*)/locales/([^/]*)/solicitudes/(movimientos|cierresDiarios))");
const std::regex kPromociones(R"(/pmkt-rest-api/v2/minoristas/([^/]*)/locales/([^/]*)/promociones)");

// httplib files the peer's and its own address and port among the headers, after the ones that came
// on the wire (so each is the last of its name); the journal keeps only what the client sent.
std::vector<std::pair<std::string, std::string>> sentHeaders(const httplib::Headers& headers) {
  std::vector<httplib::Headers::const_iterator> added;
  for (const char* name : {"REMOTE_ADDR", "REMOTE_PORT", "LOCAL_ADDR", "LOCAL_PORT"}) {
    const auto [first, last] = headers.equal_range(name);
    if (first != last) added.push_back(std::prev(last));
  }
  std::vector<std::pair<std::string, std::string>> sent;
  for (auto header = headers.begin(); header != headers.end(); ++header) {
    if (std::find(added.begin(), added.end(), header) == added.end()) sent.emplace_back(*header);
  }
  return sent;
}

// Front servers merge repeated slashes before the cloud sees a path, so "//api-minoristas/..." (a
// base URL written with a trailing slash) reaches the same endpoint as "/api-minoristas/...".
std::string mergedSlashes(const std::string& path) {
  std::string merged;
  merged.reserve(path.size());
  for (char c : path)
    if (c != '/' || merged.empty() || merged.back() != '/') merged += c;
  return merged;
}

// A forced Location, "{target}" standing for the request's own target (path and query as sent).
std::string located(std::string location, const std::string& target) {
  const std::string placeholder = "{target}";
  for (std::size_t at = location.find(placeholder); at != std::string::npos;
       at = location.find(placeholder, at + target.size()))
    location.replace(at, placeholder.size(), target);
  return location;
}

}  // namespace

CloudStandIn::CloudStandIn(StandInConfig config) : config_(std::move(config)), journal_(config_.journalFile) {
  if (config_.certFile.empty()) {
    server_ = std::make_unique<httplib::Server>();
  } else {
    auto tls = std::make_unique<httplib::SSLServer>(config_.certFile.c_str(), config_.keyFile.c_str());
    if (!tls->is_valid()) throw EInOutError("cannot load the certificate " + config_.certFile.string());
    server_ = std::move(tls);
  }
  route();
}

int CloudStandIn::bind(int port) {
  const int bound = port == 0 ? server_->bind_to_any_port("127.0.0.1")
                              : (server_->bind_to_port("127.0.0.1", port) ? port : -1);
  if (bound <= 0) throw EInOutError("cannot listen on 127.0.0.1:" + std::to_string(port));
  return bound;
}

void CloudStandIn::run() {
  server_->listen_after_bind();
}

bool CloudStandIn::running() const {
  return server_->is_running();
}

void CloudStandIn::stop() {
  server_->stop();
}

void CloudStandIn::route() {
  const auto handler = [this](const httplib::Request& request, httplib::Response& response) {
    handle(request, response);
  };
  server_->Get(".*", handler);
  server_->Post(".*", handler);
  server_->Put(".*", handler);
  server_->Patch(".*", handler);
  server_->Delete(".*", handler);
  server_->Options(".*", handler);
}

void CloudStandIn::handle(const httplib::Request& request, httplib::Response& response) {
  const std::size_t question = request.target.find('?');
  const std::string received = request.target.substr(0, question);
  const std::string path = mergedSlashes(received);
  const std::string query = question == std::string::npos ? "" : request.target.substr(question + 1);
  if (path.starts_with("/standin/")) return control(path, request, response);

  const int id =
      journal_.append({request.method, received, query, sentHeaders(request.headers), request.body});
  // The server sends 200 for an answer that names no status.
  if (respond(path, query, request, response))
    journal_.appendStatus(id, response.status == -1 ? 200 : response.status);
}

bool CloudStandIn::respond(const std::string& path, const std::string& query, const httplib::Request& request,
                           httplib::Response& response) {
  StandInForcing forcing;
  if (takeForcing(request.method, path, forcing)) {
    if (forcing.delayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(forcing.delayMs));
    if (forcing.close) {
      // The headers promise a body that never comes: the client sees the connection break.
      response.set_content_provider(64, kJson,
                                    [](std::size_t, std::size_t, httplib::DataSink&) { return false; });
      return false;
    }
    if (forcing.status != 0) {
      response.status = forcing.status;
      if (!forcing.location.empty())
        response.set_header("Location", located(forcing.location, request.target));
      std::string body = forcing.body;
      std::string type = kJson;
      if (!forcing.contentType.empty()) {
        body = encodeFor(forcing.contentType, forcing.body);
        type = forcing.contentType;
      } else if (forcing.body.empty()) {
        body = "<html><body><h1>" + std::to_string(forcing.status) + "</h1></body></html>";
        type = "text/html";
      }
      if (forcing.repeat > 1) body = repeated(body, forcing.repeat);
      if (forcing.chunked || forcing.trickleMs > 0) {
        sendChunked(response, std::move(body), type, forcing.trickleMs);
      } else {
        response.set_content(body, type);
      }
      return true;
    }
  }
  answer(path, query, request, response);
  return true;
}

void CloudStandIn::control(const std::string& path, const httplib::Request& request,
                           httplib::Response& response) {
  std::lock_guard lock(mutex_);
  if (path == "/standin/reset") {
    forcing_active_ = false;
    response.set_content("{}", kJson);
    return;
  }
  rapidjson::Document document;
  document.Parse(request.body.c_str());
  if (path != "/standin/force" || document.HasParseError() || !document.IsObject()) {
    return answerError(response, 400, "CONTROL_INVALIDO");
  }
  const auto integer = [&document](const char* name) {
    return document.HasMember(name) && document[name].IsInt() ? document[name].GetInt() : 0;
  };
  StandInForcing forcing;
  forcing.status = integer("status");
  forcing.delayMs = integer("delayMs");
  forcing.repeat = integer("repeat");
  forcing.trickleMs = integer("trickleMs");
  forcing.chunked =
      document.HasMember("chunked") && document["chunked"].IsBool() && document["chunked"].GetBool();
  forcing.times = integer("times");
  forcing.close = document.HasMember("close") && document["close"].IsBool() && document["close"].GetBool();
  const auto text = [&document](const char* name) {
    return document.HasMember(name) && document[name].IsString() ? document[name].GetString() : "";
  };
  forcing.body = text("body");
  forcing.location = text("location");
  forcing.contentType = text("contentType");
  forcing.method = text("method");
  forcing.pathContains = text("pathContains");
  forcing.forMs = integer("forMs");
  try {
    encodeFor(forcing.contentType, forcing.body);
  } catch (const EConvertError& error) {
    response.status = 400;
    response.set_content(error.message(), "text/plain");
    return;
  }
  forcing_ = forcing;
  forcing_active_ = true;
  forcing_ends_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(forcing.forMs);
  response.set_content("{}", kJson);
}

bool CloudStandIn::takeForcing(const std::string& method, const std::string& path, StandInForcing& forcing) {
  std::lock_guard lock(mutex_);
  if (forcing_active_ && forcing_.forMs > 0 && std::chrono::steady_clock::now() >= forcing_ends_)
    forcing_active_ = false;
  if (!forcing_active_) return false;
  if (!forcing_.method.empty() && method != forcing_.method) return false;
  if (!forcing_.pathContains.empty() && path.find(forcing_.pathContains) == std::string::npos) return false;
  forcing = forcing_;
  if (forcing_.times > 0 && --forcing_.times == 0) forcing_active_ = false;
  return true;
}

void CloudStandIn::answer(const std::string& path, const std::string& query, const httplib::Request& request,
                          httplib::Response& response) {
  if (request.get_header_value("Authorization") !=
      "Basic " + base64Encode(config_.usuario + ":" + config_.senha)) {
    response.status = 401;
    response.set_content(R"({"appErrorCode":"ERROR_LOGIN","message":"Usuario o clave incorrectos"})", kJson);
    return;
  }
  if (!request.has_header("pdv-version") || !request.has_header("backend-version")) {
    return answerError(response, 400, "VERSION_NO_INFORMADA");
  }
  std::smatch match;
  const bool lotes = std::regex_match(path, match, kLotes);
  const bool solicitudes = !lotes && std::regex_match(path, match, kSolicitudes);
  const bool promociones = !lotes && !solicitudes && std::regex_match(path, match, kPromociones);
  if (!lotes && !solicitudes && !promociones) return answerError(response, 404, "RECURSO_NO_ENCONTRADO");
  if (match[1] != config_.empresa || match[2] != config_.local)
    return answerError(response, 404, "LOCAL_NO_ENCONTRADO");
  if (request.method != (lotes ? "POST" : "GET")) return answerError(response, 405, "METODO_NO_PERMITIDO");

  if (lotes) {
    const std::string caja = match[3];
    if (caja.empty() || caja.find_first_not_of("0123456789") != std::string::npos) {
      return answerError(response, 400, "CAJA_INVALIDA");
    }
    return answerPost(match[4], request, response);
  }
  if (solicitudes) {
    return answerFile(match[3] == "movimientos" ? "solicitudes-movimientos.json" : "solicitudes-cierres.json",
                      "[]", response);
  }
  const char* kEmptyPromotions = R"({"results":[],"total":0})";
  if (query.empty()) return answerFile("promociones.json", kEmptyPromotions, response);
  if (query == "estado=ACEPTADA") return answerFile("promociones-aceptadas.json", kEmptyPromotions, response);
  if (query == "estado=RECHAZADA")
    return answerFile("promociones-rechazadas.json", kEmptyPromotions, response);
  answerError(response, 400, "ESTADO_INVALIDO");
}

void CloudStandIn::answerPost(const std::string& kind, const httplib::Request& request,
                              httplib::Response& response) {
  if (request.get_header_value("Content-Type") != "application/json") {
    return answerError(response, 415, "CONTENT_TYPE_INVALIDO");
  }
  const auto fault =
      kind == "movimientos" ? checkMovementBatch(request.body) : checkClosingDocument(request.body);
  if (fault) return answerError(response, 400, fault->code, fault->field);
  long lote = 0;
  {
    std::lock_guard lock(mutex_);
    lote = ++last_lote_;
  }
  response.set_content(R"({"idLote":)" + std::to_string(lote) + "}", kJson);
}

void CloudStandIn::answerFile(const char* name, const char* missing, httplib::Response& response) const {
  std::ifstream in(config_.dataDir / name, std::ios::binary);
  if (!in) return response.set_content(missing, kJson);
  std::ostringstream content;
  content << in.rdbuf();
  response.set_content(content.str(), kJson);
}

}  // namespace varenta
