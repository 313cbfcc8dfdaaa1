// Starts the watchdog program installed beside the agent.
#include "app/uWatchdogLauncher.h"

#include "platform/uArquivos.h"
#include "platform/uShell.h"

void TWatchdogLauncher::IniciarWatchdog() noexcept {
  try {
    const std::string caminho = PastaDoExecutavel() + kArquivoWatchdog;
    if (!Arquivos().ArquivoExiste(caminho)) return;
    TChamadaShell c;
    c.Verbo = "open";
    c.Arquivo = caminho;
    c.Parametros = "\"" + Arquivos().CaminhoExecutavel() + "\"";
    c.Mostrar = kSwHide;
    // The agent neither waits for the watchdog nor checks that it started.
    Shell().Executar(c);
  } catch (...) {
    // Starting the watchdog is best effort: the agent runs without it.
  }
}
