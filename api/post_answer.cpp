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

bool hasErrorList(const rapidjson::Value& root) {
  const auto errores = root.FindMember("errores");
  return errores != root.MemberEnd() && errores->value.IsArray();
}

}  // namespace

bool cloudJudged(const TVarentaRetornos& answer) {
  int status = 0;
  const std::string& code = answer.code_retorno;
  std::from_chars(code.data(), code.data() + code.size(), status);
  switch (status) {
    case 401:
    case 403:
    case 407:
    case 408:
    case 429:
      return false;
    default:
      break;
  }
  std::string_view body = answer.json_retorno;
  if (body.starts_with(kUtf8ByteOrderMark))
    body.remove_prefix(kUtf8ByteOrderMark.size());  // a byte order mark is no content
  rapidjson::Document document;
  constexpr unsigned kFlags = rapidjson::kParseNumbersAsStringsFlag | rapidjson::kParseValidateEncodingFlag;
  if (!parseJsonWithinDepth<kFlags>(document, body)) return false;
  if (!document.IsObject()) return status != 404 && status != 405;
  if (loginRefused(document)) return false;
  if (status == 404 || status == 405) return hasErrorList(document);
  return true;
}

void logPostVerdict(ServiceLog& log, std::string_view marker, const TVarentaRetornos& answer,
                    std::string_view postedBody) {
  LogOrReport lines(log);
  lines.DoSaveLog(std::string(marker) + VerificarErroJSON(answer.json_retorno, postedBody, lines));
  if (!cloudJudged(answer))
    throw ENotJudged("HTTP " + answer.code_retorno + " from " + answer.url +
                     ": the cloud did not judge the document; it stays waiting");
}

}  // namespace varenta
