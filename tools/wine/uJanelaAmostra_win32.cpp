// A plain window of known colours, for tests of the screenshot tooling.
#include "tools/wine/uJanelaAmostra.h"

#include <windows.h>

namespace {

struct TCores {
  COLORREF Fundo;
  COLORREF Centro;
};

COLORREF DeRgb(uint32_t ACor) {
  return RGB((ACor >> 16) & 0xFF, (ACor >> 8) & 0xFF, ACor & 0xFF);
}

void Pintar(HWND AJanela, HDC ADc) {
  const auto* cores = reinterpret_cast<const TCores*>(GetWindowLongPtrW(AJanela, GWLP_USERDATA));
  if (!cores) return;
  RECT r;
  GetClientRect(AJanela, &r);
  HBRUSH fundo = CreateSolidBrush(cores->Fundo);
  FillRect(ADc, &r, fundo);
  DeleteObject(fundo);
  const int lado = (r.right < r.bottom ? r.right : r.bottom) / 2;
  RECT c{(r.right - lado) / 2, (r.bottom - lado) / 2, 0, 0};
  c.right = c.left + lado;
  c.bottom = c.top + lado;
  HBRUSH centro = CreateSolidBrush(cores->Centro);
  FillRect(ADc, &c, centro);
  DeleteObject(centro);
}

LRESULT CALLBACK Procedimento(HWND AJanela, UINT AMsg, WPARAM AW, LPARAM AL) {
  switch (AMsg) {
    case WM_NCCREATE: {
      const auto* cs = reinterpret_cast<const CREATESTRUCTW*>(AL);
      SetWindowLongPtrW(AJanela, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
      break;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(AJanela, &ps);
      Pintar(AJanela, dc);
      EndPaint(AJanela, &ps);
      return 0;
    }
    case WM_PRINTCLIENT:
      Pintar(AJanela, reinterpret_cast<HDC>(AW));
      return 0;
    case WM_NCDESTROY:
      delete reinterpret_cast<TCores*>(GetWindowLongPtrW(AJanela, GWLP_USERDATA));
      SetWindowLongPtrW(AJanela, GWLP_USERDATA, 0);
      break;
  }
  return DefWindowProcW(AJanela, AMsg, AW, AL);
}

const wchar_t* kClasse = L"VeskJanelaAmostra";

void RegistrarClasse() {
  static bool registrada = false;
  if (registrada) return;
  WNDCLASSW wc{};
  wc.lpfnWndProc = Procedimento;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = kClasse;
  registrada = RegisterClassW(&wc) != 0;
}

}  // namespace

void* CriarJanelaAmostra(const std::string& ATitulo, int AX, int AY, int AL, int AA, uint32_t ACor,
                         uint32_t ACorCentro) {
  RegistrarClasse();
  std::wstring titulo(ATitulo.begin(), ATitulo.end());  // test titles are ASCII
  auto* cores = new TCores{DeRgb(ACor), DeRgb(ACorCentro)};
  HWND h = CreateWindowExW(WS_EX_TOOLWINDOW, kClasse, titulo.c_str(), WS_POPUP | WS_VISIBLE, AX, AY,
                           AL, AA, nullptr, nullptr, GetModuleHandleW(nullptr), cores);
  if (!h) {
    delete cores;
    return nullptr;
  }
  UpdateWindow(h);
  return h;
}

void DestruirJanelaAmostra(void* AJanela) {
  if (AJanela) DestroyWindow(static_cast<HWND>(AJanela));
}
