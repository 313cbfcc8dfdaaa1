// WatchdogAgente.exe: started hidden by the agent with the agent's full path in quotes.
#include <cstdlib>
#include <exception>

#include "log/uLogger.h"
#include "platform/uFimSessao.h"
#include "platform/uProcessos.h"
#include "platform/uRelogio.h"
#include "platform/uSistema.h"
#include "watchdog/uWatchdog.h"

int main() {
  try {
    // An installer that replaces the programs closes the agent and the watchdog
    // alike (the agent comes back by its restart registration, and starts a new
    // watchdog); a log-off ends both. Either way the watchdog lets go at once,
    // so that its file is not left in use until a reboot.
    OuvirFimDeSessao([](bool AInstalador) {
      TLogger::Log(AInstalador ? "Watchdog: aviso: fechado pelo Windows para uma instalacao; "
                                 "watchdog encerrado"
                               : "Watchdog: aviso: sessao do Windows encerrando; watchdog "
                                 "encerrado");
      std::_Exit(kSaidaNormal);
    });
    TWatchdog w(
        Processos(), Relogio(), [](const std::string& AMsg) { TLogger::Log(AMsg); },
        ConfigWatchdogDoAmbiente(VariavelAmbiente));
    return w.Executar(Processos().Argumentos());
  } catch (const std::exception& E) {
    TLogger::Log(std::string("Watchdog: erro inesperado: ") + E.what());
    return kSaidaFalha;
  }
}
