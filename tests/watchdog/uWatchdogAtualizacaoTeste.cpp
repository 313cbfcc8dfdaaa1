// The watchdog around an update: the agent being replaced is not restarted,
// the new copy is followed (or started when it does not come up), and a new
// version that keeps failing is rolled back to the newest backup once.
#include <gtest/gtest.h>

#include <algorithm>

#include "config/uPassagemAtualizacao.h"
#include "platform/uArquivos.h"
#include "tests/support/uPeTeste.h"
#include "tests/watchdog/uProcessosFalso.h"
#include "tools/watchdog/uWatchdog.h"

namespace {

using pe_teste::Executavel;

class WatchdogAtualizacaoTeste : public ::testing::Test {
 protected:
  WatchdogAtualizacaoTeste() : FProc(FRelogio) {
    FExe = FPasta / "Zelvan.exe";
    FProc.Existentes = {FExe};
    GravarArquivoTeste(FExe, kNova);
    GravarArquivoTeste(Backup("20240101_000001"), Executavel(1, 0, 114, 0));
    GravarArquivoTeste(Backup("20240301_120000"), kAnterior);
  }
  std::string Backup(const std::string& ACarimbo) const {
    return FPasta / ("backup" + std::string(1, kSep) + "Zelvan_backup_" + ACarimbo + ".exe");
  }
  const std::string kNova = Executavel(1, 0, 117, 0);
  const std::string kAnterior = Executavel(1, 0, 115, 0, 5000);
  // The agent (process id returned) quits for the script at AFim with ACodigo.
  uint32_t AgenteSubstituido(uint32_t AFim, uint32_t ACodigo) {
    const uint32_t id = FProc.Adicionar({FExe, 0, AFim, ACodigo});
    TPassagemAtualizacao p;
    p.Pid = id;
    p.VersaoAnterior = "1.0.115";
    p.VersaoNova = "1.0.117";
    p.Hora = FRelogio.Agora();
    EXPECT_TRUE(TRegistroPassagem::Gravar(FExe, p));
    return id;
  }
  int Rodar() {
    TWatchdog w(FProc, FRelogio, [this](const std::string& M) { FLog.push_back(M); });
    return w.Executar({FExe});
  }
  bool Registrou(const std::string& ATexto) const {
    return std::any_of(FLog.begin(), FLog.end(),
                       [&](const std::string& L) { return L.find(ATexto) != std::string::npos; });
  }

  TPastaTemporaria FPasta;
  std::string FExe;
  TRelogioFalso FRelogio;
  TProcessosFalso FProc;
  std::vector<std::string> FLog;
};

TEST_F(WatchdogAtualizacaoTeste, AgenteEncerradoPeloScriptNaoEReiniciado) {
  // taskkill /F gives exit code 1; the script starts the new copy 5 s later.
  AgenteSubstituido(1000 + 20000, 1);
  const uint32_t novo = FProc.Adicionar({FExe, 1000 + 25000, 1000 + 90000, 0});
  EXPECT_EQ(Rodar(), kSaidaNormal);
  EXPECT_TRUE(FProc.TicksInicio.empty()) << "no restart of the agent being replaced";
  EXPECT_TRUE(Registrou("agente substituido pela atualizacao para 1.0.117 (codigo 1)"));
  EXPECT_NE(std::find(FProc.JaAbertos.begin(), FProc.JaAbertos.end(), novo), FProc.JaAbertos.end());
}

TEST_F(WatchdogAtualizacaoTeste, NovaVersaoQueNaoApareceEIniciada) {
  AgenteSubstituido(1000 + 20000, 0);
  FProc.Roteiro = {{60000u, 0}};
  EXPECT_EQ(Rodar(), kSaidaNormal);
  ASSERT_EQ(FProc.TicksInicio.size(), 1u);
  EXPECT_GE(FProc.TicksInicio[0], 1000u + 20000u + 15000u) << "after the tolerance";
  EXPECT_TRUE(Registrou("nova versao nao apareceu apos a atualizacao; iniciando o agente"));
}

// The agent quit for the script before the watchdog it started looked for it.
TEST_F(WatchdogAtualizacaoTeste, AgenteJaSubstituidoAoIniciarSegueANovaVersao) {
  AgenteSubstituido(500, 0);
  FProc.Roteiro = {{60000u, 0}};
  EXPECT_EQ(Rodar(), kSaidaNormal);
  EXPECT_TRUE(Registrou("antes de ser acompanhado; acompanhando a nova versao"));
  EXPECT_FALSE(Registrou("agente nao esta em execucao"));
  ASSERT_EQ(FProc.TicksInicio.size(), 1u) << "the agent is started when no new copy comes up";
}

// Without a hand-over record an absent agent still ends the watchdog.
TEST_F(WatchdogAtualizacaoTeste, AgenteAusenteSemPassagemEncerra) {
  EXPECT_EQ(Rodar(), kSaidaNormal);
  EXPECT_TRUE(Registrou("agente nao esta em execucao; watchdog encerrado"));
  EXPECT_TRUE(FProc.TicksInicio.empty());
}

TEST_F(WatchdogAtualizacaoTeste, TresFalhasRestauramOBackupMaisNovoUmaVez) {
  AgenteSubstituido(1000 + 20000, 0);
  // The new version comes up and ends at once with an error, each time.
  FProc.Adicionar({FExe, 1000 + 24000, 1000 + 24100, 3});
  FProc.Roteiro = {{100, 3}, {100, 3}, {60000u, 0}};
  EXPECT_EQ(Rodar(), kSaidaNormal);
  EXPECT_EQ(FProc.TicksInicio.size(), 3u) << "two restarts, then the restored agent";
  EXPECT_EQ(LerArquivoTeste(FExe), kAnterior);
  EXPECT_EQ(TRegistroPassagem::Revertida(FExe), "1.0.117");
  EXPECT_TRUE(
      Registrou("Watchdog: erro: versao 1.0.117 terminou com falha 3 vezes logo apos a "
                "atualizacao; backup restaurado: Zelvan_backup_20240301_120000.exe"));
  EXPECT_TRUE(Registrou("Watchdog: agente restaurado iniciado"));

  // The same version again (published anew, installed by hand): no second rollback.
  FLog.clear();
  FProc.TicksInicio.clear();
  GravarArquivoTeste(FExe, kNova);
  AgenteSubstituido(FProc.Agora() + 1000, 0);
  FProc.Adicionar({FExe, FProc.Agora() + 3000, FProc.Agora() + 3100, 3});
  FProc.Roteiro = {{100, 3}, {100, 3}, {60000u, 0}};
  EXPECT_EQ(Rodar(), kSaidaNormal);
  EXPECT_EQ(LerArquivoTeste(FExe), kNova);
  EXPECT_TRUE(Registrou("versao 1.0.117 ja foi revertida uma vez; sem nova reversao"));
}

TEST_F(WatchdogAtualizacaoTeste, FalhasDepoisDeDezMinutosNaoRevertem) {
  AgenteSubstituido(1000 + 20000, 0);
  // Fine for eleven minutes, then crashes three times.
  FProc.Adicionar({FExe, 1000 + 24000, 1000 + 24000 + 11 * 60000u, 3});
  FProc.Roteiro = {{100, 3}, {100, 3}, {60000u, 0}};
  EXPECT_EQ(Rodar(), kSaidaNormal);
  EXPECT_EQ(LerArquivoTeste(FExe), kNova);
  EXPECT_FALSE(Registrou("backup restaurado"));
}

// The newest file named as a backup is not what ran before (planted, cut
// short, another version): the newest that is goes back, or nothing does.
TEST_F(WatchdogAtualizacaoTeste, SoOBackupDaVersaoAnteriorERestaurado) {
  const struct {
    const char* Nome;
    std::string Mais;  // the newest file under a backup's name
    bool ComAnterior;  // the 1.0.115 backup is there too
  } casos[] = {
      {"another version", Executavel(1, 0, 117, 0), true},
      {"no version resource", Executavel(1, 0, 115, 0, 4096, false), true},
      {"not an executable", "@echo off\r\ncalc.exe\r\n" + std::string(2000, ' '), true},
      {"too short", kAnterior.substr(0, 1000), true},
      {"nothing of the version", Executavel(1, 0, 117, 0), false},
  };
  for (const auto& c : casos) {
    SCOPED_TRACE(c.Nome);
    FLog.clear();
    FProc.TicksInicio.clear();
    TRegistroPassagem::MarcarRevertida(FExe, "");
    GravarArquivoTeste(FExe, kNova);
    if (c.ComAnterior)
      GravarArquivoTeste(Backup("20240301_120000"), kAnterior);
    else
      Arquivos().Apagar(Backup("20240301_120000"));
    GravarArquivoTeste(Backup("20240302_080000"), c.Mais);
    AgenteSubstituido(FProc.Agora() + 1000, 0);
    FProc.Adicionar({FExe, FProc.Agora() + 3000, FProc.Agora() + 3100, 3});
    FProc.Roteiro = {{100, 3}, {100, 3}, {60000u, 0}};
    Rodar();
    if (c.ComAnterior) {
      EXPECT_EQ(LerArquivoTeste(FExe), kAnterior);
      EXPECT_TRUE(Registrou("backup restaurado: Zelvan_backup_20240301_120000.exe"));
    } else {
      EXPECT_EQ(LerArquivoTeste(FExe), kNova);
      EXPECT_TRUE(Registrou("nao ha backup valido da versao 1.0.115 para restaurar"));
      EXPECT_EQ(TRegistroPassagem::Revertida(FExe), "");
    }
  }
}

}  // namespace
