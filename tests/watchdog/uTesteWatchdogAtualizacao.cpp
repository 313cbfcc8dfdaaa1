// The watchdog around an update: the agent being replaced is not restarted,
// the new copy is followed (or started when it does not come up), a new
// version that keeps failing is rolled back to the newest backup once, and
// one that runs ten minutes is kept and its hand-over record cleared.
#include <gtest/gtest.h>

#include <algorithm>

#include "config/uRepasseAtualizacao.h"
#include "platform/uArquivos.h"
#include "tests/support/uPeTeste.h"
#include "tests/watchdog/uProcessosFalso.h"
#include "watchdog/uWatchdog.h"

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
    const uint32_t id = FProc.Adicionar({FExe, FProc.Agora(), AFim, ACodigo});
    TRepasseAtualizacao p;
    p.Pid = id;
    p.Inicio = FProc.Agora() + 1;  // as the fake tells the process's start
    p.VersaoAnterior = "1.0.115";
    p.VersaoNova = "1.0.117";
    p.Hora = FRelogio.Agora();
    EXPECT_TRUE(TRegistroRepasse::Gravar(FExe, p));
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

  TBaseTemporaria FBase;  // the employee's folder, where the exit record lies
  TPastaTemporaria FPasta;
  std::string FExe;
  TRelogioFalso FRelogio;
  TProcessosFalso FProc;
  std::vector<std::string> FLog;
};

TEST_F(WatchdogAtualizacaoTeste, AgenteEncerradoPeloScriptNaoEReiniciado) {
  // taskkill /F gives exit code 1; the script starts the new copy 5 s later.
  AgenteSubstituido(1000 + 20000, 1);
  TProcessoFalso novoP{FExe, 1000 + 25000, 1000 + 90000, 0};
  novoP.Autorizada = true;
  const uint32_t novo = FProc.Adicionar(novoP);
  EXPECT_EQ(Rodar(), kSaidaNormal);
  EXPECT_TRUE(FProc.TicksInicio.empty()) << "no restart of the agent being replaced";
  EXPECT_TRUE(Registrou("agente substituido pela atualizacao para 1.0.117 (codigo 1)"));
  EXPECT_NE(std::find(FProc.JaAbertos.begin(), FProc.JaAbertos.end(), novo), FProc.JaAbertos.end());
}

TEST_F(WatchdogAtualizacaoTeste, NovaVersaoQueNaoApareceEIniciada) {
  AgenteSubstituido(1000 + 20000, 0);
  FProc.Roteiro = {SaidaDeProposito(60000u)};
  EXPECT_EQ(Rodar(), kSaidaNormal);
  ASSERT_EQ(FProc.TicksInicio.size(), 1u);
  EXPECT_GE(FProc.TicksInicio[0], 1000u + 20000u + 15000u) << "after the tolerance";
  EXPECT_TRUE(Registrou("nova versao nao apareceu apos a atualizacao; iniciando o agente"));
}

// The agent quit for the script before the watchdog it started looked for it.
TEST_F(WatchdogAtualizacaoTeste, AgenteJaSubstituidoAoIniciarSegueANovaVersao) {
  AgenteSubstituido(500, 0);
  FProc.Roteiro = {SaidaDeProposito(60000u)};
  EXPECT_EQ(Rodar(), kSaidaNormal);
  EXPECT_TRUE(Registrou("antes de ser acompanhado; acompanhando a nova versao"));
  EXPECT_FALSE(Registrou("agente nao esta em execucao"));
  ASSERT_EQ(FProc.TicksInicio.size(), 1u) << "the agent is started when no new copy comes up";
}

// Without a hand-over record an absent agent still ends the watchdog.
TEST_F(WatchdogAtualizacaoTeste, AgenteAusenteSemRepasseEncerra) {
  EXPECT_EQ(Rodar(), kSaidaNormal);
  EXPECT_TRUE(Registrou("agente nao esta em execucao; watchdog encerrado"));
  EXPECT_TRUE(FProc.TicksInicio.empty());
}

TEST_F(WatchdogAtualizacaoTeste, TresFalhasRestauramOBackupMaisNovoUmaVez) {
  AgenteSubstituido(1000 + 20000, 0);
  // The new version comes up and ends at once with an error, each time.
  FProc.Adicionar({FExe, 1000 + 24000, 1000 + 24100, 3});
  FProc.Roteiro = {{100, 3}, {100, 3}, SaidaDeProposito(60000u)};
  EXPECT_EQ(Rodar(), kSaidaNormal);
  EXPECT_EQ(FProc.TicksInicio.size(), 3u) << "two restarts, then the restored agent";
  EXPECT_EQ(LerArquivoTeste(FExe), kAnterior);
  EXPECT_EQ(TRegistroRepasse::Revertida(FExe), "1.0.117");
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
  FProc.Roteiro = {{100, 3}, {100, 3}, SaidaDeProposito(60000u)};
  EXPECT_EQ(Rodar(), kSaidaNormal);
  EXPECT_EQ(LerArquivoTeste(FExe), kNova);
  EXPECT_TRUE(Registrou("versao 1.0.117 ja foi revertida uma vez; sem nova reversao"));
}

TEST_F(WatchdogAtualizacaoTeste, FalhasDepoisDeDezMinutosNaoRevertem) {
  AgenteSubstituido(1000 + 20000, 0);
  // Fine for eleven minutes, then crashes three times.
  FProc.Adicionar({FExe, 1000 + 24000, 1000 + 24000 + 11 * 60000u, 3});
  FProc.Roteiro = {{100, 3}, {100, 3}, SaidaDeProposito(60000u)};
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
    TRegistroRepasse::MarcarRevertida(FExe, "");
    GravarArquivoTeste(FExe, kNova);
    if (c.ComAnterior)
      GravarArquivoTeste(Backup("20240301_120000"), kAnterior);
    else
      Arquivos().Apagar(Backup("20240301_120000"));
    GravarArquivoTeste(Backup("20240302_080000"), c.Mais);
    AgenteSubstituido(FProc.Agora() + 1000, 0);
    FProc.Adicionar({FExe, FProc.Agora() + 3000, FProc.Agora() + 3100, 3});
    FProc.Roteiro = {{100, 3}, {100, 3}, SaidaDeProposito(60000u)};
    Rodar();
    if (c.ComAnterior) {
      EXPECT_EQ(LerArquivoTeste(FExe), kAnterior);
      EXPECT_TRUE(Registrou("backup restaurado: Zelvan_backup_20240301_120000.exe"));
    } else {
      EXPECT_EQ(LerArquivoTeste(FExe), kNova);
      EXPECT_TRUE(Registrou("nao ha backup valido da versao 1.0.115 para restaurar"));
      EXPECT_EQ(TRegistroRepasse::Revertida(FExe), "");
    }
  }
}

}  // namespace

// Once the new version has run ten minutes the hand-over is over: its record
// goes (the rollback memory stays), so that the id it names, which the system
// may give to another process, is never taken for the agent being replaced.
TEST_F(WatchdogAtualizacaoTeste, RegistroApagadoQuandoANovaVersaoCompletaDezMinutos) {
  TRegistroRepasse::MarcarRevertida(FExe, "1.0.110");
  AgenteSubstituido(1000 + 20000, 0);
  // Fine for eleven minutes, then it crashes once and is restarted.
  const uint32_t fim = 1000 + 24000 + 11 * 60000u;
  FProc.Adicionar({FExe, 1000 + 24000, fim, 3});
  FProc.Roteiro = {SaidaDeProposito(60000u)};
  bool registroNaQueda = true;
  FProc.AoLerCodigo = [&] {
    TRepasseAtualizacao p;
    if (FProc.Agora() == fim) registroNaQueda = TRegistroRepasse::Ler(FExe, p);
  };
  EXPECT_EQ(Rodar(), kSaidaNormal);
  EXPECT_FALSE(registroNaQueda) << "still there eleven minutes after the hand-over";
  EXPECT_TRUE(
      Registrou("Watchdog: versao 1.0.117 em execucao desde a atualizacao; registro da "
                "atualizacao encerrado"));
  EXPECT_TRUE(Registrou("Watchdog: agente reiniciado apos falha (codigo 3)"));
  EXPECT_EQ(TRegistroRepasse::Revertida(FExe), "1.0.110");
  EXPECT_EQ(LerArquivoTeste(FExe), kNova);
}

// A hand-over record names the process by its id and its start: an agent that
// later got the same id is watched as itself, and its crash restarted.
TEST_F(WatchdogAtualizacaoTeste, RegistroNomeiaOProcessoPeloIdEPeloInicio) {
  const struct {
    const char* Nome;
    uint64_t Inicio;  // in the record; the process started at tick 1000 (reads 1001)
    bool Substituido;
  } casos[] = {
      {"the same process", 1001, true},
      {"the id given to another process", 5, false},
      {"a record without the start (an older agent's)", 0, true},
  };
  for (const auto& c : casos) {
    SCOPED_TRACE(c.Nome);
    TRelogioFalso relogio;
    TProcessosFalso proc(relogio);
    proc.Existentes = {FExe};
    const uint32_t id = proc.Adicionar({FExe, 1000, 1000 + 20000, 1});
    TRepasseAtualizacao p;
    p.Pid = id;
    p.Inicio = c.Inicio;
    p.VersaoAnterior = "1.0.115";
    p.VersaoNova = "1.0.117";
    p.Hora = relogio.Agora();
    ASSERT_TRUE(TRegistroRepasse::Gravar(FExe, p));
    proc.Roteiro = {SaidaDeProposito(60000u)};
    std::vector<std::string> log;
    TWatchdog w(proc, relogio, [&](const std::string& M) { log.push_back(M); });
    EXPECT_EQ(w.Executar({FExe}), kSaidaNormal);
    const bool substituido = std::any_of(log.begin(), log.end(), [](const std::string& L) {
      return L.find("agente substituido pela atualizacao") != std::string::npos;
    });
    EXPECT_EQ(substituido, c.Substituido);
    const bool reiniciado =
        std::find(log.begin(), log.end(), "Watchdog: agente reiniciado apos falha (codigo 1)") !=
        log.end();
    EXPECT_EQ(reiniciado, !c.Substituido);
  }
}

// The restart command right after an update: each copy ends on purpose and the
// next one comes up. Those ends are no failures of the new version, however many.
TEST_F(WatchdogAtualizacaoTeste, SaidasDePropositoNaoContamParaAReversao) {
  AgenteSubstituido(1000 + 20000, 0);
  uint32_t t = 1000 + 24000;
  for (int i = 0; i < 4; ++i, t += 6000) {
    TProcessoFalso copia{FExe, t, t + 5000, 0};
    copia.Autorizada = true;
    FProc.Adicionar(copia);
  }
  EXPECT_EQ(Rodar(), kSaidaNormal);
  EXPECT_TRUE(FProc.TicksInicio.empty());
  EXPECT_EQ(LerArquivoTeste(FExe), kNova);
  EXPECT_FALSE(Registrou("backup restaurado"));
  EXPECT_TRUE(Registrou("agente encerrado normalmente; watchdog encerrado"));
}

// The agent that started the watchdog is gone already: a hand-over record
// explains that only while it is recent, however the clock moved since.
TEST_F(WatchdogAtualizacaoTeste, RegistroVelhoAoIniciarNaoESeguido) {
  constexpr double kMinutoDias = 1.0 / (24 * 60);
  const struct {
    const char* Nome;
    double Minutos;  // the record's time against the clock now
    bool Segue;
  } casos[] = {
      {"nine minutes ago", -9, true},
      {"eleven minutes ago", -11, false},
      {"five minutes ahead (the clock set back a little)", 5, true},
      {"eleven minutes ahead (the clock set back)", 11, false},
  };
  for (const auto& c : casos) {
    SCOPED_TRACE(c.Nome);
    FLog.clear();
    FProc.TicksInicio.clear();
    TRepasseAtualizacao p;
    p.Pid = 4242;  // no such process now
    p.VersaoAnterior = "1.0.115";
    p.VersaoNova = "1.0.117";
    p.Hora = FRelogio.Agora() + c.Minutos * kMinutoDias;
    ASSERT_TRUE(TRegistroRepasse::Gravar(FExe, p));
    FProc.Roteiro = {SaidaDeProposito(60000u)};
    EXPECT_EQ(Rodar(), kSaidaNormal);
    EXPECT_EQ(Registrou("antes de ser acompanhado; acompanhando a nova versao"), c.Segue);
    EXPECT_EQ(Registrou("Watchdog: aviso: agente nao esta em execucao; watchdog encerrado"),
              !c.Segue);
    EXPECT_EQ(FProc.TicksInicio.size(), c.Segue ? 1u : 0u);
  }
}
