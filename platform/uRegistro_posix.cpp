// Registry on POSIX: Linux has none, so the agent writes to an in-memory one.
#include "platform/uRegistro.h"

IRegistro& ImplementacaoPadrao(SeamTag<IRegistro>) {
  static TRegistroMemoria r;
  return r;
}
