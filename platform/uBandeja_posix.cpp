// Notification-area icon on POSIX: there is no tray, so the calls are recorded.
#include "platform/uBandeja.h"

IBandeja& ImplementacaoPadrao(SeamTag<IBandeja>) {
  static TBandejaGravador b;
  return b;
}
