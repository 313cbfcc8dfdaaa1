// Shared by the end-to-end tests: ends every agent and watchdog that a test's
// program started (copies included), so that none is left holding the
// session's agent mutex for the next test.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/uArquivos.h"
#include "platform/uProcessos.h"

// Running processes of the program beside the tests, by its file name.
inline std::vector<uint32_t> ProcessosDe(const std::string& ANome) {
  return Processos().ProcessosDoExecutavel(PastaDoExecutavel() + ANome);
}

inline void EncerrarProcesso(uint32_t AId) {
  HANDLE h = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, AId);
  if (!h) return;
  TerminateProcess(h, 99);
  WaitForSingleObject(h, 5000);
  CloseHandle(h);
}

// The watchdogs first, so that none restarts an agent ended here.
inline void EncerrarAgentesEWatchdogs() {
  for (uint32_t id : ProcessosDe("WatchdogAgente.exe")) EncerrarProcesso(id);
  for (uint32_t id : ProcessosDe("Zelvan.exe")) EncerrarProcesso(id);
}
