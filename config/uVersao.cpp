// The agent's version (alone in this file: see uVersao.h).
#include "config/uVersao.h"

const char* VersaoAgente() {
  return "1.0.115";
}
