// Processes concern: finding a program's processes by path, waiting for them,
// starting a program, the one-per-session guard and this program's own facts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/uSeam.h"

// An open process (a HANDLE on Windows); 0 is none.
using THandleProcesso = intptr_t;

inline constexpr uint32_t kEsperaInfinita = 0xFFFFFFFFu;

enum class TResultadoEspera { Terminou, TempoEsgotado, Falha };
enum class TInstanciaUnica { Primeira, JaExiste, Falha };

// The exit code Windows reports for a process that has not ended yet (STILL_ACTIVE).
constexpr uint32_t kCodigoAindaAtivo = 259;

class IProcessos {
 public:
  virtual ~IProcessos() = default;
  // Ids of the running processes whose executable is ACaminho (full path,
  // compared without regard to case). A process whose path cannot be read is
  // left out.
  virtual std::vector<uint32_t> ProcessosDoExecutavel(const std::string& ACaminho) = 0;
  // Opens the process for waiting and reading its exit code; 0 when it cannot
  // (gone already, no rights).
  virtual THandleProcesso Abrir(uint32_t AId) = 0;
  // Waits up to AMilissegundos (kEsperaInfinita: no limit) for the process to end.
  virtual TResultadoEspera Aguardar(THandleProcesso AProcesso, uint32_t AMilissegundos) = 0;
  // The exit code of an ended process; false when it cannot be read.
  virtual bool CodigoSaida(THandleProcesso AProcesso, uint32_t& ACodigo) = 0;
  virtual void Fechar(THandleProcesso AProcesso) = 0;
  // The id of an open process; 0 when it cannot be read.
  virtual uint32_t IdDoProcesso(THandleProcesso AProcesso) = 0;
  // When an open process started, as an opaque count that only compares equal
  // for the same process (an id alone may be given to another one later); 0
  // when it cannot be read.
  virtual uint64_t HoraInicio(THandleProcesso) { return 0; }
  // The same for this program's own process.
  virtual uint64_t HoraInicioPropria() { return 0; }
  // Starts the program with its window shown normally, the quoted path as the
  // command line and the program's folder as working folder; 0 when it fails.
  virtual THandleProcesso Iniciar(const std::string& ACaminho) = 0;
  // Takes the named session-wide mutex, held until this process ends.
  virtual TInstanciaUnica AdquirirInstanciaUnica(const std::string& ANome) = 0;
  // Full path of the running program.
  virtual std::string CaminhoExecutavel() = 0;
  // The command-line arguments after the program name, as UTF-8 (read as
  // UTF-16 on Windows), with the usual quoting rules applied.
  virtual std::vector<std::string> Argumentos() = 0;
  // True when a file (not a folder) exists at the path.
  virtual bool ArquivoExiste(const std::string& ACaminho) = 0;
};

IProcessos& ImplementacaoPadrao(SeamTag<IProcessos>);
inline IProcessos& Processos() {
  return Seam<IProcessos>::Atual();
}
