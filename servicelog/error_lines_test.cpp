#include "servicelog/error_lines.h"

#include <gtest/gtest.h>

namespace varenta {
namespace {

TEST(ErrorLines, TellTheServicesFailuresAndRejectedPostsFromTheRest) {
  for (const char* error :
       {"ERRO no Timer: EDatabaseError - connection lost", "Erro: EDatabaseError\r\nMensagem: lost",
        "Erro AtualizaPromo: ERestError\r\nMensagem: x", "Error on parse \"Reenvios\".",
        "Falha na conexão de internet.", "Falha na conexão com o banco de dados do Olvessa",
        "Falha ao tentar recuperar os dados da Varenta do banco do Olvessa",
        "Rede/DNS falhou (12007). Pausando por 15 minutos.",
        "Reenvio: a resposta de movimentos não é JSON: <html>", "[Venda= 101]Usuário e/ou senha inválidos",
        "[CancT= 104]Erro: JSON inválido", "[F.Dia- 05/03/2024]ARTICULO_NO_ENCONTRADO",
        "[REENVIO-VENDA= 7]Venda anterior à data de início da integração: não reenviada"})
    EXPECT_TRUE(recordsAnError(error)) << error;
  for (const char* fine :
       {"Serviço criado", "DB: desconectado -> IniConn", "Entrando em pausa por 15 minutos (internet).",
        "Ajuste na data de inicio Varenta no banco do Olvessa", "[Venda= 101]Ok:77",
        "[F.Parc- 05/03/2024]Ok:8", "[P- 05/03/2024]Ok:Promos Varenta atualizadas com sucesso",
        "[R: 05/03/2024]Renvios enviados com sucesso", "[{\"numero\":\"101\"}]", "", "[Venda= 5"})
    EXPECT_FALSE(recordsAnError(fine)) << fine;
}

TEST(ErrorLines, TheLatestEntriesFirstWithTheLinesTheySpan) {
  const std::string log =
      "fim de uma linha cortada: Erro\r\n"
      "04/03/2024 23:59:59 - ERRO no Timer: EDatabaseError - primeiro\r\n"
      "05/03/2024 08:00:00 - [Venda= 1]Ok:1\r\n"
      "05/03/2024 08:00:10 - [{\"x\":1}]\r\n"
      "05/03/2024 08:00:10 - Erro: EDatabaseError\r\n"
      "Mensagem: lock conflict\r\n"
      "on no wait transaction\r\n"
      "05.03.2024 08.00.20 - Falha na conexão de internet.\r\n"
      "05/03/2024 08:00:30 - Serviço pausado";
  const std::vector<LoggedError> errors = lastErrors(log, 5);
  ASSERT_EQ(errors.size(), 3u);
  EXPECT_EQ(errors[0].timestamp, "05.03.2024 08.00.20");
  EXPECT_EQ(errors[0].message, "Falha na conexão de internet.");
  EXPECT_EQ(errors[1].timestamp, "05/03/2024 08:00:10");
  EXPECT_EQ(errors[1].message, "Erro: EDatabaseError Mensagem: lock conflict on no wait transaction");
  EXPECT_EQ(errors[2].message, "ERRO no Timer: EDatabaseError - primeiro");
  EXPECT_EQ(lastErrors(log, 1).size(), 1u);
  EXPECT_TRUE(lastErrors("", 5).empty());
}

TEST(ErrorLines, OneLineCutsByCharacters) {
  EXPECT_EQ(oneLine("Erro: E\r\nMensagem: a\nb\rc", 100), "Erro: E Mensagem: a b c");
  EXPECT_EQ(oneLine("conexão recusada", 7), "conexão...");
  EXPECT_EQ(oneLine("conexão", 7), "conexão");
}

}  // namespace
}  // namespace varenta
