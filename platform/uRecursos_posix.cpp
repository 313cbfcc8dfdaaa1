// Data resources on POSIX: a native program carries no resource section.
#include "platform/uRecursos.h"

std::string LerRecursoDados(int) {
  return {};
}
