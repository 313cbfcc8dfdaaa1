// Profile-file concern (the INI file of the agent), read and written key by key.
// Windows: GetPrivateProfileStringW / WritePrivateProfileStringW. POSIX: a reader
// and writer of our own that keeps the same rules:
//  - section and key names compare without regard to case;
//  - a value read is trimmed, one pair of enclosing quotes removed, and at most
//    2047 characters (UTF-16 code units) are returned;
//  - a missing file, section or key gives the default;
//  - each write is on disk before the call returns.
#pragma once

#include <string>
#include <vector>

#include "platform/uSeam.h"

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
};

IPerfil& ImplementacaoPadrao(SeamTag<IPerfil>);
inline IPerfil& Perfil() {
  return Seam<IPerfil>::Atual();
}
