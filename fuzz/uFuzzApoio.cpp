// The run's own base folder for the targets that read or write files.
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "fuzz/uFuzzApoio.h"

std::string PastaDaExecucao() {
  static const std::string pasta = [] {
    const char* t = std::getenv("TMPDIR");
    std::string modelo = std::string(t && *t ? t : "/tmp") + "/vesk-fuzz.XXXXXX";
    if (!mkdtemp(modelo.data())) FalhaInvariante("mkdtemp", __FILE__, __LINE__);
    setenv("VESK_PASTA_BASE", modelo.c_str(), 1);
    return modelo + "/";
  }();
  return pasta;
}
