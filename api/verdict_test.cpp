#include "api/verdict.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/error.h"
#include "base/json_depth.h"
#include "tests/support/recording_log.h"

namespace varenta {
namespace {

constexpr std::string_view kPosted = R"([{"numero":"15"}])";

struct Case {
  std::string answer;
  std::string verdict;
  bool logsPostedBody;
};

TEST(VerdictTest, TurnsEveryAnswerShapeIntoItsVerdict) {
  const std::vector<Case> cases = {
      {R"({"idLote":"A1B2"})", "Ok:A1B2", false},
      {R"({"idLote":77})", "Ok:77", false},
      {R"({"idLote":1.50})", "Ok:1.50", false},  // a number as written, not as a double
      {R"({"idLote":null})", "Ok:", false},
      {R"({"idLote":true})", R"({"idLote":true})", false},
      {R"({"idLote":"first","idLote":"second"})", "Ok:first", false},
      {R"({"resultado":{"idLote":5}})", R"({"resultado":{"idLote":5}})", false},  // top level only
      {R"({"errores":[{"error":{"message":"ARTICULO_NO_ENCONTRADO"}}]})", "Artigo não encontrado", true},
      {R"({"errores":[{"error":{"message":"ARTICULO_LOCAL_ASOCIADO_NO_EXISTE"}}]})",
       "O artigo não foi encontrado no local", true},
      {R"({"errores":[{"error":{"message":"ARTICULO_TIPO_TRIBUTACION_SALIDA_INVALIDA"}}]})",
       "O campo tipoTributoSalida do artigo é inválido", true},
      {R"({"errores":[{"error":{"message":"CAJA_CERRADA"}}]})", "CAJA_CERRADA", true},
      {R"({"errores":[{"error":{"message":"articulo_borrado"}}]})", "articulo_borrado", true},
      {R"({"errores":[{"error":{"message":42}}]})", "42", true},
      {R"({"errores":[{"error":{"message":"ERROR_LOGIN"}}]})", "Usuário e/ou senha inválidos", true},
      {R"({"errores":[{"error":{"message":"ARTICULO_BORRADO"}},{"error":{"message":"ARTICULO_NO_ES_COMBO"}}]})",
       "O artigo foi eliminado", true},
      {R"({"appErrorCode":"ERROR_LOGIN"})", "Usuário e/ou senha inválidos", false},
      {R"({"appErrorCode":"error_login","idLote":3})", "Ok:3", false},
      {R"({"errores":[{"codigo":"ARTICULO_BORRADO"}]})", "Erro desconhecido no retorno do JSON", false},
      {R"({"errores":[{"error":"ARTICULO_BORRADO"}]})", "Erro desconhecido no retorno do JSON", false},
      {R"({"errores":[{"error":{"message":["ARTICULO_BORRADO"]}}]})", "Erro desconhecido no retorno do JSON",
       false},
      {R"({"errores":[],"idLote":9})", "Ok:9", false},
      {R"({"errores":[],"appErrorCode":"TOKEN_EXPIRADO"})",
       R"({"errores":[],"appErrorCode":"TOKEN_EXPIRADO"})", false},
      {R"({"errores":{"error":{"message":"ARTICULO_BORRADO"}},"idLote":4})", "Ok:4", false},
      {R"({"errores":["ARTICULO_BORRADO"]})", "Erro ao processar JSON: Invalid class typecast", false},
      {R"([{"idLote":"1"},{"idLote":"2"}])", "Erro ao processar JSON: Invalid class typecast", false},
      {"17", "Erro ao processar JSON: Invalid class typecast", false},
      {"null", "Erro ao processar JSON: Invalid class typecast", false},
      {"", "Erro: JSON inválido", false},
      {"   ", "Erro: JSON inválido", false},
      {"<html><body>502 Bad Gateway</body></html>", "Erro: JSON inválido", false},
      {R"({"idLote":"1")", "Erro: JSON inválido", false},
      {R"({"idLote":"1"} trailing)", "Erro: JSON inválido", false},
      {std::string(R"({"idLote":"1"})") + '\0' + "{}", "Erro: JSON inválido", false},
      {"{\"idLote\":\"\xC3\x28\"}", "Erro: JSON inválido", false},   // invalid UTF-8
      {R"({"idLote":"A-12\udc00"})", "Erro: JSON inválido", false},  // a lone surrogate
      {"\xEF{}", "Erro: JSON inválido", false},                      // a cut-off byte order mark
      {R"({"cliente":"Jo\u00e3o"})", R"({"cliente":"Jo\u00e3o"})", false},
  };
  for (const Case& c : cases) {
    RecordingLog log;
    EXPECT_EQ(VerificarErroJSON(c.answer, kPosted, log), c.verdict) << c.answer;
    EXPECT_EQ(log.lines(),
              c.logsPostedBody ? std::vector<std::string>{std::string(kPosted)} : std::vector<std::string>{})
        << c.answer;
  }
}

// Nesting past kMaxJsonDepth containers is refused like any text that is not JSON, so the parse of
// any answer is bounded.
TEST(VerdictTest, SurvivesDeepNestingAndHugeAnswers) {
  RecordingLog log;
  const auto nested = [](int depth) {
    return R"({"a":)" + std::string(depth - 1, '[') + std::string(depth - 1, ']') + "}";
  };
  EXPECT_EQ(VerificarErroJSON(std::string(200000, '['), kPosted, log), "Erro: JSON inválido");
  EXPECT_EQ(VerificarErroJSON(nested(200000), kPosted, log), "Erro: JSON inválido");
  EXPECT_EQ(VerificarErroJSON(nested(kMaxJsonDepth + 1), kPosted, log), "Erro: JSON inválido");
  EXPECT_EQ(VerificarErroJSON(nested(kMaxJsonDepth), kPosted, log), nested(kMaxJsonDepth));

  const std::string lote(8 << 20, '7');
  EXPECT_TRUE(VerificarErroJSON(R"({"idLote":")" + lote + R"("})", kPosted, log) == "Ok:" + lote);
  EXPECT_TRUE(log.lines().empty());
}

// The line with the refused body is the verdict's one side effect; when it cannot be written the
// caller must know, as with any other log line.
TEST(VerdictTest, PassesOnAFailureToWriteThePostedBody) {
  struct BrokenLog : ServiceLog {
    void DoSaveLog(std::string_view) override { throw EInOutError("disk full"); }
  } log;
  EXPECT_THROW(VerificarErroJSON(R"({"errores":[{"error":{"message":"X"}}]})", kPosted, log), EInOutError);
  EXPECT_EQ(VerificarErroJSON(R"({"idLote":1})", kPosted, log), "Ok:1");
}

}  // namespace
}  // namespace varenta
