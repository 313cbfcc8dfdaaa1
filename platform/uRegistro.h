// Registry concern. Windows: the real registry. POSIX: an in-memory registry
// that records what was written, for tests.
#pragma once

#include <map>
#include <string>

#include "platform/uSeam.h"

class IRegistro {
 public:
  virtual ~IRegistro() = default;
  // Opens (creating when missing) HKEY_CURRENT_USER\ASubchave with read and write
  // access and writes a string value; false on any failure.
  virtual bool GravarTextoUsuario(const std::string& ASubchave, const std::string& ANome,
                                  const std::string& AValor) = 0;
  virtual bool LerTextoUsuario(const std::string& ASubchave, const std::string& ANome,
                               std::string& AValor) = 0;
  // Deletes a value of HKEY_CURRENT_USER\ASubchave; false when it cannot (a
  // value that is not there counts as deleted).
  virtual bool ApagarValorUsuario(const std::string& ASubchave, const std::string& ANome) = 0;
  // HKEY_LOCAL_MACHINE\ASubchave, read-only; false when the key or a string
  // value of that name is missing.
  virtual bool LerTextoMaquina(const std::string& ASubchave, const std::string& ANome,
                               std::string& AValor) = 0;
};

IRegistro& ImplementacaoPadrao(SeamTag<IRegistro>);
inline IRegistro& Registro() {
  return Seam<IRegistro>::Atual();
}

// A registry in memory: the POSIX default and a test double on Windows. Key
// paths and value names compare without regard to ASCII case, as Windows does.
class TRegistroMemoria : public IRegistro {
 public:
  bool GravarTextoUsuario(const std::string& ASubchave, const std::string& ANome,
                          const std::string& AValor) override;
  bool LerTextoUsuario(const std::string& ASubchave, const std::string& ANome,
                       std::string& AValor) override;
  bool ApagarValorUsuario(const std::string& ASubchave, const std::string& ANome) override;
  bool LerTextoMaquina(const std::string& ASubchave, const std::string& ANome,
                       std::string& AValor) override;
  // Seeds a machine value (BIOS facts and the like).
  void DefinirMaquina(const std::string& ASubchave, const std::string& ANome,
                      const std::string& AValor);
  bool RecusarGravacao = false;  // every write fails, as without access
  int Gravacoes = 0;

 private:
  static std::string Chave(const std::string& ASubchave, const std::string& ANome);
  std::map<std::string, std::string> FUsuario, FMaquina;
};
