// Multimedia commands on Windows: mciSendStringW of winmm.
#include <windows.h>
#include <mmsystem.h>

#include "platform/uMci.h"
#include "platform/uWin32Texto.h"

namespace {

class TMciWin32 final : public IMci {
 public:
  uint32_t Enviar(const std::string& AComando, std::string* AResposta,
                  size_t ACapacidade) override {
    const std::wstring comando = ParaWide(AComando);
    if (!AResposta || ACapacidade == 0)
      return static_cast<uint32_t>(mciSendStringW(comando.c_str(), nullptr, 0, nullptr));
    std::wstring buffer(ACapacidade, L'\0');
    const MCIERROR r =
        mciSendStringW(comando.c_str(), buffer.data(), static_cast<UINT>(ACapacidade), nullptr);
    buffer.resize(wcsnlen(buffer.c_str(), ACapacidade));
    *AResposta = DeWide(buffer);
    return static_cast<uint32_t>(r);
  }
};

}  // namespace

IMci& ImplementacaoPadrao(SeamTag<IMci>) {
  static TMciWin32 m;
  return m;
}
