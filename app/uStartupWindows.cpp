// Autostart: the user's Run value that starts the agent at log-on.
#include "app/uStartupWindows.h"

#include "platform/uArquivos.h"
#include "platform/uRegistro.h"

void TStartupWindows::AtivarZelvan() noexcept {
  try {
    // Quoted, so that a path with spaces starts the right program.
    Registro().GravarTextoUsuario(kChaveRun, kNomeValor,
                                  "\"" + Arquivos().CaminhoExecutavel() + "\"");
  } catch (...) {
    // No access or a policy: the agent runs without autostart.
  }
}
