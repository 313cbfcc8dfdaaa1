// Profile-file concern (the INI file of the agent), read and written key by key.
// Windows: GetPrivateProfileStringW / WritePrivateProfileStringW. POSIX: a reader
// and writer of our own that keeps the same rules:
//  - section and key names compare without regard to case;
//  - a value read is trimmed, one pair of enclosing quotes removed, and at most
//    2047 characters (UTF-16 code units) are returned;
//  - a missing file, section or key gives the default;
//  - each write is on disk before the call returns.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/uSeam.h"

// What the file on disk is now, to tell whether a reading of it still holds:
// two equal states are taken for the same contents.
struct TEstadoPerfil {
  bool Existe = false;
  int64_t Tamanho = 0;
  int64_t Modificado = 0;   // last write (and, where the system has one, status change)
  uint64_t Identidade = 0;  // the file itself where the system tells (a replaced file differs)
  // Written so lately that a rewrite of the same size might not move the
  // clock the system stamps it with: a reading taken now is not to be kept.
  bool Recente = false;
  bool operator==(const TEstadoPerfil& A) const {
    return Existe == A.Existe && Tamanho == A.Tamanho && Modificado == A.Modificado &&
           Identidade == A.Identidade;
  }
};

class IPerfil {
 public:
  virtual ~IPerfil() = default;
  virtual std::string LerTexto(const std::string& AArquivo, const std::string& ASecao,
                               const std::string& AChave, const std::string& APadrao) = 0;
  // False when the platform refuses the write (read-only file, no rights).
  virtual bool EscreverTexto(const std::string& AArquivo, const std::string& ASecao,
                             const std::string& AChave, const std::string& AValor) = 0;
  // Removes every entry of the key from the section; true when none is left
  // (also when there was none). False when the platform refuses the write.
  virtual bool ApagarChave(const std::string& AArquivo, const std::string& ASecao,
                           const std::string& AChave) = 0;
  // Names of the keys of a section, in file order; empty when none.
  virtual std::vector<std::string> Chaves(const std::string& AArquivo,
                                          const std::string& ASecao) = 0;
  // Flushes what the platform may still hold for the file.
  virtual bool Descarregar(const std::string& AArquivo) = 0;
  // The file's state; false when it cannot be told, and readings of the file
  // are then never kept (a double that leaves this alone is read afresh).
  virtual bool Estado(const std::string& AArquivo, TEstadoPerfil& AEstado) {
    (void)AArquivo;
    (void)AEstado;
    return false;
  }
};

IPerfil& ImplementacaoPadrao(SeamTag<IPerfil>);
inline IPerfil& Perfil() {
  return Seam<IPerfil>::Atual();
}
