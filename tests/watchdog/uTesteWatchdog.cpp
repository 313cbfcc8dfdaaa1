// The watchdog's policy driven by a fake process table and a fake clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "config/uSaidaAutorizada.h"
#include "log/uLogger.h"
#include "tests/watchdog/uProcessosFalso.h"
#include "watchdog/uWatchdog.h"

namespace {

const std::string kAgente = "C:\\Program Files\\Vesk\\Zelvan.exe";
constexpr uint32_t kMinuto = 60000;

class WatchdogTeste : public ::testing::Test {
 protected:
  WatchdogTeste() : FProc(FRelogio) { FProc.Existentes = {kAgente, FProc.ProprioCaminho}; }
  void TearDown() override { EXPECT_TRUE(FProc.Abertos.empty()) << "handle left open"; }

  uint32_t T0() const { return 1000; }  // the fake clock's first tick
  // An agent already running when the watchdog starts, ending at AFim with
  // ACodigo, on purpose (its exit record written) or not.
  uint32_t AgenteInicial(uint32_t AFim = kSempre, uint32_t ACodigo = 0, bool AAutorizada = false) {
    TProcessoFalso p{kAgente, 0, AFim, ACodigo};
    p.Autorizada = AAutorizada;
    return FProc.Adicionar(p);
  }
  int Rodar(std::vector<std::string> AArgs = {kAgente}) {
    TWatchdog w(FProc, FRelogio, [this](const std::string& M) { FLog.push_back(M); });
    return w.Executar(AArgs);
  }
  bool Registrou(const std::string& ATexto) const {
    return std::any_of(FLog.begin(), FLog.end(),
                       [&](const std::string& L) { return L.find(ATexto) != std::string::npos; });
  }
  int Contar(const std::string& ATexto) const {
    return static_cast<int>(std::count_if(FLog.begin(), FLog.end(), [&](const std::string& L) {
      return L.find(ATexto) != std::string::npos;
    }));
  }

  TBaseTemporaria FBase;  // the employee's folder, where the exit record lies
  TRelogioFalso FRelogio;
  TProcessosFalso FProc;
  std::vector<std::string> FLog;
};

TProcessoFalso Autorizado(TProcessoFalso AP) {
  AP.Autorizada = true;
  return AP;
}

TEST_F(WatchdogTeste, RestartsEveryEndWithoutTheAgentsExitRecord) {
  struct Caso {
    uint32_t Codigo;
    bool Legivel;
    bool Autorizada;  // the agent wrote its exit record before it ended
    bool Reinicia;
    const char* Texto;
  };
  const Caso casos[] = {
      {1, true, false, true, "(codigo 1)"},  // TerminateProcess(h, 1), taskkill /F
      {0xC0000005u, true, false, true, "(codigo 3221225477)"},  // access violation
      {0, false, false, true, "(codigo 4294967295)"},           // unreadable
      // Wine ends a program that overflowed its stack with code 0.
      {0, true, false, true, "(codigo 0)"},
      {0, true, true, false, nullptr},
      {1, true, true, false, nullptr},  // ended on purpose, whatever it returned
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(std::to_string(c.Codigo) + (c.Autorizada ? " with record" : ""));
    TBaseTemporaria base;
    TRelogioFalso relogio;
    TProcessosFalso proc(relogio);
    proc.Existentes = {kAgente};
    int leituras = 0;  // only the first exit is unreadable
    proc.AoLerCodigo = [&] { proc.CodigoLegivel = c.Legivel || leituras++ > 0; };
    TProcessoFalso agente{kAgente, 0, 1000 + 30000, c.Codigo};
    agente.Autorizada = c.Autorizada;
    proc.Adicionar(agente);
    proc.Roteiro = {SaidaDeProposito(kMinuto)};
    std::vector<std::string> log;
    TWatchdog w(proc, relogio, [&](const std::string& M) { log.push_back(M); });
    EXPECT_EQ(w.Executar({kAgente}), kSaidaNormal);
    if (c.Reinicia) {
      ASSERT_EQ(proc.TicksInicio.size(), 1u);
      // The new copy starts exactly after the 5-second pause, from the same path.
      EXPECT_EQ(proc.TicksInicio[0], 1000u + 30000u + 5000u);
      EXPECT_EQ(proc.CaminhosIniciados[0], kAgente);
      EXPECT_NE(std::find(log.begin(), log.end(),
                          std::string("Watchdog: agente reiniciado apos falha ") + c.Texto),
                log.end());
    } else {
      EXPECT_TRUE(proc.TicksInicio.empty());
      EXPECT_NE(std::find(log.begin(), log.end(),
                          "Watchdog: agente encerrado normalmente; watchdog encerrado"),
                log.end());
    }
    // A crash is never reported as a deliberate end.
    EXPECT_EQ(std::count(log.begin(), log.end(),
                         "Watchdog: agente encerrado normalmente; watchdog encerrado"),
              1);
    EXPECT_TRUE(proc.Abertos.empty());
  }
}

// The record names one process: by its id and start, or, when the start cannot
// be read, by its id written moments before the end. A record left by an
// earlier process under the same id is no deliberate end of this one.
TEST_F(WatchdogTeste, ExitRecordMustNameTheProcessThatEnded) {
  constexpr double kMinutoDias = 1.0 / (24 * 60);
  struct Caso {
    const char* Nome;
    int32_t OutroPid;    // added to the ended process's id
    uint64_t Inicio;     // 0: the process's own start
    double Idade;        // minutes between the record and the end
    bool InicioLegivel;  // whether the watchdog can read the start
    bool Reinicia;
  };
  const Caso casos[] = {
      {"its own", 0, 0, 0, true, false},
      {"its own, written long before", 0, 0, 30, true, false},
      {"same id, another start", 0, 777, 0, true, true},
      {"another id", 1, 0, 0, true, true},
      {"start unknown, written just now", 0, 0, 0.5, false, false},
      {"start unknown, written long ago", 0, 0, 3, false, true},
      {"start unknown, written ahead of the clock", 0, 0, -3, false, true},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.Nome);
    TBaseTemporaria base;
    TRelogioFalso relogio;
    TProcessosFalso proc(relogio);
    proc.Existentes = {kAgente};
    proc.InicioLegivel = c.InicioLegivel;
    const uint32_t fim = 1000 + 30000;
    const uint32_t id = proc.Adicionar({kAgente, 0, fim, 0});
    proc.AoLerCodigo = [&] {
      if (proc.TicksInicio.empty())
        TSaidaAutorizada::Gravar(id + c.OutroPid, c.Inicio != 0 ? c.Inicio : 1,
                                 relogio.Agora() - c.Idade * kMinutoDias);
    };
    proc.Roteiro = {SaidaDeProposito(kMinuto)};
    TWatchdog w(proc, relogio, [](const std::string&) {});
    EXPECT_EQ(w.Executar({kAgente}), kSaidaNormal);
    EXPECT_EQ(proc.TicksInicio.size(), c.Reinicia ? 1u : 0u);
  }
}

// A record that was taken for an end is used up: it cannot vouch twice.
TEST_F(WatchdogTeste, ExitRecordIsUsedOnce) {
  const uint32_t id = AgenteInicial(T0() + 10000, 0, true);
  EXPECT_EQ(Rodar(), kSaidaNormal);
  EXPECT_FALSE(TSaidaAutorizada::Confere(id, 1, FRelogio.Agora()));
}

TEST_F(WatchdogTeste, NoRestartWhenAnotherCopyStartedDuringThePause) {
  AgenteInicial(T0() + 10000, 1);
  // The update script kills the old agent and starts the new one 3 s later.
  const uint32_t novo = FProc.Adicionar(Autorizado({kAgente, T0() + 13000, T0() + 50000, 0}));
  EXPECT_EQ(Rodar(), kSaidaNormal);
  EXPECT_TRUE(FProc.TicksInicio.empty());
  EXPECT_TRUE(Registrou("ja ha outra instancia em execucao; sem reinicio"));
  EXPECT_NE(std::find(FProc.JaAbertos.begin(), FProc.JaAbertos.end(), novo), FProc.JaAbertos.end());
  EXPECT_GE(FProc.Agora(), T0() + 50000) << "the new copy was not watched";
}

TEST_F(WatchdogTeste, CleanExitFollowsAReplacementThatAppearsWithinTheGrace) {
  struct Caso {
    uint32_t Atraso;
    bool Segue;
  };
  for (const Caso& c : {Caso{0, true}, Caso{4000, true}, Caso{14500, true}, Caso{16000, false}}) {
    SCOPED_TRACE(c.Atraso);
    TRelogioFalso relogio;
    TProcessosFalso proc(relogio);
    proc.Existentes = {kAgente};
    const uint32_t saida = 1000 + 20000;
    TBaseTemporaria base;
    proc.Adicionar(Autorizado({kAgente, 0, saida, 0}));
    // The replacement is killed later: only a watchdog that follows it restarts it.
    proc.Adicionar({kAgente, saida + c.Atraso, saida + c.Atraso + 10 * kMinuto, 1});
    proc.Roteiro = {SaidaDeProposito(1000)};
    TWatchdog w(proc, relogio, [](const std::string&) {});
    EXPECT_EQ(w.Executar({kAgente}), kSaidaNormal);
    EXPECT_EQ(proc.TicksInicio.size(), c.Segue ? 1u : 0u);
    if (!c.Segue) {
      EXPECT_LT(proc.Agora(), saida + c.Atraso);
    }
  }
}

TEST_F(WatchdogTeste, NamesEachCopyItTakesOverOnceItHoldsIt) {
  // The first copy crashes, the restarted one closes on purpose and is replaced.
  const uint32_t primeiro = AgenteInicial(T0() + 10000, 1);
  const uint32_t saida = T0() + 10000 + 5000 + 20000;
  const uint32_t substituto = FProc.Adicionar(Autorizado({kAgente, saida + 2000, saida + 9000, 0}));
  FProc.Roteiro = {SaidaDeProposito(20000)};
  EXPECT_EQ(Rodar(), kSaidaNormal);
  ASSERT_EQ(FProc.TicksInicio.size(), 1u);
  const uint32_t reiniciado = FProc.Lista.rbegin()->first;
  auto Linha = [](uint32_t AId) {
    return "Watchdog: acompanhando o agente (processo " + std::to_string(AId) + ")";
  };
  std::vector<std::string> acompanhando;
  for (const std::string& l : FLog)
    if (l.find("acompanhando o agente") != std::string::npos) acompanhando.push_back(l);
  EXPECT_EQ(acompanhando,
            (std::vector<std::string>{Linha(primeiro), Linha(reiniciado), Linha(substituto)}));
  // A restarted copy is named only after the start has returned it.
  const auto reinicio = std::find(FLog.begin(), FLog.end(),
                                  std::string("Watchdog: agente reiniciado apos falha (codigo 1)"));
  ASSERT_NE(reinicio, FLog.end());
  EXPECT_EQ(*(reinicio + 1), Linha(reiniciado));
}

TEST_F(WatchdogTeste, CleanExitWithoutReplacementEnds) {
  // The ended agent stays in the snapshot while another process holds its handle.
  TProcessoFalso a{kAgente, 0, T0() + 20000, 0};
  a.ListadoDepoisDoFim = true;
  a.Autorizada = true;
  FProc.Adicionar(a);
  EXPECT_EQ(Rodar(), kSaidaNormal);
  EXPECT_TRUE(FProc.TicksInicio.empty());
  EXPECT_TRUE(Registrou("agente encerrado normalmente; watchdog encerrado"));
  // It gives a replacement the grace time, polling, and no more.
  EXPECT_GE(FProc.Agora(), T0() + 20000 + 15000);
  EXPECT_LT(FProc.Agora(), T0() + 20000 + 16000);
}

TEST_F(WatchdogTeste, RestartLimitIsASlidingHour) {
  // Each restarted copy crashes after AVida; restarts are AVida + 5 s apart, so
  // the sixth falls exactly one hour after the first when AVida is 715 s.
  struct Caso {
    uint32_t Vida;
    size_t Reinicios;
    int Saida;
  };
  for (const Caso& c : {Caso{1000, 5, kSaidaLimite}, Caso{714999, 5, kSaidaLimite},
                        Caso{715000, 9, kSaidaNormal}, Caso{20 * kMinuto, 9, kSaidaNormal}}) {
    SCOPED_TRACE(c.Vida);
    TBaseTemporaria base;
    TRelogioFalso relogio;
    TProcessosFalso proc(relogio);
    proc.Existentes = {kAgente};
    proc.Adicionar({kAgente, 0, 1000 + 1000, 1});
    for (int i = 0; i < 8; ++i) proc.Roteiro.push_back({c.Vida, 1});
    proc.Roteiro.push_back(SaidaDeProposito(1000));  // the ninth copy is closed on purpose
    std::vector<std::string> log;
    TWatchdog w(proc, relogio, [&](const std::string& M) { log.push_back(M); });
    EXPECT_EQ(w.Executar({kAgente}), c.Saida);
    EXPECT_EQ(proc.TicksInicio.size(), c.Reinicios);
    const bool desistiu =
        std::find(log.begin(), log.end(),
                  "Watchdog: erro: limite de 5 reinicios por hora atingido; watchdog encerrado") !=
        log.end();
    EXPECT_EQ(desistiu, c.Saida == kSaidaLimite);
    EXPECT_TRUE(proc.Abertos.empty());
  }
}

TEST_F(WatchdogTeste, FailedStartsAreRetriedAndCountTowardsTheLimit) {
  AgenteInicial(T0() + 1000, 1);
  FProc.FalharInicio = true;
  EXPECT_EQ(Rodar(), kSaidaLimite);
  ASSERT_EQ(FProc.TicksInicio.size(), 5u);
  for (size_t i = 1; i < FProc.TicksInicio.size(); ++i)
    EXPECT_EQ(FProc.TicksInicio[i] - FProc.TicksInicio[i - 1], 5000u);
  EXPECT_EQ(Contar("Watchdog: erro ao reiniciar o agente apos falha (codigo 1)"), 5);
  EXPECT_TRUE(Registrou("limite de 5 reinicios por hora atingido"));
  // The agent log keeps only lines with a keyword unless detailed logging is on:
  // every failure and the giving up must pass that filter.
  for (const std::string& linha : FLog) {
    if (linha.find("encerrado normalmente") == std::string::npos &&
        linha.find("iniciado para") == std::string::npos &&
        linha.find("acompanhando o agente") == std::string::npos) {
      EXPECT_TRUE(TLogger::MensagemRelevante(linha)) << linha;
    }
  }
}

TEST_F(WatchdogTeste, DoesNotRestartAnExecutableThatWasRemoved) {
  AgenteInicial(T0() + 1000, 1);
  FProc.AoLerCodigo = [this] { FProc.Existentes.erase(kAgente); };  // uninstalled meanwhile
  EXPECT_EQ(Rodar(), kSaidaFalha);
  EXPECT_TRUE(FProc.TicksInicio.empty());
  EXPECT_TRUE(Registrou("Watchdog: erro: executavel do agente nao existe mais"));
}

TEST_F(WatchdogTeste, RejectsBadArguments) {
  const std::vector<std::vector<std::string>> casos = {
      {},
      {""},
      {"   "},
      {"\"\""},
      {"C:\\Program Files\\Vesk\\Outro.exe"},  // no such file
      {kAgente, "extra"},
      {FProc.ProprioCaminho},  // would watch itself forever
      {"c:\\vesk\\watchdogagente.EXE"},
  };
  FProc.Existentes.insert("c:\\vesk\\watchdogagente.EXE");
  AgenteInicial(T0() + 1000, 1);
  for (const auto& args : casos) {
    SCOPED_TRACE(args.empty() ? "(none)" : args[0]);
    FLog.clear();
    EXPECT_EQ(Rodar(args), kSaidaArgumento);
    ASSERT_EQ(FLog.size(), 1u);
    EXPECT_NE(FLog[0].find("Watchdog: erro"), std::string::npos);
  }
  EXPECT_TRUE(FProc.MutexPedido.empty());
  EXPECT_EQ(FProc.Buscas, 0);
}

TEST_F(WatchdogTeste, AcceptsAPathThatStillCarriesItsQuotes) {
  AgenteInicial(T0() + 1000, 0, true);
  EXPECT_EQ(Rodar({" \"" + kAgente + "\" "}), kSaidaNormal);
  EXPECT_EQ(FProc.JaAbertos.size(), 1u);
}

TEST_F(WatchdogTeste, SecondWatchdogOfTheSessionEndsAtOnce) {
  AgenteInicial(T0() + 1000, 1);
  FProc.Instancia = TInstanciaUnica::JaExiste;
  EXPECT_EQ(Rodar(), kSaidaNormal);
  EXPECT_EQ(FProc.MutexPedido, kMutexWatchdog);
  EXPECT_EQ(FProc.Buscas, 0);
  EXPECT_EQ(FRelogio.TotalDormido, 0u);
  EXPECT_TRUE(Registrou("Watchdog: aviso: outro watchdog ja esta em execucao"));
}

TEST_F(WatchdogTeste, WatchesAnywayWhenTheSessionGuardCannotBeCreated) {
  AgenteInicial(T0() + 1000, 1);
  FProc.Roteiro = {SaidaDeProposito(1000)};
  FProc.Instancia = TInstanciaUnica::Falha;
  EXPECT_EQ(Rodar(), kSaidaNormal);
  EXPECT_EQ(FProc.TicksInicio.size(), 1u);
}

TEST_F(WatchdogTeste, AgentNotRunningAtStartIsLeftAlone) {
  // It may still be starting: a copy that shows up within the grace is watched.
  FProc.Adicionar({kAgente, T0() + 3000, T0() + 9000, 1});
  FProc.Roteiro = {SaidaDeProposito(1000)};
  EXPECT_EQ(Rodar(), kSaidaNormal);
  EXPECT_EQ(FProc.TicksInicio.size(), 1u);

  TRelogioFalso relogio;
  TProcessosFalso vazio(relogio);
  vazio.Existentes = {kAgente};
  std::vector<std::string> log;
  TWatchdog w(vazio, relogio, [&](const std::string& M) { log.push_back(M); });
  EXPECT_EQ(w.Executar({kAgente}), kSaidaNormal);
  EXPECT_TRUE(vazio.TicksInicio.empty());
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back(), "Watchdog: aviso: agente nao esta em execucao; watchdog encerrado");
}

TEST_F(WatchdogTeste, AgentThatCannotBeOpenedIsNotStartedTwice) {
  AgenteInicial();
  FProc.SemAcesso = true;
  EXPECT_EQ(Rodar(), kSaidaFalha);
  EXPECT_TRUE(FProc.TicksInicio.empty());
  EXPECT_TRUE(Registrou("Watchdog: erro: sem acesso ao processo do agente"));
}

TEST(WatchdogConfig, EnvironmentOverridesOnlyWithSaneNumbers) {
  struct Caso {
    const char* Espera;
    const char* Tolerancia;
    uint32_t EsperaMs, ToleranciaMs, IntervaloMs;
  };
  const Caso casos[] = {
      {"", "", 5000, 15000, 500},
      {"300", "1500", 300, 1500, 500},
      {" 250 ", "200", 250, 200, 200},  // polls no slower than the grace
      {"0", "0", 0, 0, 50},
      {"-1", "abc", 5000, 15000, 500},
      {"600001", "0x10", 5000, 15000, 500},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(std::string(c.Espera) + "/" + c.Tolerancia);
    const std::map<std::string, std::string> amb{{"VESK_WATCHDOG_ESPERA_MS", c.Espera},
                                                 {"VESK_WATCHDOG_TOLERANCIA_MS", c.Tolerancia}};
    const TConfigWatchdog cfg = ConfigWatchdogDoAmbiente([&](const std::string& N) {
      auto it = amb.find(N);
      return it == amb.end() ? std::string() : it->second;
    });
    EXPECT_EQ(cfg.EsperaReinicioMs, c.EsperaMs);
    EXPECT_EQ(cfg.ToleranciaMs, c.ToleranciaMs);
    EXPECT_EQ(cfg.IntervaloBuscaMs, c.IntervaloMs);
    EXPECT_EQ(cfg.LimiteReinicios, 5);
  }
}

}  // namespace
