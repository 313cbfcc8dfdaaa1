// System facts on Windows.
#include <windows.h>

#include <vector>

#include "platform/uSistema.h"
#include "platform/uTexto.h"
#include "platform/uWin32Texto.h"

namespace {

class TSistemaWin32 final : public ISistema {
 public:
  bool NomeComputador(std::string& ANome) override {
    wchar_t buf[17] = {};
    DWORD n = 17;
    if (!GetComputerNameW(buf, &n)) return false;
    ANome = DeWide(buf);
    return true;
  }
  bool NomeUsuarioLogon(std::string& ANome) override {
    wchar_t buf[256] = {};
    DWORD n = 256;
    if (!GetUserNameW(buf, &n)) return false;
    ANome = DeWide(buf);
    return true;
  }
  bool Variavel(const std::string& ANome, std::string& AValor) override {
    const std::wstring nome = ParaWide(ANome);
    SetLastError(ERROR_SUCCESS);
    DWORD n = GetEnvironmentVariableW(nome.c_str(), nullptr, 0);
    if (n == 0) {
      if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return false;
      AValor.clear();
      return true;
    }
    std::vector<wchar_t> buf(n + 1);
    n = GetEnvironmentVariableW(nome.c_str(), buf.data(), static_cast<DWORD>(buf.size()));
    AValor = DeWide(std::wstring(buf.data(), n));
    return true;
  }
  uint32_t IdProcesso() override { return GetCurrentProcessId(); }
};

}  // namespace

ISistema& ImplementacaoPadrao(SeamTag<ISistema>) {
  static TSistemaWin32 s;
  return s;
}
