// One agent per session: a second start waits for a first that is handing
// over (restart, update) and otherwise steps aside.
#pragma once

#include <cstdint>
#include <string>

class TInstanciaUnicaAgente {
 public:
  static constexpr const char* kNomeMutex = "Local\\VeskIntranetAgentZelvan";
  static constexpr uint32_t kEsperaMaximaMs = 15000;
  static constexpr uint32_t kPassoEsperaMs = 250;

  // True when this process may run as the agent: it holds the session's
  // mutex, or the mutex could not be made at all (then the agent runs without
  // the guard, as it always did). False after waiting up to 15 s for another
  // agent to end; the reason is logged.
  static bool Garantir();
};
