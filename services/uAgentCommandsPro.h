// Remote commands: the server's queue for this computer, run and reported one
// by one (clear the cache, look for an update, restart).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/uDataHora.h"

class TAgentCommandsPro {
 public:
  // Commands run in one pass; the rest stay queued for the next.
  static constexpr size_t kMaxComandosPorCiclo = 200;
  // The same "reiniciar" is not run again within this time.
  static constexpr double kGuardaReiniciarDias = 10.0 / (24.0 * 60.0);
  // A server that queues a new restart at every pass would restart the agent
  // at every pass: at most this many restarts by command within the hour.
  static constexpr size_t kMaxReiniciosPorHora = 3;
  static constexpr double kJanelaReiniciosDias = 1.0 / 24.0;

  // The update check that "forcar_update" runs (the self-update's entry point).
  using TVerificacaoAtualizacao = std::function<void(const std::string& AVersao)>;

  // Every error is caught and logged; the commands not run stay for the next pass.
  // Without an update check "forcar_update" is refused, not reported as started.
  static void VerificarComandos(const TVerificacaoAtualizacao& AVerificarAtualizacao) noexcept;

  // ObterNomeComputador + "_" + ObterNomeUsuario.
  static std::string MontarTokenAgente();
  // Posts "acao=retorno&token=...&id=...&retorno=..."; raises when it fails.
  static void EnviarRetornoComando(const std::string& AToken, int32_t AId,
                                   const std::string& ARetorno);
  // Whether a "reiniciar" of this id ran less than ten minutes before AAgora,
  // by the id and time remembered in config.ini.
  static bool ReinicioRecente(int32_t AId, TDateTime AAgora);
  // Restarts by command within an hour of AAgora, as config.ini remembers them.
  static size_t ReiniciosNaUltimaHora(TDateTime AAgora);
};
