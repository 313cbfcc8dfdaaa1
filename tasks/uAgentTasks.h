// The employee's tasks on the server: the list of every pass, the tasks tab and
// the three actions a card sends.
#pragma once

#include <cstdint>
#include <string>

#include "config/uConfigINI.h"
#include "net/uJsonHelper.h"

class TAgentTasks {
 public:
  // The task list answer as received, or the token-missing answer. A failed
  // request (after its three attempts) raises to the caller.
  static std::string BuscarTarefasJson();
  // The pass's step: fetches the list and opens the panel when it changed since
  // the list last handed to it. Request failures raise; bad answers are logged.
  static void VerificarTarefas();
  // The tasks tab's "Abrir painel tarefas": the panel for the current list,
  // whatever it was before.
  static void ExibirTarefasAgora();
  // "iniciar", "concluir" or "justificar" (any letter case) on a task; the
  // server's answer as received, or one of the fixed answers.
  static std::string ExecutarAcao(const std::string& Acao, int32_t TarefaID,
                                  const std::string& Justificativa);

  static std::string MontarUrlTarefas(const TConfigAgente& ACfg);
  // "id:status;" of every task object, in order; other elements add nothing.
  static std::string MontarAssinaturaTarefas(const rapidjson::Value& ATarefas);
  // The signature of the list last handed to the panel ("" at start).
  static const std::string& UltimaAssinaturaTarefas();
  // For tests: forget it, as a new process would.
  static void ReiniciarAssinatura();

  // Tasks read from one list; the rest are logged as left out.
  static constexpr rapidjson::SizeType kMaxTarefas = 1000;
  // Characters of an answer quoted after "API tarefas retornou erro: ".
  static constexpr size_t kMaxCorpoErroLog = 2000;
  static constexpr const char* kRespostaTokenAusente =
      "{\"ok\":false,\"erro\":\"Token ausente no agente.\"}";
  static constexpr const char* kRespostaAcaoInvalida = "{\"ok\":false,\"erro\":\"Ação inválida.\"}";
};
