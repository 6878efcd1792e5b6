#include "api/post_answer.h"

#include <rapidjson/document.h>

#include <charconv>

#include "api/verdict.h"
#include "base/json_depth.h"
#include "base/text.h"

namespace varenta {
namespace {

constexpr std::string_view kLoginError = "ERROR_LOGIN";

bool isText(const rapidjson::Value& value, std::string_view text) {
  return value.IsString() && std::string_view(value.GetString(), value.GetStringLength()) == text;
}

// The cloud's login error, as its own member or as the first of its error list.
bool loginRefused(const rapidjson::Value& root) {
  const auto app = root.FindMember("appErrorCode");
  if (app != root.MemberEnd() && isText(app->value, kLoginError)) return true;
  const auto errores = root.FindMember("errores");
  if (errores == root.MemberEnd() || !errores->value.IsArray() || errores->value.Empty()) return false;
  const rapidjson::Value& first = errores->value[0];
  if (!first.IsObject()) return false;
  const auto error = first.FindMember("error");
  if (error == first.MemberEnd() || !error->value.IsObject()) return false;
  const auto message = error->value.FindMember("message");
  return message != error->value.MemberEnd() && isText(message->value, kLoginError);
}

// False when the body is not JSON. A byte order mark is no content.
bool parseAnswer(std::string_view body, rapidjson::Document& document) {
  if (body.starts_with(kUtf8ByteOrderMark)) body.remove_prefix(kUtf8ByteOrderMark.size());
  constexpr unsigned kFlags = rapidjson::kParseNumbersAsStringsFlag | rapidjson::kParseValidateEncodingFlag;
  return parseJsonWithinDepth<kFlags>(document, body);
}

int statusOf(const TVarentaRetornos& answer) {
  int status = 0;
  const std::string& code = answer.code_retorno;
  std::from_chars(code.data(), code.data() + code.size(), status);
  return status;
}

constexpr int kTooLarge = 413;

}  // namespace

bool cloudJudged(const TVarentaRetornos& answer) {
  const int status = statusOf(answer);
  if (status >= 300 && status < 400) return false;  // points elsewhere: says nothing of the document
  switch (status) {
    case 401:
    case 403:
    case 404:  // a store or company number set wrong: the cloud's own errors document says so, not
    case 405:  // what it thinks of the document
    case 407:
    case 408:
    case 429:
      return false;
    case kTooLarge:  // from the cloud or a front before it: in this form the document never passes
      return true;
    default:
      break;
  }
  rapidjson::Document document;
  if (!parseAnswer(answer.json_retorno, document)) return false;
  return !document.IsObject() || !loginRefused(document);
}

void requireCloudList(const TVarentaRetornos& answer) {
  const int status = statusOf(answer);
  rapidjson::Document document;
  const bool refused =
      parseAnswer(answer.json_retorno, document) && document.IsObject() && loginRefused(document);
  if (status >= 200 && status < 300 && !refused) return;
  throw ENotAList("HTTP " + answer.code_retorno + " from " + answer.url +
                  (refused ? ", the login refused" : "") +
                  ", is not the cloud's list; asked again later: " + answerExcerpt(answer.json_retorno));
}

void logPostVerdict(ServiceLog& log, std::string_view marker, const TVarentaRetornos& answer,
                    std::string_view postedBody) {
  LogOrReport lines(log);
  lines.DoSaveLog(std::string(marker) + VerificarErroJSON(answer.json_retorno, postedBody, lines));
  if (statusOf(answer) == kTooLarge)
    lines.DoSaveLog(std::string(marker) + "Documento grande demais para a nuvem (HTTP 413): " +
                    std::to_string(postedBody.size()) + " bytes; não será enviado de novo");
  if (!cloudJudged(answer))
    throw ENotJudged("HTTP " + answer.code_retorno + " from " + answer.url +
                     ": the cloud did not judge the document; it stays waiting");
}

}  // namespace varenta
