// A small program for the driver's tests: this test program started with
// VESK_DRIVER_AMOSTRA=1 shows a window of known controls and writes every event
// it receives into a label, so that another process can act and read back.
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <string>

#include "tests/driver/uAmostraDriver.h"

namespace {

HWND GEventos = nullptr;
HWND GEdit = nullptr;

void Evento(const std::wstring& AEvento) {
  const int n = GetWindowTextLengthW(GEventos);
  std::wstring t(static_cast<size_t>(n) + 1, L'\0');
  t.resize(static_cast<size_t>(GetWindowTextW(GEventos, t.data(), n + 1)));
  SetWindowTextW(GEventos, (t + AEvento + L";").c_str());
}

std::wstring TextoDe(HWND AJanela) {
  const int n = GetWindowTextLengthW(AJanela);
  std::wstring t(static_cast<size_t>(n) + 1, L'\0');
  t.resize(static_cast<size_t>(GetWindowTextW(AJanela, t.data(), n + 1)));
  return t;
}

LRESULT CALLBACK ProcPainel(HWND AJanela, UINT AMsg, WPARAM AW, LPARAM AL) {
  if (AMsg == WM_LBUTTONUP) {
    Evento(L"painel=" + std::to_wstring(static_cast<short>(LOWORD(AL))) + L"," +
           std::to_wstring(static_cast<short>(HIWORD(AL))));
    return 0;
  }
  return DefWindowProcW(AJanela, AMsg, AW, AL);
}

HWND Filho(HWND APai, const wchar_t* AClasse, const wchar_t* ATexto, DWORD AEstilo, int AX, int AY,
           int AL, int AA, int AId) {
  return CreateWindowExW(0, AClasse, ATexto, WS_CHILD | AEstilo, AX, AY, AL, AA, APai,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(AId)), nullptr, nullptr);
}

void Criar(HWND AJanela) {
  GEventos = Filho(AJanela, L"Static", L"", WS_VISIBLE, 10, 10, 560, 20, kIdEventos);
  // The arguments as this process received them, and the variable it was given.
  int n = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &n);
  std::wstring args;
  for (int i = 1; i < n; ++i) args += (i > 1 ? L"|" : L"") + std::wstring(argv[i]);
  LocalFree(argv);
  wchar_t eco[256] = {};
  GetEnvironmentVariableW(L"VESK_DRIVER_ECO", eco, 256);
  Filho(AJanela, L"Static", (args + L"#" + eco).c_str(), WS_VISIBLE, 10, 34, 560, 20,
        kIdArgumentos);
  Filho(AJanela, L"Button", L"&Salvar", WS_VISIBLE | BS_PUSHBUTTON, 10, 60, 90, 26, kIdSalvar);
  Filho(AJanela, L"Button", L"Concordo", WS_VISIBLE | BS_AUTOCHECKBOX, 110, 60, 120, 26,
        kIdConcordo);
  GEdit = Filho(AJanela, L"Edit", L"", WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL, 240, 60, 200, 24,
                kIdEdit);
  HWND abas = Filho(AJanela, WC_TABCONTROLW, L"", WS_VISIBLE, 10, 96, 430, 90, kIdAbas);
  const wchar_t* nomes[] = {L"Geral", L"Tarefas", L"Log"};
  for (int i = 0; i < 3; ++i) {
    TCITEMW it{};
    it.mask = TCIF_TEXT;
    it.pszText = const_cast<wchar_t*>(nomes[i]);
    SendMessageW(abas, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&it));
  }
  Filho(AJanela, kClassePainel, L"", WS_VISIBLE, kPainelX, kPainelY, kPainelL, kPainelA, kIdPainel);
  Filho(AJanela, L"Button", L"Perguntar", WS_VISIBLE | BS_PUSHBUTTON, 160, 200, 90, 26,
        kIdPerguntar);
  Filho(AJanela, L"Static", L"Oculto", 0, 260, 200, 60, 20, kIdOculto);
}

LRESULT CALLBACK ProcPrincipal(HWND AJanela, UINT AMsg, WPARAM AW, LPARAM AL) {
  switch (AMsg) {
    case WM_CREATE:
      Criar(AJanela);
      return 0;
    case WM_COMMAND: {
      const int id = LOWORD(AW), codigo = HIWORD(AW);
      if (id == kIdSalvar && codigo == BN_CLICKED) Evento(L"salvar");
      if (id == kIdConcordo && codigo == BN_CLICKED)
        Evento(L"check=" +
               std::to_wstring(SendMessageW(reinterpret_cast<HWND>(AL), BM_GETCHECK, 0, 0)));
      if (id == kIdEdit && codigo == EN_CHANGE) Evento(L"edit=" + TextoDe(GEdit));
      if (id == kIdPerguntar && codigo == BN_CLICKED) {
        const int r = MessageBoxW(AJanela, L"Deseja continuar?", L"Pergunta", MB_YESNO);
        Evento(L"resposta=" + std::to_wstring(r));
      }
      return 0;
    }
    case WM_NOTIFY: {
      const auto* n = reinterpret_cast<const NMHDR*>(AL);
      if (n->idFrom != static_cast<UINT_PTR>(kIdAbas)) break;
      // The word "travar" in the edit holds the current tab.
      if (n->code == TCN_SELCHANGING) return TextoDe(GEdit) == L"travar";
      if (n->code == TCN_SELCHANGE)
        Evento(L"aba=" + std::to_wstring(SendMessageW(n->hwndFrom, TCM_GETCURSEL, 0, 0)));
      return 0;
    }
    case WM_DESTROY:
      PostQuitMessage(kSaidaAmostra);
      return 0;
  }
  return DefWindowProcW(AJanela, AMsg, AW, AL);
}

int RodarAmostra() {
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_TAB_CLASSES};
  InitCommonControlsEx(&icc);
  WNDCLASSW c{};
  c.lpfnWndProc = ProcPainel;
  c.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  c.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_HIGHLIGHT + 1);
  c.lpszClassName = kClassePainel;
  RegisterClassW(&c);
  c.lpfnWndProc = ProcPrincipal;
  c.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  c.lpszClassName = kClasseAmostra;
  RegisterClassW(&c);
  HWND j = CreateWindowExW(0, kClasseAmostra, kTituloAmostra, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50,
                           50, 600, 300, nullptr, nullptr, nullptr, nullptr);
  if (!j) return 1;
  MSG m;
  // Never outlive a test that forgot to close it.
  SetTimer(j, 1, 60000, [](HWND AJ, UINT, UINT_PTR, DWORD) { DestroyWindow(AJ); });
  while (GetMessageW(&m, nullptr, 0, 0) > 0) {
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }
  return static_cast<int>(m.wParam);
}

// Runs before the test framework's main, and only in the copy started as the sample.
const bool kEhAmostra = [] {
  wchar_t v[8] = {};
  if (GetEnvironmentVariableW(L"VESK_DRIVER_AMOSTRA", v, 8) == 1 && v[0] == L'1')
    ExitProcess(static_cast<UINT>(RodarAmostra()));
  return false;
}();

}  // namespace

bool EhProcessoAmostra() {
  return kEhAmostra;
}
