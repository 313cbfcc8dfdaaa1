// Multimedia commands on POSIX: recorded, every one answered with success.
#include "platform/uMci.h"

IMci& ImplementacaoPadrao(SeamTag<IMci>) {
  static TMciGravador g;
  return g;
}
