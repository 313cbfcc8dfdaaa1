// Notification-area icon on Windows: Shell_NotifyIconW.
#include <windows.h>
#include <shellapi.h>

#include "platform/uBandeja.h"

namespace {

class TBandejaWin32 final : public IBandeja {
 public:
  bool Notificar(TAcaoIcone AAcao, const TDadosIcone& ADados) override {
    NOTIFYICONDATAW d;
    ZeroMemory(&d, sizeof(d));
    d.cbSize = ADados.cbSize;
    d.hWnd = static_cast<HWND>(ADados.hWnd);
    d.uID = ADados.uID;
    d.uFlags = ADados.uFlags;
    d.uCallbackMessage = ADados.uCallbackMessage;
    d.hIcon = static_cast<HICON>(ADados.hIcon);
    DWORD msg = NIM_ADD;
    if (AAcao == TAcaoIcone::Modificar) msg = NIM_MODIFY;
    if (AAcao == TAcaoIcone::Remover) msg = NIM_DELETE;
    return Shell_NotifyIconW(msg, &d) != FALSE;
  }

  uint32_t TamanhoEstrutura() override { return sizeof(NOTIFYICONDATAW); }

  void* IconeAplicacao() override {
    // The program's own icon is resource 1 of the executable.
    HICON icone = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1));
    if (!icone) icone = LoadIconW(nullptr, IDI_APPLICATION);
    return icone;
  }
};

}  // namespace

IBandeja& ImplementacaoPadrao(SeamTag<IBandeja>) {
  static TBandejaWin32 b;
  return b;
}
