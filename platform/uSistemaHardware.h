// System facts of the hardware inventory: processors, memory, disk, Windows
// version and WMI. Windows: the system calls and COM; POSIX: a fixed machine
// that tests replace with a double.
#pragma once

#include <cstdint>
#include <string>

#include "platform/uSeam.h"

class ISistemaHardware {
 public:
  virtual ~ISistemaHardware() = default;
  // dwNumberOfProcessors of GetNativeSystemInfo.
  virtual uint32_t NumeroProcessadores() = 0;
  // ullTotalPhys of GlobalMemoryStatusEx; false when the call fails.
  virtual bool MemoriaFisicaTotal(uint64_t& ABytes) = 0;
  // GetDiskFreeSpaceExW on a root ("C:\"): the total size and the free bytes
  // available to the caller; false when the call fails.
  virtual bool EspacoDisco(const std::string& ARaiz, uint64_t& ATotal, uint64_t& ALivre) = 0;
  // GetVersionExW; false when the call fails.
  virtual bool VersaoWindows(uint32_t& AMaior, uint32_t& AMenor, uint32_t& ABuild) = 0;
  // CoInitialize on this thread; true when a CoFinalizarCom must balance it
  // (the call succeeded, also when COM was already initialised).
  virtual bool IniciarCom() = 0;
  virtual void FinalizarCom() = 0;
  // One property of the first object a WMI query returns, through the
  // "WbemScripting.SWbemLocator" object on "." and "root\cimv2": false when
  // any step fails, no object comes, or the value is null or empty.
  virtual bool ConsultarWmi(const std::string& AConsulta, const std::string& APropriedade,
                            std::string& AValor) = 0;
};

ISistemaHardware& ImplementacaoPadrao(SeamTag<ISistemaHardware>);
inline ISistemaHardware& SistemaHardware() {
  return Seam<ISistemaHardware>::Atual();
}
