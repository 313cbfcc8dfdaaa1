// Regional formats natively: fixed ones, whatever the environment says.
#include "platform/uLocalidade.h"

std::string SeparadorDecimal() {
  return ".";
}

TFormatoRegional FormatoRegional() {
  return {};
}
