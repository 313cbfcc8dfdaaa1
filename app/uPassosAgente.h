// The services the main window calls, as a list of steps filled in at start-up.
// The window knows each service only by the one operation it calls; a step that
// is not set is skipped, so the window's logic runs (and is tested) on its own.
#pragma once

#include <functional>
#include <string>

#include "platform/ui/uKit.h"

struct TPassosAgente {
  // The polling pass, in its order.
  std::function<void()> SincronizarConfig;  // TAgentConfigSync::Sincronizar
  std::function<void(const std::string& AVersao)>
      EnviarHeartbeat;                          // TAgentHeartbeat::EnviarHeartbeat
  std::function<void()> SincronizarInventario;  // TAgentHardwareSync::SincronizarInventario
  std::function<void()> VerificarMensagens;     // TAgentMessages::VerificarMensagens
  std::function<void()> VerificarTarefas;       // TAgentTasks::VerificarTarefas
  std::function<void()> VerificarComandos;      // TAgentCommandsPro::VerificarComandos
  std::function<void()> AtualizarUnreadChat;    // TVeskChatFloat::AtualizarUnread
  // The update check, at start-up and at most every 15 minutes.
  std::function<void(const std::string& AVersao)>
      VerificarAtualizacao;  // TAutoUpdatePro::VerificarAtualizacao

  // Start-up housekeeping: the temporary files of downloads a kill cut short
  // (TCacheCleaner::LimparTemporarios), and the daily warning about a program
  // folder other users can write (TPastaPrograma::AvisarSeCompartilhada, also
  // at every pass).
  std::function<void()> LimparTemporarios;
  std::function<void()> AvisarPastaCompartilhada;

  // The tasks tab.
  std::function<std::string()> BuscarTarefasJson;  // TAgentTasks::BuscarTarefasJson
  std::function<void()> ExibirTarefasAgora;        // TAgentTasks::ExibirTarefasAgora

  // True when the agent asked itself to quit (restart, update): the named step
  // of the start-up or the pass is then skipped (TPedidoSaida::Pular).
  std::function<bool(const std::string& AEtapa)> PularAposSaida;

  // The chat bubble, owned by the main window.
  std::function<void(ui::TJanela& AForm)> IniciarChat;  // TVeskChatFloat::Iniciar
  std::function<void()> FinalizarChat;                  // TVeskChatFloat::Finalizar
};

// The agent's real services, as the program wires them.
TPassosAgente PassosAgentePadrao();
