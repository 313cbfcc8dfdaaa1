// The record of an update hand-over, kept beside the executable in
// "backup\atualizacao.ini": the agent writes it before its script runs, the
// watchdog reads it to tell a replacement from a crash and to roll back a new
// version that keeps failing, and both read which version was rolled back.
#pragma once

#include <cstdint>
#include <string>

#include "platform/uDataHora.h"

struct TRepasseAtualizacao {
  uint32_t Pid = 0;            // the agent being replaced
  uint64_t Inicio = 0;         // when that process started (0: not known)
  std::string VersaoAnterior;  // its version
  std::string VersaoNova;      // the version the script installs
  TDateTime Hora = 0;          // when the script was started
  std::string Revertida;       // the last version the watchdog rolled back
};

class TRegistroRepasse {
 public:
  // "backup\atualizacao.ini" in the folder of the executable AExe.
  static std::string Arquivo(const std::string& AExe);
  // False when the file holds no hand-over (Pid 0 or no time).
  static bool Ler(const std::string& AExe, TRepasseAtualizacao& ARepasse);
  // Writes every field but Revertida; false when the file cannot be written.
  // Without Inicio, the start of this process is written when Pid is its id.
  static bool Gravar(const std::string& AExe, const TRepasseAtualizacao& ARepasse);
  // Clears the hand-over (a script that did not start, a new version that has
  // run long enough), keeping Revertida.
  static void Cancelar(const std::string& AExe);
  static std::string Revertida(const std::string& AExe);
  static bool MarcarRevertida(const std::string& AExe, const std::string& AVersao);
};
