// The agent's own request to quit.
#include "services/uPedidoSaida.h"

#include "log/uLogger.h"

void TPedidoSaida::Solicitar(const std::string& AMotivo) {
  if (!FSolicitado) FMotivo = AMotivo;
  FSolicitado = true;
  if (FAcao) FAcao();
}

bool TPedidoSaida::Solicitado() {
  return FSolicitado;
}

bool TPedidoSaida::Pular(const std::string& AEtapa) {
  if (!FSolicitado) return false;
  if (!FRegistrado) {
    FRegistrado = true;
    TLogger::Log("Aviso: agente encerrando (" + FMotivo +
                 "); etapas seguintes ignoradas a partir de " + AEtapa + ".");
  }
  return true;
}

void TPedidoSaida::DefinirAcao(std::function<void()> AAcao) {
  FAcao = std::move(AAcao);
}

void TPedidoSaida::Reiniciar() {
  FSolicitado = false;
  FRegistrado = false;
  FMotivo.clear();
}
