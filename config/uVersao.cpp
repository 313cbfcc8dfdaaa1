// The agent's version (alone in this file: see uVersao.h).
#include "config/uVersao.h"

#include "uVersaoProjeto.h"

const char* VersaoAgente() {
  return VESK_VERSAO_PROJETO_TEXTO;
}
