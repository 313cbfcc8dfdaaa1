// The agent's real services, wired into the main window's steps.
#include "app/uPassosAgente.h"

#include "chat/uChatFloat.h"
#include "notices/uAgentMessages.h"
#include "services/uAgentConfigSync.h"
#include "services/uAgentCommandsPro.h"
#include "services/uAgentHardwareSync.h"
#include "services/uAgentHeartbeat.h"
#include "services/uAutoUpdatePro.h"
#include "services/uCacheCleaner.h"
#include "services/uPastaPrograma.h"
#include "services/uPedidoSaida.h"
#include "tasks/uAgentTasks.h"

TPassosAgente PassosAgentePadrao() {
  TPassosAgente p;
  // Each service joins the list here as it is built; until then its step stays
  // empty and the pass skips it.
  p.SincronizarConfig = [] { TAgentConfigSync::Sincronizar(); };
  p.EnviarHeartbeat = [](const std::string& AVersao) { TAgentHeartbeat::EnviarHeartbeat(AVersao); };
  p.VerificarMensagens = [] { TAgentMessages::VerificarMensagens(); };
  p.SincronizarInventario = [] { TAgentHardwareSync::SincronizarInventario(); };
  p.VerificarTarefas = [] { TAgentTasks::VerificarTarefas(); };
  p.VerificarAtualizacao = [](const std::string& AVersao) {
    TAutoUpdatePro::VerificarAtualizacao(AVersao);
  };
  // "forcar_update" runs the same update check as the pass.
  p.VerificarComandos = [atualizar = p.VerificarAtualizacao] {
    TAgentCommandsPro::VerificarComandos(atualizar);
  };
  p.LimparTemporarios = [] { TCacheCleaner::LimparTemporarios(); };
  p.AvisarPastaCompartilhada = [] { TPastaPrograma::AvisarSeCompartilhada(); };
  p.PularAposSaida = [](const std::string& AEtapa) { return TPedidoSaida::Pular(AEtapa); };
  p.BuscarTarefasJson = [] { return TAgentTasks::BuscarTarefasJson(); };
  p.ExibirTarefasAgora = [] { TAgentTasks::ExibirTarefasAgora(); };
  p.AtualizarUnreadChat = [] { TVeskChatFloat::AtualizarUnread(); };
  p.IniciarChat = [](ui::TJanela& AForm) { TVeskChatFloat::Iniciar(&AForm); };
  p.FinalizarChat = [] { TVeskChatFloat::Finalizar(); };
  return p;
}
