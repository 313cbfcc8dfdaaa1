// Program entry of Zelvan.exe: the main window and the message loop.
#include <memory>

#include "app/uAgentePrincipal.h"
#include "app/uPassosAgente.h"
#include "platform/ui/uKit.h"

int main() {
  ui::app::DefinirTitulo("Zelvan");
  {
    // Creation runs the whole start-up, the first polling pass included, and
    // ends with the window hidden to the tray.
    auto frm = std::make_unique<TFrmAgentePrincipal>(PassosAgentePadrao());
    // The loop's first show: once, normal and centred, so the agent comes up
    // visible with its icon in the notification area.
    if (!ui::app::Terminando()) {
      frm->DefinirEstado(ui::TEstadoJanela::Normal);
      frm->Centralizar();
      frm->Mostrar();
      ui::app::Executar();
    }
    // Destroying the window finalises the chat bubble and removes the icon.
  }
  return 0;
}
