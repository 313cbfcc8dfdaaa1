// Desktop on Windows: SystemParametersInfoW sets and stores the wallpaper.
#include <windows.h>

#include "platform/uDesktop.h"
#include "platform/uWin32Texto.h"

namespace {

class TDesktopWin32 final : public IDesktop {
 public:
  bool DefinirPapelDeParede(const std::string& ACaminho) override {
    std::wstring caminho = ParaWide(ACaminho);
    return SystemParametersInfoW(SPI_SETDESKWALLPAPER, 0, caminho.data(),
                                 SPIF_UPDATEINIFILE | SPIF_SENDWININICHANGE) != FALSE;
  }
};

}  // namespace

IDesktop& ImplementacaoPadrao(SeamTag<IDesktop>) {
  static TDesktopWin32 d;
  return d;
}
