// Desktop on POSIX: no wallpaper to set; the calls are recorded.
#include "platform/uDesktop.h"

IDesktop& ImplementacaoPadrao(SeamTag<IDesktop>) {
  static TDesktopGravador g;
  return g;
}
