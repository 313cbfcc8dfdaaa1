// System facts on POSIX.
#include <pwd.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/uSistema.h"
#include "platform/uTexto.h"

namespace {

class TSistemaPosix final : public ISistema {
 public:
  bool NomeComputador(std::string& ANome) override {
    utsname u{};
    if (uname(&u) != 0) return false;
    // The NetBIOS name holds at most 15 characters in upper case; keep the host
    // name's first 15 as a Windows computer would report it.
    ANome = MaiusculasAscii(CortarUtf16(u.nodename, 15));
    return !ANome.empty();
  }
  bool NomeUsuarioLogon(std::string& ANome) override {
    passwd* pw = getpwuid(getuid());
    if (!pw || !pw->pw_name) return false;
    ANome = CortarUtf16(pw->pw_name, 255);
    return true;
  }
  bool Variavel(const std::string& ANome, std::string& AValor) override {
    const char* v = std::getenv(ANome.c_str());
    if (!v) return false;
    AValor = v;
    return true;
  }
  uint32_t IdProcesso() override { return static_cast<uint32_t>(getpid()); }
};

}  // namespace

ISistema& ImplementacaoPadrao(SeamTag<ISistema>) {
  static TSistemaPosix s;
  return s;
}
