#include "api/verdict.h"

#include <rapidjson/document.h>

#include <exception>
#include <optional>
#include <utility>

#include "base/json_depth.h"
#include "base/text.h"

namespace varenta {
namespace {

constexpr std::pair<std::string_view, std::string_view> kErrorTexts[] = {
    {"ARTICULO_BORRADO", "O artigo foi eliminado"},
    {"ARTICULO_CODIGO_EXTERNO_EN_USO", "O código externo do artigo está em uso"},
    {"ARTICULO_COMBINACION_ALICUOTA_TRIBUTACION_INVALIDA", "Combinação do alíquota e tributação inválida"},
    {"ARTICULO_DESCRIPCION_CARACT_INVALIDO", "A descrição do artigo contém um caractere inválido"},
    {"ARTICULO_DESCRIPCION_INVALIDA", "Descrição do artigo é inválida"},
    {"ARTICULO_ICMS_VTA_INVALIDO", "ICMS do venda para o artigo é inválido"},
    {"ARTICULO_LOCAL_ASOCIADO_NO_EXISTE", "O artigo não foi encontrado no local"},
    {"ARTICULO_LOCAL_NO_EXISTE", "O artigo não foi encontrado no local"},
    {"ARTICULO_NCM_NO_EXISTE", "Não existe o NCM do artigo"},
    {"ARTICULO_NO_ENCONTRADO", "Artigo não encontrado"},
    {"ARTICULO_NO_ES_COMBO", "O artigo não é um combo"},
    {"ARTICULO_ORIGEN_INVALIDO", "A origem do artigo é inválida"},
    {"ARTICULO_ORIGEN_NO_EXISTE", "A origem do artigo não existe"},
    {"ARTICULO_SIN_DESCRIPCION", "Artigo sem descrição"},
    {"ARTICULO_TIPO_PESO_INVALIDO", "O campo tipoPeso do artigo é inválido"},
    {"ARTICULO_TIPO_TRIBUTACION_SALIDA_INVALIDA", "O campo tipoTributoSalida do artigo é inválido"},
    {"ARTICULO_TRIBUTACION_REQUERIDA", "A tributação para o artigo é necessária"},
    {"ERROR_LOGIN", "Usuário e/ou senha inválidos"},
};

constexpr std::string_view kInvalidJson = "Erro: JSON inválido";
constexpr std::string_view kUnknownError = "Erro desconhecido no retorno do JSON";
constexpr std::string_view kProcessingError = "Erro ao processar JSON: ";
constexpr std::string_view kInvalidTypecast = "Invalid class typecast";

using Value = rapidjson::Value;

// A text of the answer that is no text: the reader lets a lone low surrogate escape ("\udc00")
// through as bytes that are not UTF-8.
struct NotText {};

// Numbers are parsed as the text they were written with ("1.50" stays "1.50"), so a member reads as
// text when it is a string or a number; null reads as empty text.
std::optional<std::string> textOf(const Value& object, const char* name) {
  const auto member = object.FindMember(name);  // the first member of that name
  if (member == object.MemberEnd()) return std::nullopt;
  if (member->value.IsNull()) return std::string();
  if (!member->value.IsString()) return std::nullopt;
  std::string text(member->value.GetString(), member->value.GetStringLength());
  if (!isValidUtf8(text)) throw NotText{};
  return text;
}

struct Reading {
  std::string verdict;
  bool logPostedBody = false;  // a validation error: the operator needs the body that was refused
};

Reading read(const Value& root, std::string_view answer) {
  if (!root.IsObject()) return {std::string(kProcessingError) + std::string(kInvalidTypecast)};

  const auto errores = root.FindMember("errores");
  if (errores != root.MemberEnd() && errores->value.IsArray() && !errores->value.Empty()) {
    const Value& first = errores->value[0];
    if (!first.IsObject()) return {std::string(kProcessingError) + std::string(kInvalidTypecast)};
    const auto error = first.FindMember("error");
    if (error != first.MemberEnd() && error->value.IsObject()) {
      if (const auto code = textOf(error->value, "message")) return {errorCodeText(*code), true};
    }
    return {std::string(kUnknownError)};
  }

  if (const auto app = textOf(root, "appErrorCode"); app && *app == "ERROR_LOGIN")
    return {errorCodeText(*app)};
  if (const auto lote = textOf(root, "idLote")) return {"Ok:" + *lote};
  return {std::string(answer)};
}

}  // namespace

std::string errorCodeText(std::string_view code) {
  for (const auto& [known, text] : kErrorTexts) {
    if (known == code) return std::string(text);
  }
  return std::string(code);
}

std::string VerificarErroJSON(std::string_view answer, std::string_view postedBody, ServiceLog& log) {
  if (answer.starts_with(kUtf8ByteOrderMark))
    answer.remove_prefix(kUtf8ByteOrderMark.size());  // a reader may pass over a byte order mark
  // Invalid UTF-8 is not text the answer could have meant, so it counts as not JSON; checked here,
  // since the reader passes some of it (it drops a cut-off byte order mark, "\xEF{}" reads as "{}").
  // The reader also takes a NUL byte for the end of the text, so "{\"idLote\":1}" followed by a NUL
  // and anything at all would pass; JSON never holds a raw NUL byte.
  if (!isValidUtf8(answer) || answer.find('\0') != std::string_view::npos) return std::string(kInvalidJson);
  Reading reading;
  try {
    rapidjson::Document document;
    // Nested too deep, it is not JSON either.
    if (!parseJsonWithinDepth<rapidjson::kParseNumbersAsStringsFlag>(document, answer))
      return std::string(kInvalidJson);
    reading = read(document, answer);
  } catch (const NotText&) {
    return std::string(kInvalidJson);
  } catch (const std::exception& failure) {
    return std::string(kProcessingError) + failure.what();
  }
  if (reading.logPostedBody) log.DoSaveLog(postedBody);
  return reading.verdict;
}

}  // namespace varenta
