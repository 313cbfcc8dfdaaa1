// Regional number format natively: the C locale's, whatever the environment says.
#include "platform/uLocalidade.h"

std::string SeparadorDecimal() {
  return ".";
}
