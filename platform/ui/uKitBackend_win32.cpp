// Win32 backend of the UI kit: the backend object, message loops, timers and screen facts.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <unordered_map>
#include <vector>

#include "platform/uWin32Texto.h"
#include "platform/ui/uKitBackendWin32.h"
#include "platform/ui/uKitCaixasWin32.h"
#include "platform/ui/uKitJanelaWin32.h"
#include "platform/ui/uKitPinturaWin32.h"

namespace ui {

namespace w32 {

namespace {

// The message being dispatched is a wheel turn that the loop already routed.
bool GRodaRoteada = false;

void ColetarParadas(TControle& C, std::vector<TControle*>& AOut) {
  if (!C.Visivel() || !C.Habilitado()) return;
  if (EhParadaDeTab(C)) AOut.push_back(&C);
  for (TControle* f : C.Filhos()) ColetarParadas(*f, AOut);
}

// Tab walks the controls in the order they were built, as the window's author
// laid them out; the native order (z-order) has the newest first.
bool TratarTab(HWND ARaiz, const MSG& AMsg) {
  if (AMsg.message != WM_KEYDOWN || AMsg.wParam != VK_TAB) return false;
  if (GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0) return false;
  HWND foco = GetFocus();
  if (foco &&
      (SendMessageW(foco, WM_GETDLGCODE, VK_TAB, reinterpret_cast<LPARAM>(&AMsg)) & DLGC_WANTTAB))
    return false;
  TControle* raiz = ControleDe(ARaiz);
  if (!raiz) return false;
  std::vector<TControle*> paradas;
  ColetarParadas(*raiz, paradas);
  if (paradas.empty()) return true;
  TControle* atual = nullptr;
  for (HWND h = foco; h && h != ARaiz && !atual; h = GetParent(h)) atual = ControleDe(h);
  auto it = std::find(paradas.begin(), paradas.end(), atual);
  const bool voltar = GetKeyState(VK_SHIFT) < 0;
  size_t i = 0;
  if (it != paradas.end()) {
    const size_t k = static_cast<size_t>(it - paradas.begin());
    i = voltar ? (k + paradas.size() - 1) % paradas.size() : (k + 1) % paradas.size();
  } else if (voltar) {
    i = paradas.size() - 1;
  }
  HWND alvo = HandleDe(paradas[i]);
  SetFocus(alvo);
  if (paradas[i]->Tipo() == TTipoControle::Edicao) SendMessageW(alvo, EM_SETSEL, 0, -1);
  return true;
}

}  // namespace

bool EhParadaDeTab(const TControle& C) {
  switch (C.Tipo()) {
    case TTipoControle::Botao:
    case TTipoControle::Edicao:
    case TTipoControle::Memo:
    case TTipoControle::Marcacao:
    case TTipoControle::Paginas:
      return true;
    default:
      return false;
  }
}

int DpiTela() {
  static const int dpi = [] {
    const UINT d = GetDpiForSystem();
    return d ? static_cast<int>(d) : 96;
  }();
  return dpi;
}

void Despachar(MSG& AMsg) {
  if (AMsg.message == WM_MOUSEWHEEL) {
    if (RotearRoda(AMsg.hwnd, AMsg.wParam, AMsg.lParam)) return;
    GRodaRoteada = true;
  }
  // Tab, Enter and Escape the way dialogs have them, in every window of ours.
  HWND raiz = AMsg.hwnd ? GetAncestor(AMsg.hwnd, GA_ROOT) : nullptr;
  if (raiz && PeerDe(raiz) && (TratarTab(raiz, AMsg) || IsDialogMessageW(raiz, &AMsg))) {
    GRodaRoteada = false;
    return;
  }
  TranslateMessage(&AMsg);
  DispatchMessageW(&AMsg);
  GRodaRoteada = false;
}

bool RotearRoda(HWND, WPARAM AW, LPARAM AL) {
  if (GRodaRoteada) return false;
  POINT pt{static_cast<short>(LOWORD(AL)), static_cast<short>(HIWORD(AL))};
  HWND alvo = WindowFromPoint(pt);
  if (!alvo || GetWindowThreadProcessId(alvo, nullptr) != GetCurrentThreadId()) return false;
  const int delta = GET_WHEEL_DELTA_WPARAM(AW);
  const bool ctrl = (GET_KEYSTATE_WPARAM(AW) & MK_CONTROL) != 0;
  // The control under the cursor first, then its parents.
  for (TControle* c = ControleDe(alvo); c; c = c->Pai()) {
    bool tratado = false;
    app::ExecutarProtegido([&] { tratado = c->RodarMouse(delta, ctrl); });
    if (tratado) return true;
    if (c->Tipo() == TTipoControle::Rolagem) {
      // A scroll box without a handler of its own scrolls its content.
      auto* r = static_cast<TRolagem*>(c);
      if (r->BarraVerticalVisivel()) {
        app::ExecutarProtegido(
            [&] { r->DefinirPosicaoVertical(r->PosicaoVertical() - delta * 48 / WHEEL_DELTA); });
        return true;
      }
    }
  }
  return false;
}

namespace {

class TBackendWin32 final : public TBackend {
 public:
  TBackendWin32() {
    // The manifest declares per-monitor v2; test programs have no manifest.
    SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_TAB_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    RegistrarClasses();
    // Made here, on the UI thread: other threads only post to it.
    FOculta = JanelaOculta();
  }

  void Acordar() override { PostMessageW(FOculta, kMsgPostados, 0, 0); }

  std::unique_ptr<TPeer> CriarPeer(TControle& AControle) override {
    auto p = std::make_unique<TPeerWin32>(AControle);
    p->Criar();
    return p;
  }

  void ProcessarMensagens() override {
    MSG m;
    // Only what is pending: a stream of new messages must not keep us here.
    for (int i = 0; i < 5000 && PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE); ++i) {
      if (m.message == WM_QUIT) {
        Quit(static_cast<int>(m.wParam));
        break;
      }
      Despachar(m);
    }
  }

  void Executar() override {
    MSG m;
    while (!FTerminando) {
      const BOOL r = GetMessageW(&m, nullptr, 0, 0);
      if (r == 0 || r == -1) {
        FTerminando = true;
        break;
      }
      Despachar(m);
    }
  }

  void Terminar() override {
    FTerminando = true;
    PostQuitMessage(0);
  }
  bool Terminando() override { return FTerminando; }

  void ExibirModal(TJanela& AJanela) override {
    // The other windows of the thread take no input while the modal one runs.
    std::vector<HWND> desabilitadas;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND h, LPARAM l) -> BOOL {
          if (IsWindowVisible(h) && IsWindowEnabled(h)) {
            reinterpret_cast<std::vector<HWND>*>(l)->push_back(h);
          }
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&desabilitadas));
    HWND propria = HandleDe(&AJanela);
    desabilitadas.erase(std::remove(desabilitadas.begin(), desabilitadas.end(), propria),
                        desabilitadas.end());
    for (HWND h : desabilitadas) EnableWindow(h, FALSE);
    AJanela.Mostrar();
    MSG m;
    while (!AJanela.Fechada() && !FTerminando) {
      const BOOL r = GetMessageW(&m, nullptr, 0, 0);
      if (r == 0 || r == -1) {
        Quit(r == 0 ? static_cast<int>(m.wParam) : 0);
        break;
      }
      Despachar(m);
    }
    for (HWND h : desabilitadas)
      if (IsWindow(h)) EnableWindow(h, TRUE);
  }

  TResposta CaixaMensagem(TJanela* ADono, const std::string& ATexto, const std::string& ATitulo,
                          TTipoCaixa ATipo, TBotoesCaixa ABotoes) override {
    return CaixaMensagemWin32(ADono, ATexto, ATitulo, ATipo, ABotoes);
  }

  bool CaixaEntrada(const std::string& ATitulo, const std::string& APrompt,
                    std::string& AValor) override {
    return CaixaEntradaWin32(ATitulo, APrompt, AValor);
  }

  TRetangulo AreaDeTrabalho() override {
    RECT r{};
    if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &r, 0)) return {0, 0, 1024, 768};
    const int d = DpiTela();
    return {Desescalar(r.left, d), Desescalar(r.top, d), Desescalar(r.right - r.left, d),
            Desescalar(r.bottom - r.top, d)};
  }

  TEstadoJanela EstadoInicial() override {
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    GetStartupInfoW(&si);
    if (!(si.dwFlags & STARTF_USESHOWWINDOW)) return TEstadoJanela::Normal;
    switch (si.wShowWindow) {
      case SW_MINIMIZE:
      case SW_SHOWMINIMIZED:
      case SW_SHOWMINNOACTIVE:
      case SW_FORCEMINIMIZE:
        return TEstadoJanela::Minimizada;
      default:
        return TEstadoJanela::Normal;
    }
  }

  TPonto PosicaoCursor() override {
    POINT p{};
    GetCursorPos(&p);
    return {Desescalar(p.x, DpiTela()), Desescalar(p.y, DpiTela())};
  }

  TTamanho MedirTexto(const TFonte& AFonte, const std::string& ATexto) override {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ antiga = SelectObject(dc, FonteGdi(AFonte, 96));
    RECT r{0, 0, 0, 0};
    TTamanho t;
    if (ATexto.empty()) {
      TEXTMETRICW tm{};
      GetTextMetricsW(dc, &tm);
      t = {0, tm.tmHeight};
    } else {
      const std::wstring w = ParaWide(ATexto);
      DrawTextW(dc, w.c_str(), static_cast<int>(w.size()), &r,
                DT_CALCRECT | DT_NOPREFIX | DT_EXPANDTABS);
      t = {r.right - r.left, r.bottom - r.top};
    }
    SelectObject(dc, antiga);
    DeleteDC(dc);
    return t;
  }

  uint32_t RegistrarMensagem(const std::string& ANome) override {
    return RegisterWindowMessageW(ParaWide(ANome).c_str());
  }

  void TemporizadorMudou(TTemporizador& T) override {
    UINT_PTR id = reinterpret_cast<UINT_PTR>(T.DadosBackend);
    if (!id) {
      id = ++FProximoTimer;
      T.DadosBackend = reinterpret_cast<void*>(id);
      FTimers[id] = &T;
    }
    // SetTimer on a running id restarts its countdown, which a new interval asks for.
    if (T.Habilitado() && T.Intervalo() > 0)
      SetTimer(JanelaOculta(), id, T.Intervalo(), nullptr);
    else
      KillTimer(JanelaOculta(), id);
  }

  void TemporizadorDestruido(TTemporizador& T) override {
    const UINT_PTR id = reinterpret_cast<UINT_PTR>(T.DadosBackend);
    if (!id) return;
    KillTimer(JanelaOculta(), id);
    FTimers.erase(id);
    T.DadosBackend = nullptr;
  }

  void Disparar(UINT_PTR AId) {
    auto it = FTimers.find(AId);
    if (it == FTimers.end()) {
      KillTimer(JanelaOculta(), AId);
      return;
    }
    TTemporizador* t = it->second;
    app::ExecutarProtegido([t] { t->Disparar(); });
  }

  void ExibirMenu(TMenuPopup& AMenu, TJanela* ADono, TPonto APosicao) override {
    ExibirMenuWin32(AMenu, ADono, APosicao);
  }

  void AcaoJanela(TJanela& AJanela, TAcaoJanela AAcao) override {
    HWND h = HandleDe(&AJanela);
    if (AAcao == TAcaoJanela::Centralizar) {
      AJanela.Centralizar();
      return;
    }
    if (!h) return;
    switch (AAcao) {
      case TAcaoJanela::TopoSemAtivar: {
        const int d = DpiTela();
        RECT r{};
        GetWindowRect(h, &r);
        SetWindowPos(h, HWND_TOPMOST, Escalar(AJanela.Left(), d), Escalar(AJanela.Top(), d),
                     r.right - r.left, r.bottom - r.top, SWP_SHOWWINDOW | SWP_NOACTIVATE);
        UpdateWindow(h);
        return;
      }
      case TAcaoJanela::Piscar:
        FlashWindow(h, TRUE);
        return;
      case TAcaoJanela::Repintar:
        InvalidateRect(h, nullptr, FALSE);
        return;
      default:
        break;
    }
    if (AAcao == TAcaoJanela::PrimeiroPlano) {
      SetForegroundWindow(h);
      return;
    }
    // Undoes a minimise or hide that came from outside the kit.
    if (AJanela.Visivel()) ShowWindow(h, SW_SHOWNORMAL);
    SetWindowPos(h, AJanela.Estilo().SempreNoTopo ? HWND_TOPMOST : HWND_TOP, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | (AJanela.Visivel() ? SWP_SHOWWINDOW : 0));
    BringWindowToTop(h);
  }

  TTamanho TamanhoBarrasRolagem(const TRolagem& R) override {
    HWND h = HandleDe(&R);
    const int dpi = h ? static_cast<int>(GetDpiForWindow(h)) : DpiTela();
    // Rounded up: a bar never hides more of the content than the kit allows for.
    auto logico = [dpi](int AFisico) { return (AFisico * 96 + dpi - 1) / dpi; };
    return {logico(GetSystemMetricsForDpi(SM_CXVSCROLL, static_cast<UINT>(dpi))),
            logico(GetSystemMetricsForDpi(SM_CYHSCROLL, static_cast<UINT>(dpi)))};
  }

  bool JanelaNaTela(const TJanela& AJanela) override {
    HWND h = HandleDe(&AJanela);
    if (!h) return TBackend::JanelaNaTela(AJanela);
    return IsWindowVisible(h) && !IsIconic(h);
  }

  TTamanho TamanhoExterno(const TJanela& J) override {
    RECT r{0, 0, J.ClientWidth(), J.ClientHeight()};
    AdjustWindowRectExForDpi(&r, EstiloJanela(J.Estilo()), FALSE, EstiloExJanela(J.Estilo()), 96);
    return {r.right - r.left, r.bottom - r.top};
  }

  std::vector<std::string> LinhasVisuais(const TMemo& M) override {
    HWND h = HandleDe(&M);
    if (!h) return M.Linhas();
    // The lines as the edit control wrapped them.
    const std::wstring texto = ParaWide(TextoDe(h));
    const int n = static_cast<int>(SendMessageW(h, EM_GETLINECOUNT, 0, 0));
    std::vector<std::string> out;
    for (int i = 0; i < n; ++i) {
      const LRESULT ini = SendMessageW(h, EM_LINEINDEX, static_cast<WPARAM>(i), 0);
      if (ini < 0) break;
      const LRESULT len = SendMessageW(h, EM_LINELENGTH, static_cast<WPARAM>(ini), 0);
      const size_t a = std::min(static_cast<size_t>(ini), texto.size());
      out.push_back(DeWide(texto.substr(a, static_cast<size_t>(std::max<LRESULT>(0, len)))));
    }
    return out;
  }

  TRetangulo AreaPaginas(const TPaginas& P) override {
    HWND h = HandleDe(&P);
    if (!h) return TBackend::AreaPaginas(P);
    // What the tab control reports for its size, in 96-DPI units.
    const int dpi = static_cast<int>(GetDpiForWindow(h));
    RECT r{0, 0, Escalar(P.Width(), dpi), Escalar(P.Height(), dpi)};
    SendMessageW(h, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&r));
    const int l = Desescalar(r.left, dpi), t = Desescalar(r.top, dpi);
    return {l, t, std::max(0, Desescalar(r.right, dpi) - l),
            std::max(0, Desescalar(r.bottom, dpi) - t)};
  }

 private:
  void Quit(int ACodigo) {
    // A nested loop took the quit message: keep it for the outer loop.
    FTerminando = true;
    PostQuitMessage(ACodigo);
  }

  bool FTerminando = false;
  HWND FOculta = nullptr;
  UINT_PTR FProximoTimer = 0;
  std::unordered_map<UINT_PTR, TTemporizador*> FTimers;
};

TBackendWin32& B() {
  static TBackendWin32 b;
  return b;
}

LRESULT CALLBACK ProcOculta(HWND h, UINT m, WPARAM w, LPARAM l) {
  return Protegido(h, m, w, l, [&]() -> LRESULT {
    if (m == WM_TIMER) {
      B().Disparar(w);
      return 0;
    }
    if (m == kMsgPostados) {
      app::ExecutarPostados();
      return 0;
    }
    return DefWindowProcW(h, m, w, l);
  });
}

}  // namespace

HWND JanelaOculta() {
  static HWND h = [] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = ProcOculta;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kClasseOculta;
    RegisterClassExW(&wc);
    // A hidden top-level window: it hosts the timers, owns the windows that
    // want no taskbar button, and receives menu commands without a window.
    return CreateWindowExW(WS_EX_TOOLWINDOW, kClasseOculta, L"", WS_POPUP, 0, 0, 0, 0, nullptr,
                           nullptr, GetModuleHandleW(nullptr), nullptr);
  }();
  return h;
}

}  // namespace w32

TBackend& Backend() {
  return w32::B();
}

}  // namespace ui
