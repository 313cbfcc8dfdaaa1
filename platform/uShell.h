// Shell concern: starting a program or opening a document (ShellExecuteW).
// POSIX records the calls for tests and starts nothing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/uSeam.h"

enum : int { kSwHide = 0, kSwShowNormal = 1 };

struct TChamadaShell {
  void* Janela = nullptr;
  std::string Verbo, Arquivo, Parametros, Pasta;
  int Mostrar = kSwShowNormal;
};

class IShell {
 public:
  virtual ~IShell() = default;
  // ShellExecuteW: the result as the API gives it (above 32 is success).
  virtual intptr_t Executar(const TChamadaShell& AChamada) = 0;
};

IShell& ImplementacaoPadrao(SeamTag<IShell>);
inline IShell& Shell() { return Seam<IShell>::Atual(); }

// Records every call and answers with a fixed result: the POSIX default and a
// test double on Windows.
class TShellGravador : public IShell {
 public:
  intptr_t Executar(const TChamadaShell& AChamada) override {
    Chamadas.push_back(AChamada);
    return Resultado;
  }
  std::vector<TChamadaShell> Chamadas;
  intptr_t Resultado = 42;
};
