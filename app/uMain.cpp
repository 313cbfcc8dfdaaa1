// Program entry of Zelvan.exe: the main window and the message loop.
#include <cstdlib>
#include <memory>

#include "app/uAgentePrincipal.h"
#include "app/uAplicacao.h"
#include "app/uInstanciaUnica.h"
#include "app/uPassosAgente.h"
#include "config/uSaidaAutorizada.h"
#include "platform/ui/uEspera.h"
#include "platform/ui/uKit.h"

int main() {
  // A second agent in the session ends quietly, before any window or icon.
  // Every end that is meant leaves the exit record first: the watchdog
  // restarts an agent that ended without it.
  if (!TInstanciaUnicaAgente::Garantir()) {
    TSaidaAutorizada::Registrar();
    return 0;
  }
  PrepararAplicacao();
  {
    // Creation runs the whole start-up, the first polling pass included, and
    // ends with the window hidden to the tray.
    auto frm = std::make_unique<TFrmAgentePrincipal>(PassosAgentePadrao());
    // The loop's first show, once, in the state the program was started in:
    // the agent comes up visible with its icon in the notification area, or
    // stays in the tray when started minimised.
    if (!ui::app::Terminando()) {
      frm->ExibirPrimeiraVez();
      ui::app::Executar();
    }
    // The loop ends only when the program was asked to end ("Sair" or the
    // close password, a restart, an update, the end of the session).
    TSaidaAutorizada::Registrar();
    // Destroying the window finalises the chat bubble and removes the icon.
  }
  // A request abandoned at the end (a log-off during a wait) may still be
  // blocked in the network: its worker must not race the program's own
  // clean-up, so the process ends here without waiting for it.
  if (!ui::AguardarTrabalhos(300)) std::_Exit(0);
  return 0;
}
