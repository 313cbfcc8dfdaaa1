// Hardware facts natively: the real processor count, memory and disk of this
// machine; no Windows version and no WMI.
#include <sys/statvfs.h>
#include <sys/sysinfo.h>
#include <unistd.h>

#include "platform/uSistemaHardware.h"

namespace {

class TSistemaHardwarePosix final : public ISistemaHardware {
 public:
  uint32_t NumeroProcessadores() override {
    const long n = sysconf(_SC_NPROCESSORS_ONLN);
    return n > 0 ? static_cast<uint32_t>(n) : 0;
  }
  bool MemoriaFisicaTotal(uint64_t& ABytes) override {
    struct sysinfo si {};
    if (sysinfo(&si) != 0) return false;
    ABytes = static_cast<uint64_t>(si.totalram) * si.mem_unit;
    return true;
  }
  bool EspacoDisco(const std::string&, uint64_t& ATotal, uint64_t& ALivre) override {
    struct statvfs s {};
    if (statvfs("/", &s) != 0) return false;
    ATotal = static_cast<uint64_t>(s.f_blocks) * s.f_frsize;
    ALivre = static_cast<uint64_t>(s.f_bavail) * s.f_frsize;
    return true;
  }
  bool VersaoWindows(uint32_t&, uint32_t&, uint32_t&) override { return false; }
  bool IniciarCom() override { return false; }
  void FinalizarCom() override {}
  bool ConsultarWmi(const std::string&, const std::string&, std::string&) override { return false; }
};

}  // namespace

ISistemaHardware& ImplementacaoPadrao(SeamTag<ISistemaHardware>) {
  static TSistemaHardwarePosix s;
  return s;
}
