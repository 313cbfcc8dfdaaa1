// The folder the agent runs from: a warning when other users may change it.
#pragma once

class TPastaPrograma {
 public:
  // Logs a warning, at most once a day for this employee, when accounts other
  // than the employee, the system and the administrators may write the
  // running executable or its folder: any of them could replace the program
  // that the employee's log-on starts. Never raises.
  static void AvisarSeCompartilhada() noexcept;
};
