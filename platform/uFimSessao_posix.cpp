// Log-off and installer closes: Windows only; nothing to do here.
#include "platform/uFimSessao.h"

bool RegistrarReinicioAposInstalacao() {
  return true;
}

bool OuvirFimDeSessao(std::function<void(bool)>) {
  return true;
}
