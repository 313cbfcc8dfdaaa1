// The warning about a program folder that other users may write, over the
// real access rights of a temporary folder.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>
#include <vector>

#include "platform/uArquivos.h"
#include "platform/uPermissoes.h"
#include "platform/uRegistro.h"
#include "platform/uTexto.h"
#include "services/uPastaPrograma.h"
#include "log/uLogger.h"
#include "tests/support/uTestSupport.h"

namespace {

class TArquivosNoExe : public TArquivosComFalhas {
 public:
  std::string CaminhoExecutavel() override { return Exe; }
  std::string Exe;
};

class PastaProgramaTeste : public ::testing::Test {
 protected:
  void SetUp() override {
    FArquivos.Exe = FPasta / "Zelvan.exe";
    GravarArquivoTeste(FArquivos.Exe, "MZ");
    ASSERT_EQ(chmod(FPasta.Caminho().c_str(), 0700), 0);
    ASSERT_EQ(chmod(FArquivos.Exe.c_str(), 0700), 0);
  }
  // The warnings of every day's log (the clock moves on by days).
  std::vector<std::string> Avisos() const {
    std::vector<std::string> r;
    const std::string logs = FBase.Base() + "logs/";
    for (const TInfoArquivo& a : Arquivos().Listar(logs, "*.log"))
      for (const std::string& l : DividirLinhas(LerArquivoTeste(logs + a.Nome)))
        if (Contem(l, "Aviso de seguranca")) r.push_back(l.substr(22));
    return r;
  }

  TBaseTemporaria FBase;
  TPastaTemporaria FPasta;
  TArquivosNoExe FArquivos;
  SubstituirConcern<IArquivos> FTrocaArquivos{FArquivos};
  TRegistroMemoria FRegistro;
  SubstituirConcern<IRegistro> FTrocaRegistro{FRegistro};
  TRelogioFalso FRelogio{46000.5};
  SubstituirConcern<IRelogio> FTrocaRelogio{FRelogio};
};

TEST_F(PastaProgramaTeste, PastaSoDoUsuarioNaoAvisa) {
  std::vector<std::string> quem;
  EXPECT_FALSE(Permissoes().OutrosPodemEscrever(FPasta.Caminho(), quem));
  TPastaPrograma::AvisarSeCompartilhada();
  EXPECT_TRUE(Avisos().empty());
}

TEST_F(PastaProgramaTeste, PastaQueTodosEscrevemAvisaUmaVezPorDia) {
  ASSERT_EQ(chmod(FPasta.Caminho().c_str(), 0777), 0);
  std::vector<std::string> quem;
  EXPECT_TRUE(Permissoes().OutrosPodemEscrever(FPasta.Caminho(), quem));
  EXPECT_EQ(quem.back(), "todos");

  TPastaPrograma::AvisarSeCompartilhada();
  ASSERT_EQ(Avisos().size(), 1u);
  EXPECT_EQ(Avisos()[0].rfind("Aviso de seguranca: a pasta do agente " + FPasta.Caminho() +
                                  " pode ser alterada por outros usuarios deste computador (",
                              0),
            0u)
      << Avisos()[0];
  EXPECT_TRUE(Contem(Avisos()[0], "todos"));
  FRelogio.Avancar(3 * 3600000);
  TPastaPrograma::AvisarSeCompartilhada();
  EXPECT_EQ(Avisos().size(), 1u) << "once a day";
  FRelogio.Avancar(24 * 3600000);
  TPastaPrograma::AvisarSeCompartilhada();
  EXPECT_EQ(Avisos().size(), 2u) << "and again the next day";
  ASSERT_EQ(chmod(FPasta.Caminho().c_str(), 0700), 0);
}

// Each pass asks; the access rights are read once a day, so a folder shared
// after today's look is warned about the next day.
TEST_F(PastaProgramaTeste, PastaSemAvisoNaoEOlhadaDeNovoNoMesmoDia) {
  TPastaPrograma::AvisarSeCompartilhada();
  ASSERT_EQ(chmod(FPasta.Caminho().c_str(), 0777), 0);
  FRelogio.Avancar(3 * 3600000);
  TPastaPrograma::AvisarSeCompartilhada();
  EXPECT_TRUE(Avisos().empty());
  FRelogio.Avancar(24 * 3600000);
  TPastaPrograma::AvisarSeCompartilhada();
  EXPECT_EQ(Avisos().size(), 1u);
  ASSERT_EQ(chmod(FPasta.Caminho().c_str(), 0700), 0);
}

TEST_F(PastaProgramaTeste, ExecutavelQueOGrupoEscreveAvisa) {
  ASSERT_EQ(chmod(FArquivos.Exe.c_str(), 0770), 0);
  TPastaPrograma::AvisarSeCompartilhada();
  ASSERT_EQ(Avisos().size(), 1u);
  EXPECT_TRUE(Contem(Avisos()[0], "(grupo ")) << Avisos()[0];
}

}  // namespace
