// Shell on POSIX: nothing is started; the calls are recorded for tests.
#include "platform/uShell.h"

IShell& ImplementacaoPadrao(SeamTag<IShell>) {
  static TShellGravador s;
  return s;
}
