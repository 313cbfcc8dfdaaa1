// The in-memory registry (POSIX default, test double on Windows).
#include "platform/uRegistro.h"
#include "platform/uTexto.h"

std::string TRegistroMemoria::Chave(const std::string& ASubchave, const std::string& ANome) {
  // A leading backslash names the same key as none.
  std::string sub = ASubchave;
  while (!sub.empty() && sub.front() == '\\') sub.erase(sub.begin());
  return MinusculasAscii(sub) + '\n' + MinusculasAscii(ANome);
}

bool TRegistroMemoria::GravarTextoUsuario(const std::string& ASubchave, const std::string& ANome,
                                          const std::string& AValor) {
  if (RecusarGravacao) return false;
  FUsuario[Chave(ASubchave, ANome)] = AValor;
  ++Gravacoes;
  return true;
}

bool TRegistroMemoria::LerTextoUsuario(const std::string& ASubchave, const std::string& ANome,
                                       std::string& AValor) {
  auto it = FUsuario.find(Chave(ASubchave, ANome));
  if (it == FUsuario.end()) return false;
  AValor = it->second;
  return true;
}

bool TRegistroMemoria::ApagarValorUsuario(const std::string& ASubchave, const std::string& ANome) {
  if (RecusarGravacao) return false;
  FUsuario.erase(Chave(ASubchave, ANome));
  return true;
}

bool TRegistroMemoria::LerTextoMaquina(const std::string& ASubchave, const std::string& ANome,
                                       std::string& AValor) {
  auto it = FMaquina.find(Chave(ASubchave, ANome));
  if (it == FMaquina.end()) return false;
  AValor = it->second;
  return true;
}

void TRegistroMemoria::DefinirMaquina(const std::string& ASubchave, const std::string& ANome,
                                      const std::string& AValor) {
  FMaquina[Chave(ASubchave, ANome)] = AValor;
}
