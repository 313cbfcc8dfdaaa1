// WatchdogAgente.exe: started hidden by the agent with the agent's full path in quotes.
#include <exception>

#include "log/uLogger.h"
#include "platform/uProcessos.h"
#include "platform/uRelogio.h"
#include "platform/uSistema.h"
#include "tools/watchdog/uWatchdog.h"

int main() {
  try {
    TWatchdog w(
        Processos(), Relogio(), [](const std::string& AMsg) { TLogger::Log(AMsg); },
        ConfigWatchdogDoAmbiente(VariavelAmbiente));
    return w.Executar(Processos().Argumentos());
  } catch (const std::exception& E) {
    TLogger::Log(std::string("Watchdog: erro inesperado: ") + E.what());
    return kSaidaFalha;
  }
}
