// The agent's application-wide settings.
#include "app/uAplicacao.h"

#include "config/uSaidaAutorizada.h"
#include "log/uLogger.h"
#include "platform/uFimSessao.h"
#include "platform/ui/uKit.h"
#include "services/uPedidoSaida.h"

void PrepararAplicacao() {
  ui::app::DefinirTitulo("Zelvan");
  // A window that failed to paint or lay out goes on; the log keeps the reason.
  ui::app::DefinirRelatoDeFalhas([](const std::string& ATexto) { TLogger::Log(ATexto); });
  // The agent's own quit (restart, update) ends the message loop.
  TPedidoSaida::DefinirAcao([] { ui::app::Terminar(); });
  // An installer that closes the agent to replace its files starts it again after.
  RegistrarReinicioAposInstalacao();
  // At a log-off Windows may end the process as soon as its windows have
  // answered, before the message loop returns: the exit record is written
  // while Windows still waits.
  OuvirFimDeSessao([](bool) { TSaidaAutorizada::Registrar(); });
}
