// One agent per session, by a named mutex.
#include "app/uInstanciaUnica.h"

#include "log/uLogger.h"
#include "platform/uProcessos.h"
#include "platform/uRelogio.h"

bool TInstanciaUnicaAgente::Garantir() {
  const uint32_t inicio = Relogio().TickCount();
  for (;;) {
    switch (Processos().AdquirirInstanciaUnica(kNomeMutex)) {
      case TInstanciaUnica::Primeira:
        return true;
      case TInstanciaUnica::Falha:
        TLogger::Log(
            "Aviso: falha ao criar o mutex da sessao; agente segue sem a protecao de "
            "instancia unica.");
        return true;
      case TInstanciaUnica::JaExiste:
        break;
    }
    // A restart or update hands over: the old copy is on its way out.
    if (Relogio().TickCount() - inicio >= kEsperaMaximaMs) break;
    Relogio().Dormir(kPassoEsperaMs);
  }
  TLogger::Log(
      "Aviso: outra instancia do agente ja esta em execucao nesta sessao; esta foi "
      "encerrada apos aguardar 15 segundos.");
  return false;
}
