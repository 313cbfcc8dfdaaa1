// The memory of the last "reiniciar": how near the remembered time must be to
// stop the same command, the clock set back included.
#include <gtest/gtest.h>

#include "config/uConfigINI.h"
#include "platform/uDataHora.h"
#include "services/uAgentCommandsPro.h"
#include "tests/support/uTestSupport.h"

namespace {

TEST(GuardaReinicio, DezMinutosParaOsDoisLadosDoRelogio) {
  TBaseTemporaria base;
  constexpr double kMinuto = 1.0 / (24 * 60);
  const TDateTime agora = CodificarDataHora({2024, 5, 10, 14, 30, 0, 0});
  const struct {
    const char* Nome;
    double Minutos;  // the remembered restart against the clock now
    bool Recente;
  } casos[] = {
      {"nine minutes ago", -9, true},
      {"eleven minutes ago", -11, false},
      // The clock was set back after the restart: the remembered time lies ahead.
      {"five minutes ahead", 5, true},
      {"a day ahead", 24 * 60, false},
  };
  for (const auto& c : casos) {
    SCOPED_TRACE(c.Nome);
    TConfigINI::EscreverTexto("COMANDOS_REMOTOS", "REINICIAR_ID", "77");
    TConfigINI::EscreverTexto("COMANDOS_REMOTOS", "REINICIAR_HORA",
                              FormatarDataHora("yyyy-mm-dd hh:nn:ss", agora + c.Minutos * kMinuto));
    EXPECT_EQ(TAgentCommandsPro::ReinicioRecente(77, agora), c.Recente);
    EXPECT_FALSE(TAgentCommandsPro::ReinicioRecente(78, agora)) << "another command";
  }
}

}  // namespace
