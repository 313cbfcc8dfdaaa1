// The programs as built carry the agent's one version in their version
// resource: the update compares it with the manifest's, the watchdog with the
// version that ran before.
#include <gtest/gtest.h>

#include <string>

#include "config/uVersao.h"
#include "platform/uArquivos.h"
#include "services/uVersaoExe.h"

TEST(VersaoRecurso, ProgramasConstruidosTemAVersaoDoAgente) {
  for (const char* programa : {"Zelvan.exe", "WatchdogAgente.exe"}) {
    SCOPED_TRACE(programa);
    std::string bytes, versao;
    ASSERT_TRUE(Arquivos().LerTudo(PastaDoExecutavel() + programa, bytes)) << "not built";
    ASSERT_TRUE(LerVersaoExecutavel(bytes, versao));
    EXPECT_EQ(versao, std::string(VersaoAgente()) + ".0");
  }
}
