// Clock and sleep on Windows.
#include <windows.h>

#include "platform/uRelogio.h"

namespace {

class TRelogioWin32 final : public IRelogio {
 public:
  TDateTime Agora() override {
    SYSTEMTIME st{};
    GetLocalTime(&st);
    TPartesDataHora p;
    p.Ano = st.wYear;
    p.Mes = st.wMonth;
    p.Dia = st.wDay;
    p.Hora = st.wHour;
    p.Minuto = st.wMinute;
    p.Segundo = st.wSecond;
    p.Milissegundo = st.wMilliseconds;
    return CodificarDataHora(p);
  }
  void Dormir(uint32_t AMilissegundos) override { Sleep(AMilissegundos); }
  uint32_t TickCount() override { return GetTickCount(); }
};

}  // namespace

IRelogio& ImplementacaoPadrao(SeamTag<IRelogio>) {
  static TRelogioWin32 r;
  return r;
}
