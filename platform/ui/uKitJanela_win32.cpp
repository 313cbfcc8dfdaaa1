// Win32 backend of the UI kit: window classes, the window procedure and top-level windows.
#include <windows.h>
#include <windowsx.h>

#include <algorithm>
#include <exception>
#include <vector>

#include "platform/uWin32Texto.h"
#include "platform/ui/uKitJanelaWin32.h"
#include "platform/ui/uKitBackendWin32.h"
#include "platform/ui/uKitControlesWin32.h"
#include "platform/ui/uKitPinturaWin32.h"

namespace ui::w32 {

namespace {

constexpr wchar_t kPropPeer[] = L"VeskPeer";

HICON IconeDoPrograma(int ATamanho) {
  // The first icon of the executable, the system's default when it has none.
  HMODULE m = GetModuleHandleW(nullptr);
  LPWSTR nome = nullptr;
  EnumResourceNamesW(
      m, RT_GROUP_ICON,
      [](HMODULE, LPCWSTR, LPWSTR n, LONG_PTR l) -> BOOL {
        *reinterpret_cast<LPWSTR*>(l) = n;
        return FALSE;
      },
      reinterpret_cast<LONG_PTR>(&nome));
  HICON i =
      nome ? static_cast<HICON>(LoadImageW(m, nome, IMAGE_ICON, ATamanho, ATamanho, 0)) : nullptr;
  return i ? i : LoadIconW(nullptr, IDI_APPLICATION);
}

TJanela& Janela(TPeerWin32& P) {
  return static_cast<TJanela&>(P.C);
}

// Client size in 96-DPI units, from the window.
TTamanho ClienteLogico(HWND h) {
  RECT r{};
  GetClientRect(h, &r);
  const int dpi = static_cast<int>(GetDpiForWindow(h));
  return {Desescalar(r.right, dpi), Desescalar(r.bottom, dpi)};
}

// What the user or the system did to the window's place and size, into the object.
// The object is not mirrored back meanwhile (WM_SIZE may come before WM_MOVE,
// and a half-reported state would move the window back); a handler that
// changed the geometry is applied once at the end.
void RelatarGeometria(TPeerWin32& P, bool AMovimento) {
  TJanela& J = Janela(P);
  RECT r{};
  GetWindowRect(P.H, &r);
  const int d = DpiTela();
  P.Relatando = true;
  app::ExecutarProtegido([&] {
    J.PosicaoMudou(Desescalar(r.left, d), Desescalar(r.top, d));
    // Both at once: the native window has both already when either message comes.
    const TTamanho t = ClienteLogico(P.H);
    if (t.Largura != J.ClientWidth() || t.Altura != J.ClientHeight() || !AMovimento)
      J.TamanhoMudou(t.Largura, t.Altura);
  });
  P.Relatando = false;
  P.AplicarLimites();
}

HWND PrimeiraParada(TControle& C) {
  for (TControle* f : C.Filhos()) {
    if (!f->Visivel() || !f->Habilitado()) continue;
    if (EhParadaDeTab(*f)) return HandleDe(f);
    if (HWND h = PrimeiraParada(*f)) return h;
  }
  return nullptr;
}

LRESULT TratarJanela(TPeerWin32& P, UINT m, WPARAM w, LPARAM l, bool& ATratado) {
  ATratado = true;
  TJanela& J = Janela(P);
  switch (m) {
    case WM_CLOSE:
      // The object decides; a refused close leaves everything as it was.
      app::ExecutarProtegido([&] { J.Fechar(); });
      return 0;
    case WM_QUERYENDSESSION: {
      // Only a question: another program may still cancel the end, so nothing
      // closes here, and without a handler of its own no window holds it up.
      bool ok = true;
      if (J.AoConsultarFimSessao) app::ExecutarProtegido([&] { ok = J.AoConsultarFimSessao(); });
      return ok ? TRUE : FALSE;
    }
    case WM_ENDSESSION:
      // The session ends for real (a cancelled end comes as FALSE and changes
      // nothing): every wait and loop of the program lets go, and what must be
      // on disk is written before this returns.
      if (w) J.EncerrarSessao();
      return 0;
    case WM_SIZE:
      if (P.Aplicando) return 0;
      if (w == SIZE_MINIMIZED) {
        if (J.Estado() != TEstadoJanela::Minimizada)
          app::ExecutarProtegido([&] { J.EstadoMudou(TEstadoJanela::Minimizada); });
        return 0;
      }
      if (J.Estado() == TEstadoJanela::Minimizada)
        app::ExecutarProtegido([&] { J.EstadoMudou(TEstadoJanela::Normal); });
      RelatarGeometria(P, false);
      return 0;
    case WM_MOVE:
      if (!P.Aplicando && !IsIconic(P.H)) RelatarGeometria(P, true);
      return 0;
    case WM_DPICHANGED: {
      const RECT* r = reinterpret_cast<const RECT*>(l);
      P.Aplicando = true;
      SetWindowPos(P.H, nullptr, r->left, r->top, r->right - r->left, r->bottom - r->top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
      P.Aplicando = false;
      P.ReaplicarArvore();
      AplicarRegiaoJanela(P);
      RelatarGeometria(P, false);
      InvalidateRect(P.H, nullptr, TRUE);
      return 0;
    }
    case WM_ACTIVATE:
      // Keyboard focus comes back to where it was, or to the first tab stop.
      if (LOWORD(w) == WA_INACTIVE) {
        HWND f = GetFocus();
        if (f && IsChild(P.H, f)) P.FocoSalvo = f;
      } else if (!HIWORD(w)) {
        HWND alvo = (P.FocoSalvo && IsWindow(P.FocoSalvo) && IsChild(P.H, P.FocoSalvo))
                        ? P.FocoSalvo
                        : PrimeiraParada(P.C);
        if (alvo) SetFocus(alvo);
      }
      return 0;
    case DM_GETDEFID: {
      // Enter presses the visible, enabled default button of the window.
      std::vector<TControle*> pilha{&J};
      while (!pilha.empty()) {
        TControle* c = pilha.back();
        pilha.pop_back();
        if (c->Tipo() == TTipoControle::Botao && static_cast<TBotao*>(c)->Padrao() &&
            c->Mostrando() && c->Habilitado()) {
          if (auto* p = static_cast<TPeerWin32*>(c->Peer())) return MAKELRESULT(p->Id, DC_HASDEFID);
        }
        for (TControle* f : c->Filhos()) pilha.push_back(f);
      }
      return 0;
    }
    default:
      break;
  }
  ATratado = false;
  return 0;
}

// Mouse of a window that handles it itself (drawn in code): presses, moves
// and releases in 96-DPI client coordinates, the mouse captured while pressed.
bool TratarMouseJanela(TPeerWin32& P, UINT m, WPARAM w, LPARAM l) {
  TJanela& J = Janela(P);
  if (!J.AoMouse) return false;
  TEventoMouse e;
  switch (m) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      e = {TTipoMouse::Baixo, TBotaoMouse::Esquerdo, {}};
      break;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
      e = {TTipoMouse::Baixo, TBotaoMouse::Direito, {}};
      break;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
      e = {TTipoMouse::Baixo, TBotaoMouse::Meio, {}};
      break;
    case WM_LBUTTONUP:
      e = {TTipoMouse::Cima, TBotaoMouse::Esquerdo, {}};
      break;
    case WM_RBUTTONUP:
      e = {TTipoMouse::Cima, TBotaoMouse::Direito, {}};
      break;
    case WM_MBUTTONUP:
      e = {TTipoMouse::Cima, TBotaoMouse::Meio, {}};
      break;
    case WM_MOUSEMOVE:
      e = {TTipoMouse::Move, TBotaoMouse::Nenhum, {}};
      break;
    default:
      return false;
  }
  const int dpi = P.Dpi();
  e.Posicao = {Desescalar(GET_X_LPARAM(l), dpi), Desescalar(GET_Y_LPARAM(l), dpi)};
  if (e.Tipo == TTipoMouse::Baixo) SetCapture(P.H);
  if (e.Tipo == TTipoMouse::Cima && !(w & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON)) &&
      GetCapture() == P.H)
    ReleaseCapture();
  app::ExecutarProtegido([&] { J.EntregarMouse(e); });
  return true;
}

void TratarMouse(TPeerWin32& P, UINT m, LPARAM l) {
  switch (m) {
    case WM_LBUTTONDOWN:
      P.Pressionado = true;
      SetCapture(P.H);
      break;
    case WM_LBUTTONUP: {
      const bool clicou = P.Pressionado && GetCapture() == P.H;
      P.Pressionado = false;
      if (GetCapture() == P.H) ReleaseCapture();
      RECT r{};
      GetClientRect(P.H, &r);
      POINT pt{GET_X_LPARAM(l), GET_Y_LPARAM(l)};
      if (clicou && PtInRect(&r, pt)) app::ExecutarProtegido([&] { P.C.Clicar(); });
      break;
    }
    case WM_LBUTTONDBLCLK:
      // The second press of a double click: no click on its release.
      P.Pressionado = false;
      app::ExecutarProtegido([&] { P.C.DuploClicar(); });
      break;
    case WM_CAPTURECHANGED:
      P.Pressionado = false;
      break;
    default:
      break;
  }
}

}  // namespace

TPeerWin32* PeerDe(HWND AJanela) {
  return AJanela ? static_cast<TPeerWin32*>(GetPropW(AJanela, kPropPeer)) : nullptr;
}

TControle* ControleDe(HWND AJanela) {
  TPeerWin32* p = PeerDe(AJanela);
  return p ? &p->C : nullptr;
}

HWND HandleDe(const TControle* AControle) {
  return AControle ? static_cast<HWND>(AControle->HandleNativo()) : nullptr;
}

void LigarPeer(HWND AJanela, TPeerWin32* APeer) {
  if (APeer)
    SetPropW(AJanela, kPropPeer, APeer);
  else
    RemovePropW(AJanela, kPropPeer);
}

std::string TextoDe(HWND AJanela) {
  const int n = GetWindowTextLengthW(AJanela);
  std::wstring w(static_cast<size_t>(n) + 1, L'\0');
  const int lidos = GetWindowTextW(AJanela, w.data(), n + 1);
  w.resize(static_cast<size_t>(std::max(0, lidos)));
  return DeWide(w);
}

void DefinirTextoNativo(HWND AJanela, const std::string& ATexto) {
  SetWindowTextW(AJanela, ParaWide(ATexto).c_str());
}

void RegistrarClasses() {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = ProcJanela;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = kClasseControle;
  RegisterClassExW(&wc);
  wc.lpszClassName = kClasseJanela;
  wc.hIcon = IconeDoPrograma(GetSystemMetrics(SM_CXICON));
  wc.hIconSm = IconeDoPrograma(GetSystemMetrics(SM_CXSMICON));
  RegisterClassExW(&wc);
}

DWORD EstiloJanela(const TEstiloJanela& E) {
  if (E.SemBorda) return WS_POPUP | WS_CLIPCHILDREN;
  DWORD s = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
  if (E.Redimensionavel) s |= WS_THICKFRAME | WS_MAXIMIZEBOX;
  return s;
}

DWORD EstiloExJanela(const TEstiloJanela& E) {
  DWORD s = WS_EX_CONTROLPARENT;
  if (E.SempreNoTopo) s |= WS_EX_TOPMOST;
  if (E.JanelaFerramenta)
    s |= WS_EX_TOOLWINDOW;
  else if (E.NaBarraDeTarefas)
    s |= WS_EX_APPWINDOW;
  return s;
}

void AplicarEstiloJanela(TPeerWin32& P) {
  const TEstiloJanela& e = Janela(P).Estilo();
  const TEstiloJanela antes = P.EstiloAplicado;
  P.EstiloAplicado = e;
  const DWORD visivel =
      GetWindowLongW(P.H, GWL_STYLE) & (WS_VISIBLE | WS_MINIMIZE | WS_MAXIMIZE | WS_DISABLED);
  SetWindowLongW(P.H, GWL_STYLE, static_cast<LONG>(EstiloJanela(e) | visivel));
  SetWindowLongW(P.H, GWL_EXSTYLE, static_cast<LONG>(EstiloExJanela(e) & ~WS_EX_TOPMOST));
  // A window without a taskbar button is owned by the hidden window.
  SetWindowLongPtrW(P.H, GWLP_HWNDPARENT,
                    reinterpret_cast<LONG_PTR>(
                        e.NaBarraDeTarefas || e.JanelaFerramenta ? nullptr : JanelaOculta()));
  P.Aplicando = true;
  SetWindowPos(P.H, e.SempreNoTopo ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  P.Aplicando = false;
  if (antes.NaBarraDeTarefas != e.NaBarraDeTarefas && IsWindowVisible(P.H)) {
    // The taskbar notices a changed button only when the window shows again.
    ShowWindow(P.H, SW_HIDE);
    ShowWindow(P.H, SW_SHOWNA);
  }
}

void MostrarJanela(TPeerWin32& P) {
  TJanela& J = Janela(P);
  if (!J.Visivel()) {
    ShowWindow(P.H, SW_HIDE);
    return;
  }
  if (J.Estado() == TEstadoJanela::Minimizada)
    ShowWindow(P.H, SW_SHOWMINIMIZED);
  else
    ShowWindow(P.H, J.Estilo().MostrarSemAtivar ? SW_SHOWNOACTIVATE : SW_SHOWNORMAL);
}

void AplicarRegiaoJanela(TPeerWin32& P) {
  const TRegiao& g = Janela(P).Regiao();
  if (g.Vazia()) {
    SetWindowRgn(P.H, nullptr, TRUE);
    return;
  }
  const int dpi = P.Dpi();
  HRGN r = CreateRectRgn(0, 0, 0, 0);
  if (!r) return;
  for (const TRetangulo& q : g.Retangulos) {
    HRGN a = CreateRectRgn(Escalar(q.Left, dpi), Escalar(q.Top, dpi), Escalar(q.Right(), dpi),
                           Escalar(q.Bottom(), dpi));
    if (a) {
      CombineRgn(r, r, a, RGN_OR);
      DeleteObject(a);
    }
  }
  for (const TRegiao::TArredondado& q : g.Arredondados) {
    HRGN a = CreateRoundRectRgn(Escalar(q.L, dpi), Escalar(q.T, dpi), Escalar(q.R, dpi),
                                Escalar(q.B, dpi), Escalar(q.E, dpi), Escalar(q.E, dpi));
    if (a) {
      CombineRgn(r, r, a, RGN_OR);
      DeleteObject(a);
    }
  }
  // The region belongs to the window from here on.
  if (!SetWindowRgn(P.H, r, TRUE)) DeleteObject(r);
}

void AplicarEstadoJanela(TPeerWin32& P) {
  // A hidden window takes its state when it shows again.
  if (!IsWindowVisible(P.H)) return;
  TJanela& J = Janela(P);
  const bool minimizada = IsIconic(P.H) != 0;
  if (J.Estado() == TEstadoJanela::Minimizada && !minimizada) ShowWindow(P.H, SW_MINIMIZE);
  if (J.Estado() == TEstadoJanela::Normal && minimizada) ShowWindow(P.H, SW_RESTORE);
}

namespace {

// The buffer one paint draws into: only as large as the part to paint, so an
// enlarged picture of any size costs a screenful. Released on every way out.
class TBufferPintura {
 public:
  TBufferPintura(HDC ADc, const RECT& AParte) : FParte(AParte) {
    FDc = CreateCompatibleDC(ADc);
    FBmp = CreateCompatibleBitmap(ADc, AParte.right - AParte.left, AParte.bottom - AParte.top);
    if (!FDc || !FBmp) return;
    FAntigo = SelectObject(FDc, FBmp);
    // Drawn in client coordinates, the part lands at the buffer's origin.
    SetViewportOrgEx(FDc, -AParte.left, -AParte.top, nullptr);
  }
  ~TBufferPintura() {
    if (FAntigo) SelectObject(FDc, FAntigo);
    if (FBmp) DeleteObject(FBmp);
    if (FDc) DeleteDC(FDc);
  }
  TBufferPintura(const TBufferPintura&) = delete;
  TBufferPintura& operator=(const TBufferPintura&) = delete;
  HDC Dc() const { return FAntigo ? FDc : nullptr; }
  void Copiar(HDC ADestino) const {
    BitBlt(ADestino, FParte.left, FParte.top, FParte.right - FParte.left,
           FParte.bottom - FParte.top, FDc, FParte.left, FParte.top, SRCCOPY);
  }

 private:
  RECT FParte;
  HDC FDc = nullptr;
  HBITMAP FBmp = nullptr;
  HGDIOBJ FAntigo = nullptr;
};

// BeginPaint and EndPaint, the second also when the painting fails.
class TPintura {
 public:
  explicit TPintura(HWND AJanela) : FJanela(AJanela) { Dc = BeginPaint(AJanela, &Ps); }
  ~TPintura() { EndPaint(FJanela, &Ps); }
  TPintura(const TPintura&) = delete;
  TPintura& operator=(const TPintura&) = delete;
  PAINTSTRUCT Ps{};
  HDC Dc = nullptr;

 private:
  HWND FJanela;
};

void PintarParte(TPeerWin32& P, HDC ADc, RECT AParte) {
  RECT rc{};
  GetClientRect(P.H, &rc);
  const RECT visivel = ParteVisivel(P.H);
  if (!IntersectRect(&AParte, &AParte, &visivel)) return;
  TBufferPintura buffer(ADc, AParte);
  if (!buffer.Dc()) {
    // No memory for a buffer: straight onto the screen, flicker and all.
    Pintar(P, ADc, rc, AParte);
    return;
  }
  Pintar(P, buffer.Dc(), rc, AParte);
  buffer.Copiar(ADc);
}

LRESULT ProcJanelaSemProtecao(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(l);
    LigarPeer(h, static_cast<TPeerWin32*>(cs->lpCreateParams));
  }
  TPeerWin32* p = PeerDe(h);
  if (!p) return DefWindowProcW(h, m, w, l);
  LRESULT r = 0;
  if (TratarMensagemDeFilho(h, m, w, l, r)) return r;
  const bool topo = p->C.Tipo() == TTipoControle::Janela;
  if (topo) {
    bool tratado = false;
    r = TratarJanela(*p, m, w, l, tratado);
    if (tratado) return r;
  }
  switch (m) {
    case WM_ERASEBKGND:
      return 1;  // WM_PAINT paints everything, through a buffer
    case WM_PAINT: {
      TPintura pintura(h);
      if (pintura.Dc) PintarParte(*p, pintura.Dc, pintura.Ps.rcPaint);
      return 0;
    }
    case WM_PRINTCLIENT: {
      HDC dc = reinterpret_cast<HDC>(w);
      RECT parte{};
      GetClientRect(h, &parte);
      RECT recorte{};
      if (GetClipBox(dc, &recorte) != ERROR && !IntersectRect(&parte, &parte, &recorte)) return 0;
      PintarParte(*p, dc, parte);
      return 0;
    }
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MBUTTONDBLCLK:
    case WM_MOUSEMOVE:
      if (topo && TratarMouseJanela(*p, m, w, l)) return 0;
      break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_CAPTURECHANGED:
      if (topo && TratarMouseJanela(*p, m, w, l)) return 0;
      if (!topo) {
        TratarMouse(*p, m, l);
        return 0;
      }
      break;
    case WM_VSCROLL:
    case WM_HSCROLL:
      if (p->C.Tipo() == TTipoControle::Rolagem && !l) {
        TratarRolagem(*p, m == WM_VSCROLL, LOWORD(w));
        return 0;
      }
      break;
    case WM_MOUSEWHEEL:
      // Wheel turns that did not come through our loops (a foreign modal loop).
      if (RotearRoda(h, w, l)) return 0;
      break;
    default:
      break;
  }
  if (topo) {
    bool tratado = false;
    app::ExecutarProtegido([&] {
      tratado = static_cast<TJanela&>(p->C).EntregarMensagem(m, static_cast<uintptr_t>(w),
                                                             static_cast<intptr_t>(l));
    });
    if (tratado) return 0;
  }
  return DefWindowProcW(h, m, w, l);
}

// At most one report a second: a failure that repeats on every paint must not
// fill the log.
DWORD GUltimoRelato = 0;
bool GRelatou = false;

}  // namespace

LRESULT CALLBACK ProcJanela(HWND h, UINT m, WPARAM w, LPARAM l) {
  return Protegido(h, m, w, l, [&] { return ProcJanelaSemProtecao(h, m, w, l); });
}

RECT ParteVisivel(HWND AJanela) {
  RECT r{};
  GetClientRect(AJanela, &r);
  for (HWND filho = AJanela; GetWindowLongW(filho, GWL_STYLE) & WS_CHILD;) {
    HWND pai = GetParent(filho);
    if (!pai) break;
    RECT p{};
    GetClientRect(pai, &p);
    MapWindowPoints(pai, AJanela, reinterpret_cast<POINT*>(&p), 2);
    if (!IntersectRect(&r, &r, &p)) return RECT{};
    filho = pai;
  }
  return r;
}

void RelatarFalhaJanela(HWND AJanela, UINT AMsg, const char* ATexto) noexcept {
  try {
    const DWORD agora = GetTickCount();
    if (GRelatou && agora - GUltimoRelato < 1000) return;
    GRelatou = true;
    GUltimoRelato = agora;
    const TControle* c = ControleDe(AJanela);
    char msg[16];
    wsprintfA(msg, "0x%04X", AMsg);
    app::RelatarFalha("Erro na janela " + (c && !c->Nome.empty() ? c->Nome : std::string("?")) +
                      " (mensagem " + msg + "): " + ATexto);
  } catch (...) {
    // Nothing more can be done for the report; the window goes on.
  }
}

}  // namespace ui::w32
