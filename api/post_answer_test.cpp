#include "api/post_answer.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "base/json_depth.h"
#include "tests/support/recording_log.h"

namespace varenta {
namespace {

constexpr std::string_view kLogin = R"({"appErrorCode":"ERROR_LOGIN","message":"Unauthorized"})";
constexpr std::string_view kLote = R"({"idLote":"77"})";
constexpr std::string_view kRefused = R"({"errores":[{"error":{"message":"ARTICULO_NO_ENCONTRADO"}}]})";

TEST(PostAnswerTest, OnlyTheCloudsJudgementOfTheDocumentCounts) {
  const struct {
    std::string status;
    std::string body;
    bool judged;
  } cases[] = {
      {"200", std::string(kLote), true},
      {"200", "\xEF\xBB\xBF" + std::string(kLote), true},  // a byte order mark before it
      {"400", std::string(kRefused), true},                // refused for its content: judged
      {"422", R"({"algo":"inesperado"})", true},
      {"200", "[1,2]", true},
      {"401", std::string(kLogin), false},
      {"200", std::string(kLogin), false},
      {"400", R"({"errores":[{"error":{"message":"ERROR_LOGIN"}}]})", false},
      {"403", R"({"errores":[]})", false},
      {"407", "<html>Proxy Authentication Required</html>", false},
      {"408", "", false},
      {"429", R"({"errores":[]})", false},
      {"404", "<html>Not Found</html>", false},
      {"404", R"({"timestamp":1,"status":404})", false},
      // A store or company number set wrong: the cloud's own errors document, no verdict on the post.
      {"404", R"({"errores":[{"error":{"message":"LOCAL_NO_ENCONTRADO"}}]})", false},
      {"405", "", false},
      {"405", R"({"errores":[{"error":{"message":"METODO"}}]})", false},
      // Too large for the cloud or a front: it never passes in this form, whatever the body says.
      {"413", "<html>Request Entity Too Large</html>", true},
      {"413", "", true},
      {"301", std::string(kLote), false},  // a redirect not followed is no answer of the cloud's
      {"304", "", false},
      {"200", "<html><body>Portal de acesso</body></html>", false},  // a captive portal
      {"200", "", false},
      {"200", "{\"idLote\":\"\xC3\"}", false},          // not UTF-8: not text the cloud wrote
      {"200", std::string(kLote) + '\0' + "x", false},  // JSON never holds a raw NUL
      {"200", "\xEF" + std::string(kLote), false},      // nor a piece of a byte order mark
      // Nested beyond what is read: not JSON.
      {"200", "[" + std::string(kMaxJsonDepth, '[') + "]" + std::string(kMaxJsonDepth, ']'), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.status + " " + c.body);
    EXPECT_EQ(cloudJudged({"http://cloud/x", c.status, c.body}), c.judged);
  }
}

class FailingLog : public ServiceLog {
 public:
  void DoSaveLog(std::string_view) override { throw std::runtime_error("disk full"); }
};

TEST(PostAnswerTest, TheVerdictLineIsWrittenBeforeAnAnswerNotJudgedEndsTheTask) {
  RecordingLog log;
  logPostVerdict(log, "[Venda= 15]", {"u", "200", std::string(kLote)}, "[{}]");
  logPostVerdict(log, "[Venda= 16]", {"u", "400", std::string(kRefused)}, "[{\"numero\":\"16\"}]");
  EXPECT_THROW(logPostVerdict(log, "[Venda= 17]", {"u", "401", std::string(kLogin)}, "[{}]"), ENotJudged);
  EXPECT_THROW(logPostVerdict(log, "[Venda= 18]", {"u", "200", "<html/>"}, "[{}]"), ENotJudged);
  EXPECT_NO_THROW(logPostVerdict(log, "[Venda= 19]", {"u", "413", "<html/>"}, "[{\"numero\":\"19\"}]"));
  EXPECT_EQ(
      log.lines(),
      (std::vector<std::string>{
          "[Venda= 15]Ok:77", "[{\"numero\":\"16\"}]", "[Venda= 16]Artigo não encontrado",
          "[Venda= 17]Usuário e/ou senha inválidos", "[Venda= 18]Erro: JSON inválido",
          "[Venda= 19]Erro: JSON inválido",
          "[Venda= 19]Documento grande demais para a nuvem (HTTP 413): 17 bytes; não será enviado de novo"}));

  // A log that cannot be written does not undo a judged post: the lines go to standard error.
  FailingLog broken;
  testing::internal::CaptureStderr();
  EXPECT_NO_THROW(logPostVerdict(broken, "[Venda= 19]", {"u", "400", std::string(kRefused)}, "[19]"));
  EXPECT_THROW(logPostVerdict(broken, "[Venda= 20]", {"u", "401", std::string(kLogin)}, "[20]"), ENotJudged);
  const std::string stderrText = testing::internal::GetCapturedStderr();
  EXPECT_NE(stderrText.find("lost log line \"[19]\": std::runtime_error - disk full"), std::string::npos)
      << stderrText;
  EXPECT_NE(stderrText.find("lost log line \"[Venda= 19]Artigo não encontrado\""), std::string::npos);
  EXPECT_NE(stderrText.find("lost log line \"[Venda= 20]Usuário e/ou senha inválidos\""), std::string::npos);
}

}  // namespace
}  // namespace varenta
