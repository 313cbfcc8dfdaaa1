// The record of a deliberate end of the agent (the close password, the end of
// the session, a restart, an update): the agent writes it just before it ends,
// and the watchdog restarts an agent that ended without it, whatever its exit
// code said (a crash can end a process with code 0).
#pragma once

#include <cstdint>
#include <string>

#include "platform/uDataHora.h"

class TSaidaAutorizada {
 public:
  // "saida_autorizada.ini" in the employee's own agent folder (the base folder
  // when the platform names none).
  static std::string Arquivo();
  // Records this process (its id and start) as ending on purpose; false when
  // the file cannot be written. Never raises.
  static bool Registrar() noexcept;
  static bool Gravar(uint32_t APid, uint64_t AInicio, TDateTime AHora);
  // Whether the record names the ended process APid that started at AInicio.
  // Without a start time on either side, the id must have been recorded within
  // the last two minutes of AAgora: an older one may be another process's.
  static bool Confere(uint32_t APid, uint64_t AInicio, TDateTime AAgora);
  static void Apagar();
};
