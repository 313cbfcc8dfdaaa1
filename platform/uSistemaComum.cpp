// Portable helpers over the system facts concern.
#include "platform/uSistema.h"

std::string VariavelAmbiente(const std::string& ANome) {
  std::string v;
  if (!Sistema().Variavel(ANome, v)) return {};
  return v;
}
