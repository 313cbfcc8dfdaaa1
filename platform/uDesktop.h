// Desktop concern: the wallpaper (SystemParametersInfoW with SPI_SETDESKWALLPAPER).
// POSIX records the calls.
#pragma once

#include <string>
#include <vector>

#include "platform/uSeam.h"

class IDesktop {
 public:
  virtual ~IDesktop() = default;
  // Makes the bitmap file the wallpaper, stored in the user profile and
  // announced to all windows; true when the call succeeded.
  virtual bool DefinirPapelDeParede(const std::string& ACaminho) = 0;
};

IDesktop& ImplementacaoPadrao(SeamTag<IDesktop>);
inline IDesktop& Desktop() {
  return Seam<IDesktop>::Atual();
}

// Records every path and answers with a fixed result.
class TDesktopGravador : public IDesktop {
 public:
  bool DefinirPapelDeParede(const std::string& ACaminho) override {
    Chamadas.push_back(ACaminho);
    return Resultado;
  }
  std::vector<std::string> Chamadas;
  bool Resultado = true;
};
