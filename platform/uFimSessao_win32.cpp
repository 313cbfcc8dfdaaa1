// Log-off and installer closes on Windows: the restart registration and the
// hidden window that hears the close.
#include <windows.h>

#include <thread>
#include <utility>

#include "platform/uFimSessao.h"

namespace {

const wchar_t kClasse[] = L"VeskAvisoFimSessao";

struct TOuvinte {
  std::function<void(bool)> AoFechar;
};

LRESULT CALLBACK Procedimento(HWND AJanela, UINT AMsg, WPARAM AW, LPARAM AL) {
  switch (AMsg) {
    case WM_QUERYENDSESSION:
      // Nothing to save: the close is never held up.
      return TRUE;
    case WM_ENDSESSION:
      if (AW) {
        auto* o = reinterpret_cast<TOuvinte*>(GetWindowLongPtrW(AJanela, GWLP_USERDATA));
        if (o && o->AoFechar) {
          try {
            o->AoFechar((AL & ENDSESSION_CLOSEAPP) != 0);
          } catch (...) {
            // No exception leaves a window procedure.
          }
        }
      }
      return 0;
    default:
      return DefWindowProcW(AJanela, AMsg, AW, AL);
  }
}

}  // namespace

bool RegistrarReinicioAposInstalacao() {
  return SUCCEEDED(
      RegisterApplicationRestart(nullptr, RESTART_NO_CRASH | RESTART_NO_HANG | RESTART_NO_REBOOT));
}

bool OuvirFimDeSessao(std::function<void(bool AInstalador)> AAoFechar) {
  // Lives as long as the program: the window and its thread are never ended.
  auto* ouvinte = new TOuvinte{std::move(AAoFechar)};
  HANDLE pronto = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (!pronto) return false;
  bool criada = false;
  std::thread([ouvinte, pronto, &criada] {
    WNDCLASSW c{};
    c.lpfnWndProc = Procedimento;
    c.hInstance = GetModuleHandleW(nullptr);
    c.lpszClassName = kClasse;
    RegisterClassW(&c);
    // Top-level and never shown: a message-only window is not asked.
    HWND j = CreateWindowExW(WS_EX_TOOLWINDOW, kClasse, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                             c.hInstance, nullptr);
    if (j) SetWindowLongPtrW(j, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(ouvinte));
    criada = j != nullptr;
    SetEvent(pronto);
    if (!j) return;
    MSG m;
    while (GetMessageW(&m, nullptr, 0, 0) > 0) {
      TranslateMessage(&m);
      DispatchMessageW(&m);
    }
  }).detach();
  WaitForSingleObject(pronto, INFINITE);
  CloseHandle(pronto);
  return criada;
}
