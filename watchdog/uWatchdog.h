// The watchdog's policy: keeps the agent running after a crash or a kill, but
// lets it go when it ends on purpose (close password, "Sair", restart, update),
// which the agent records before it ends: the exit code alone proves nothing.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/uProcessos.h"
#include "platform/uRelogio.h"

// Name of the one-per-logon-session guard.
inline constexpr const char* kMutexWatchdog = "Local\\VeskWatchdogAgente";

// Exit codes of WatchdogAgente.exe.
enum TSaidaWatchdog : int {
  kSaidaNormal = 0,     // the agent ended on purpose, or another watchdog is on duty
  kSaidaArgumento = 2,  // missing or bad agent path
  kSaidaLimite = 3,     // too many restarts within the window
  kSaidaFalha = 4,      // the agent cannot be watched or started any more
};

struct TConfigWatchdog {
  uint32_t EsperaReinicioMs = 5000;  // after a crash, before deciding to restart
  // After a clean exit, how long a replacement may take to appear. The update
  // script waits 2 + 2 s, copies, and may retry the copy after 3 s more.
  uint32_t ToleranciaMs = 15000;
  uint32_t IntervaloBuscaMs = 500;  // polling step while looking for the agent
  int LimiteReinicios = 5;
  uint32_t JanelaLimiteMs = 3600000;  // the sliding window of the limit
  // After an update: this many abnormal ends within the window roll it back;
  // a new version that outlives the window is kept, and its hand-over record
  // cleared.
  int FalhasParaReverter = 3;
  uint32_t JanelaReversaoMs = 600000;
};

// The defaults, with VESK_WATCHDOG_ESPERA_MS and VESK_WATCHDOG_TOLERANCIA_MS
// taken from AVariavel when they hold a whole number of 0 to 600000.
TConfigWatchdog ConfigWatchdogDoAmbiente(
    const std::function<std::string(const std::string&)>& AVariavel);

class TWatchdog {
 public:
  using TLog = std::function<void(const std::string&)>;

  TWatchdog(IProcessos& AProcessos, IRelogio& ARelogio, TLog ALog, TConfigWatchdog AConfig = {});

  // Runs until the agent is gone for good; AArgumentos are the program's
  // arguments (the agent's full path is the only one). Returns the exit code.
  int Executar(const std::vector<std::string>& AArgumentos);

 private:
  struct TBusca {
    THandleProcesso Processo = 0;
    bool SemAcesso = false;  // running, but it could not be opened
  };

  bool ValidarArgumentos(const std::vector<std::string>& AArgumentos);
  TBusca ProcurarAgente(uint32_t AToleranciaMs);
  // After a crash: waits, then restarts unless another copy runs meanwhile.
  // Returns the process to watch next, or 0 with ASaida set.
  THandleProcesso TratarFalha(uint32_t ACodigo, int& ASaida);
  bool LimiteAtingido();
  // The agent that ended (process AId, started at AInicio; 0 when unknown) was
  // being replaced by the update script.
  bool EmSubstituicao(uint32_t AId, uint64_t AInicio);
  // Waits for the agent to end; while a new version is on trial, its window
  // passing first ends the trial. False when the wait fails.
  bool AguardarFim(THandleProcesso AAgente);
  // The new version has run its window (or was rolled back): the hand-over is over.
  void EncerrarAtualizacao();
  // Restores the newest backup that is a valid executable of the version that
  // ran before the update, and starts it; 0 when there is none, it cannot, or
  // the version was rolled back once already.
  THandleProcesso Reverter();

  IProcessos& FProcessos;
  IRelogio& FRelogio;
  TLog FLog;
  TConfigWatchdog FConfig;
  std::string FCaminho;
  std::deque<uint32_t> FReinicios;  // tick counts of the recent restarts
  struct TAposAtualizacao {
    bool Ativa = false;
    std::string Versao;
    std::string VersaoAnterior;  // the only version a rollback may restore
    uint32_t Inicio = 0;         // tick of the hand-over
    int Falhas = 0;
  } FAtualizacao;
};
