// The watchdog around an update: the agent being replaced is not restarted,
// the new copy is followed (or started when it does not come up), and a new
// version that keeps failing is rolled back to the newest backup once.
#include <gtest/gtest.h>

#include <algorithm>

#include "config/uPassagemAtualizacao.h"
#include "platform/uArquivos.h"
#include "tests/watchdog/uProcessosFalso.h"
#include "tools/watchdog/uWatchdog.h"

namespace {

class WatchdogAtualizacaoTeste : public ::testing::Test {
 protected:
  WatchdogAtualizacaoTeste() : FProc(FRelogio) {
    FExe = FPasta / "Zelvan.exe";
    FProc.Existentes = {FExe};
    GravarArquivoTeste(FExe, "MZ nova versao 1.0.117");
    GravarArquivoTeste(
        FPasta / ("backup" + std::string(1, kSep) + "Zelvan_backup_20240101_000001.exe"),
        "MZ velha");
    GravarArquivoTeste(
        FPasta / ("backup" + std::string(1, kSep) + "Zelvan_backup_20240301_120000.exe"),
        "MZ 1.0.115");
  }
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
  EXPECT_EQ(LerArquivoTeste(FExe), "MZ 1.0.115");
  EXPECT_EQ(TRegistroPassagem::Revertida(FExe), "1.0.117");
  EXPECT_TRUE(
      Registrou("Watchdog: erro: versao 1.0.117 terminou com falha 3 vezes logo apos a "
                "atualizacao; backup restaurado: Zelvan_backup_20240301_120000.exe"));
  EXPECT_TRUE(Registrou("Watchdog: agente restaurado iniciado"));

  // The same version again (published anew, installed by hand): no second rollback.
  FLog.clear();
  FProc.TicksInicio.clear();
  GravarArquivoTeste(FExe, "MZ nova versao 1.0.117");
  AgenteSubstituido(FProc.Agora() + 1000, 0);
  FProc.Adicionar({FExe, FProc.Agora() + 3000, FProc.Agora() + 3100, 3});
  FProc.Roteiro = {{100, 3}, {100, 3}, {60000u, 0}};
  EXPECT_EQ(Rodar(), kSaidaNormal);
  EXPECT_EQ(LerArquivoTeste(FExe), "MZ nova versao 1.0.117");
  EXPECT_TRUE(Registrou("versao 1.0.117 ja foi revertida uma vez; sem nova reversao"));
}

TEST_F(WatchdogAtualizacaoTeste, FalhasDepoisDeDezMinutosNaoRevertem) {
  AgenteSubstituido(1000 + 20000, 0);
  // Fine for eleven minutes, then crashes three times.
  FProc.Adicionar({FExe, 1000 + 24000, 1000 + 24000 + 11 * 60000u, 3});
  FProc.Roteiro = {{100, 3}, {100, 3}, {60000u, 0}};
  EXPECT_EQ(Rodar(), kSaidaNormal);
  EXPECT_EQ(LerArquivoTeste(FExe), "MZ nova versao 1.0.117");
  EXPECT_FALSE(Registrou("backup restaurado"));
}

}  // namespace
