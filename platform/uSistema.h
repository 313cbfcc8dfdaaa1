// System facts concern: computer and user names, environment, process id.
#pragma once

#include <cstdint>
#include <string>

#include "platform/uSeam.h"

class ISistema {
 public:
  virtual ~ISistema() = default;
  // GetComputerNameW into a buffer of 17 characters; false when it fails.
  virtual bool NomeComputador(std::string& ANome) = 0;
  // GetUserNameW into a buffer of 256 characters; false when it fails.
  virtual bool NomeUsuarioLogon(std::string& ANome) = 0;
  // false when the variable is not set.
  virtual bool Variavel(const std::string& ANome, std::string& AValor) = 0;
  virtual uint32_t IdProcesso() = 0;
};

ISistema& ImplementacaoPadrao(SeamTag<ISistema>);
inline ISistema& Sistema() { return Seam<ISistema>::Atual(); }

// The variable's value, empty when unset.
std::string VariavelAmbiente(const std::string& ANome);
