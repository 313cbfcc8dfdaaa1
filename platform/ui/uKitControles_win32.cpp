// Win32 backend of the UI kit: the native counterpart of each control and its mirroring.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <unordered_map>

#include "platform/uWin32Texto.h"
#include "platform/ui/uKitControlesWin32.h"
#include "platform/ui/uKitBackendWin32.h"
#include "platform/ui/uKitJanelaWin32.h"
#include "platform/ui/uKitPinturaWin32.h"

namespace ui::w32 {

namespace {

std::unordered_map<UINT, TPeerWin32*>& Ids() {
  static std::unordered_map<UINT, TPeerWin32*> m;
  return m;
}

UINT NovoId(TPeerWin32* APeer) {
  // Child ids stay clear of IDOK and IDCANCEL, which dialog keys send.
  static UINT proximo = 100;
  for (;;) {
    if (++proximo > 0x7FFF) proximo = 100;
    if (!Ids().count(proximo)) break;
  }
  Ids()[proximo] = APeer;
  return proximo;
}

TPeerWin32* PeerDoPai(const TControle& C) {
  return C.Pai() ? static_cast<TPeerWin32*>(C.Pai()->Peer()) : nullptr;
}

bool PaiRolagem(const TControle& C) {
  return C.Pai() && C.Pai()->Tipo() == TTipoControle::Rolagem;
}

LRESULT CALLBACK ProcAbas(HWND h, UINT m, WPARAM w, LPARAM l, UINT_PTR, DWORD_PTR) {
  try {
    if (m == WM_ERASEBKGND) {
      // Around the tabs shows the parent's colour, not the button face.
      if (TControle* c = ControleDe(h)) {
        RECT r{};
        GetClientRect(h, &r);
        FillRect(reinterpret_cast<HDC>(w), &r, PincelGdi(CorAtras(*c)));
        return 1;
      }
    }
  } catch (...) {
    RelatarFalhaJanela(h, m, "erro desconhecido");
  }
  return DefSubclassProc(h, m, w, l);
}

struct TClasseNativa {
  const wchar_t* Classe;
  DWORD Estilo;
  DWORD EstiloEx;
};

TClasseNativa ClasseDe(const TControle& C) {
  constexpr DWORD filho = WS_CHILD | WS_CLIPSIBLINGS;
  switch (C.Tipo()) {
    case TTipoControle::Painel:
      return {kClasseControle,
              filho | WS_CLIPCHILDREN |
                  (static_cast<const TPainel&>(C).BordaSimples() ? WS_BORDER : 0u),
              WS_EX_CONTROLPARENT};
    case TTipoControle::Pagina:
      return {kClasseControle, filho | WS_CLIPCHILDREN, WS_EX_CONTROLPARENT};
    case TTipoControle::Rolagem:
      return {kClasseControle, filho | WS_CLIPCHILDREN,
              WS_EX_CONTROLPARENT |
                  (static_cast<const TRolagem&>(C).BordaSimples() ? WS_EX_CLIENTEDGE : 0u)};
    case TTipoControle::Botao:
      return {L"BUTTON",
              filho | WS_TABSTOP |
                  (static_cast<const TBotao&>(C).Padrao() ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON),
              0};
    case TTipoControle::Marcacao:
      return {L"BUTTON", filho | WS_TABSTOP | BS_CHECKBOX, 0};
    case TTipoControle::Edicao: {
      const auto& e = static_cast<const TEdicao&>(C);
      return {L"EDIT",
              filho | WS_TABSTOP | ES_AUTOHSCROLL | (e.SomenteDigitos() ? ES_NUMBER : 0u) |
                  (e.CaractereSenha() ? ES_PASSWORD : 0u),
              WS_EX_CLIENTEDGE};
    }
    case TTipoControle::Memo: {
      const auto& m = static_cast<const TMemo&>(C);
      DWORD s = filho | WS_TABSTOP | ES_MULTILINE | ES_AUTOVSCROLL;
      if (m.BarraVertical()) s |= WS_VSCROLL;
      if (!m.QuebraLinha()) s |= ES_AUTOHSCROLL | WS_HSCROLL;
      s |= m.SomenteLeitura() ? ES_READONLY : ES_WANTRETURN;
      return {L"EDIT", s, m.SemBorda() ? 0u : WS_EX_CLIENTEDGE};
    }
    case TTipoControle::Paginas:
      return {WC_TABCONTROLW, filho | WS_CLIPCHILDREN | WS_TABSTOP, WS_EX_CONTROLPARENT};
    default:  // labels, images
      return {kClasseControle, filho, 0};
  }
}

void SincronizarAbas(TPeerWin32& P) {
  auto& pg = static_cast<TPaginas&>(P.C);
  const auto& paginas = pg.Paginas();
  int n = static_cast<int>(SendMessageW(P.H, TCM_GETITEMCOUNT, 0, 0));
  while (n > static_cast<int>(paginas.size()))
    SendMessageW(P.H, TCM_DELETEITEM, static_cast<WPARAM>(--n), 0);
  for (size_t i = 0; i < paginas.size(); ++i) {
    std::wstring t = ParaWide(paginas[i]->Texto());
    TCITEMW it{};
    it.mask = TCIF_TEXT;
    it.pszText = t.data();
    SendMessageW(P.H, static_cast<int>(i) < n ? TCM_SETITEMW : TCM_INSERTITEMW, i,
                 reinterpret_cast<LPARAM>(&it));
  }
  SendMessageW(P.H, TCM_SETCURSEL, static_cast<WPARAM>(pg.IndiceAtivo()), 0);
  // The strip's height may have changed with the first tab.
  pg.AjustarPaginas();
}

}  // namespace

TControle* ControlePorId(UINT AId) {
  auto it = Ids().find(AId);
  return it == Ids().end() ? nullptr : &it->second->C;
}

TPeerWin32::TPeerWin32(TControle& AControle) : C(AControle) {}

TPeerWin32::~TPeerWin32() {
  LiberarImagem();
  if (Id) Ids().erase(Id);
  if (H) {
    LigarPeer(H, nullptr);
    if (GetCapture() == H) ReleaseCapture();
    DestroyWindow(H);
  }
}

int TPeerWin32::Dpi() const {
  if (H) return static_cast<int>(GetDpiForWindow(H));
  HWND pai = HandleDe(C.Pai());
  return pai ? static_cast<int>(GetDpiForWindow(pai)) : DpiTela();
}

void TPeerWin32::Criar() {
  HINSTANCE inst = GetModuleHandleW(nullptr);
  if (C.Tipo() == TTipoControle::Janela) {
    const TEstiloJanela& e = static_cast<TJanela&>(C).Estilo();
    EstiloAplicado = e;
    HWND dono = (e.NaBarraDeTarefas || e.JanelaFerramenta) ? nullptr : JanelaOculta();
    Aplicando = true;
    H = CreateWindowExW(EstiloExJanela(e), kClasseJanela, ParaWide(C.Texto()).c_str(),
                        EstiloJanela(e), Escalar(C.Left(), DpiTela()), Escalar(C.Top(), DpiTela()),
                        0, 0, dono, nullptr, inst, this);
    Aplicando = false;
    AplicarLimites();
    return;
  }
  const TClasseNativa cl = ClasseDe(C);
  HWND pai = HandleDe(C.Pai());
  if (!pai) pai = JanelaOculta();
  if (!Id) Id = NovoId(this);
  DWORD estilo = cl.Estilo | (C.Visivel() ? WS_VISIBLE : 0u) | (C.Habilitado() ? 0u : WS_DISABLED);
  H = CreateWindowExW(cl.EstiloEx, cl.Classe, ParaWide(C.Texto()).c_str(), estilo, 0, 0, 0, 0, pai,
                      reinterpret_cast<HMENU>(static_cast<UINT_PTR>(Id)), inst, this);
  if (!H) return;
  LigarPeer(H, this);
  // New children come last, in front, as the kit orders them (Windows puts them behind).
  SetWindowPos(H, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  switch (C.Tipo()) {
    case TTipoControle::Edicao:
      if (char s = static_cast<TEdicao&>(C).CaractereSenha())
        SendMessageW(H, EM_SETPASSWORDCHAR, static_cast<WPARAM>(static_cast<unsigned char>(s)), 0);
      break;
    case TTipoControle::Marcacao:
      SendMessageW(H, BM_SETCHECK,
                   static_cast<TMarcacao&>(C).Marcado() ? BST_CHECKED : BST_UNCHECKED, 0);
      break;
    case TTipoControle::Paginas:
      SetWindowSubclass(H, ProcAbas, 1, 0);
      break;
    default:
      break;
  }
  AplicarFonte();
  AplicarLimites();
  if (C.Tipo() == TTipoControle::Paginas) SincronizarAbas(*this);
  if (C.Tipo() == TTipoControle::Rolagem) AtualizarBarras();
  if (PaiRolagem(C))
    if (TPeerWin32* p = PeerDoPai(C)) p->AtualizarBarras();
}

void TPeerWin32::AplicarLimites() {
  if (!H) return;
  const int dpi = Dpi();
  if (C.Tipo() == TTipoControle::Janela) {
    if (IsIconic(H) || Relatando) return;
    const auto& J = static_cast<TJanela&>(C);
    RECT r{0, 0, Escalar(J.ClientWidth(), dpi), Escalar(J.ClientHeight(), dpi)};
    AdjustWindowRectExForDpi(&r, EstiloJanela(J.Estilo()), FALSE, EstiloExJanela(J.Estilo()),
                             static_cast<UINT>(dpi));
    const int x = Escalar(J.Left(), DpiTela()), y = Escalar(J.Top(), DpiTela());
    const int w = r.right - r.left, h = r.bottom - r.top;
    RECT atual{};
    GetWindowRect(H, &atual);
    if (atual.left == x && atual.top == y && atual.right - atual.left == w &&
        atual.bottom - atual.top == h)
      return;
    Aplicando = true;
    SetWindowPos(H, nullptr, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
    Aplicando = false;
    return;
  }
  int x = C.Left(), y = C.Top();
  if (PaiRolagem(C)) {
    // Children of a scroll box move with its content.
    const auto* r = static_cast<const TRolagem*>(C.Pai());
    x -= r->PosicaoHorizontal();
    y -= r->PosicaoVertical();
  }
  SetWindowPos(H, nullptr, Escalar(x, dpi), Escalar(y, dpi), Escalar(C.Width(), dpi),
               Escalar(C.Height(), dpi), SWP_NOZORDER | SWP_NOACTIVATE);
}

void TPeerWin32::AplicarFonte() {
  if (!H || C.Tipo() == TTipoControle::Janela) return;
  SendMessageW(H, WM_SETFONT, reinterpret_cast<WPARAM>(FonteGdi(C.Fonte(), Dpi())), TRUE);
  if (C.Tipo() == TTipoControle::Paginas) static_cast<TPaginas&>(C).AjustarPaginas();
  InvalidateRect(H, nullptr, TRUE);
}

void TPeerWin32::AtualizarBarras() {
  if (!H || C.Tipo() != TTipoControle::Rolagem) return;
  auto& r = static_cast<TRolagem&>(C);
  // Content that shrank may leave the positions past the end.
  r.DefinirPosicaoVertical(r.PosicaoVertical());
  r.DefinirPosicaoHorizontal(r.PosicaoHorizontal());
  const int dpi = Dpi();
  const bool v = r.BarraVerticalVisivel();
  const bool h = r.BarraHorizontalVisivel();
  SCROLLINFO si{};
  si.cbSize = sizeof(si);
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  si.nMax = std::max(0, Escalar(r.FaixaVertical(), dpi) - 1);
  // A page is what shows beside the other bar.
  si.nPage = static_cast<UINT>(Escalar(r.AlturaVisivel(), dpi));
  si.nPos = Escalar(r.PosicaoVertical(), dpi);
  ShowScrollBar(H, SB_VERT, v);
  if (v) SetScrollInfo(H, SB_VERT, &si, TRUE);
  si.nMax = std::max(0, Escalar(r.FaixaHorizontal(), dpi) - 1);
  si.nPage = static_cast<UINT>(Escalar(r.LarguraVisivel(), dpi));
  si.nPos = Escalar(r.PosicaoHorizontal(), dpi);
  ShowScrollBar(H, SB_HORZ, h);
  if (h) SetScrollInfo(H, SB_HORZ, &si, TRUE);
}

void TPeerWin32::ReposicionarFilhos() {
  for (TControle* f : C.Filhos())
    if (auto* p = static_cast<TPeerWin32*>(f->Peer())) p->AplicarLimites();
  const auto& r = static_cast<TRolagem&>(C);
  SetScrollPos(H, SB_VERT, Escalar(r.PosicaoVertical(), Dpi()), TRUE);
  SetScrollPos(H, SB_HORZ, Escalar(r.PosicaoHorizontal(), Dpi()), TRUE);
}

void TPeerWin32::ReaplicarArvore() {
  for (TControle* f : C.Filhos())
    if (auto* p = static_cast<TPeerWin32*>(f->Peer())) {
      p->AplicarFonte();
      p->AplicarLimites();
      p->LiberarImagem();
      p->ReaplicarArvore();
      p->AtualizarBarras();
    }
}

void TPeerWin32::Sincronizar(TPropriedade AQue) {
  if (!H) return;
  const TTipoControle t = C.Tipo();
  switch (AQue) {
    case TPropriedade::Limites:
      AplicarLimites();
      AtualizarBarras();
      if (PaiRolagem(C))
        if (TPeerWin32* p = PeerDoPai(C)) p->AtualizarBarras();
      break;
    case TPropriedade::Texto:
    case TPropriedade::Conteudo:
      if (t == TTipoControle::Edicao || t == TTipoControle::Memo) {
        if (TextoDe(H) != C.Texto()) {
          DefinindoTexto = true;
          DefinirTextoNativo(H, C.Texto());
          DefinindoTexto = false;
        }
      } else if (t == TTipoControle::Paginas) {
        if (AQue == TPropriedade::Conteudo) SincronizarAbas(*this);
      } else if (t == TTipoControle::Imagem) {
        LiberarImagem();
        InvalidateRect(H, nullptr, FALSE);
      } else {
        DefinirTextoNativo(H, C.Texto());
        if (t == TTipoControle::Pagina)
          if (TPeerWin32* p = PeerDoPai(C)) SincronizarAbas(*p);
        InvalidateRect(H, nullptr, FALSE);
      }
      break;
    case TPropriedade::Visivel:
      if (t == TTipoControle::Janela) {
        MostrarJanela(*this);
      } else {
        ShowWindow(H, C.Visivel() ? SW_SHOWNA : SW_HIDE);
        if (PaiRolagem(C))
          if (TPeerWin32* p = PeerDoPai(C)) p->AtualizarBarras();
      }
      break;
    case TPropriedade::Habilitado:
      EnableWindow(H, C.Habilitado());
      break;
    case TPropriedade::Fonte:
      AplicarFonte();
      break;
    case TPropriedade::Cor:
    case TPropriedade::Cursor:
      InvalidateRect(H, nullptr, TRUE);
      break;
    case TPropriedade::Ordem:
      SetWindowPos(H, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
      break;
    case TPropriedade::Marcado:
      SendMessageW(H, BM_SETCHECK,
                   static_cast<TMarcacao&>(C).Marcado() ? BST_CHECKED : BST_UNCHECKED, 0);
      break;
    case TPropriedade::Rolagem:
      ReposicionarFilhos();
      break;
    case TPropriedade::Pai:
      if (HWND novo = HandleDe(C.Pai())) {
        SetParent(H, novo);
        AplicarLimites();
        SetWindowPos(H, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        if (PaiRolagem(C))
          if (TPeerWin32* p = PeerDoPai(C)) p->AtualizarBarras();
      }
      break;
    case TPropriedade::Estilo:
      SincronizarEstilo();
      break;
    case TPropriedade::Regiao:
      if (t == TTipoControle::Janela) AplicarRegiaoJanela(*this);
      break;
  }
}

void TPeerWin32::SincronizarEstilo() {
  switch (C.Tipo()) {
    case TTipoControle::Janela:
      if (!(EstiloAplicado == static_cast<TJanela&>(C).Estilo())) {
        AplicarEstiloJanela(*this);
        AplicarLimites();
      }
      AplicarEstadoJanela(*this);
      break;
    case TTipoControle::Painel:
    case TTipoControle::Rolagem: {
      const TClasseNativa cl = ClasseDe(C);
      const LONG s = GetWindowLongW(H, GWL_STYLE);
      SetWindowLongW(H, GWL_STYLE, static_cast<LONG>((s & ~WS_BORDER) | (cl.Estilo & WS_BORDER)));
      SetWindowLongW(H, GWL_EXSTYLE, static_cast<LONG>(cl.EstiloEx));
      SetWindowPos(H, nullptr, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
      AtualizarBarras();
      InvalidateRect(H, nullptr, TRUE);
      break;
    }
    case TTipoControle::Botao:
      SendMessageW(H, BM_SETSTYLE,
                   static_cast<TBotao&>(C).Padrao() ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
      break;
    case TTipoControle::Edicao: {
      const auto& e = static_cast<TEdicao&>(C);
      const LONG s = GetWindowLongW(H, GWL_STYLE);
      SetWindowLongW(H, GWL_STYLE,
                     static_cast<LONG>(e.SomenteDigitos() ? (s | ES_NUMBER) : (s & ~ES_NUMBER)));
      SendMessageW(H, EM_SETPASSWORDCHAR,
                   static_cast<WPARAM>(static_cast<unsigned char>(e.CaractereSenha())), 0);
      InvalidateRect(H, nullptr, TRUE);
      break;
    }
    case TTipoControle::Memo:
      Recriar();
      break;
    default:
      InvalidateRect(H, nullptr, TRUE);
      break;
  }
}

void TPeerWin32::Recriar() {
  // Wrapping, bars and read-only of an edit are fixed at its creation.
  HWND velho = H;
  const bool foco = GetFocus() == velho;
  LigarPeer(velho, nullptr);
  H = nullptr;
  Criar();
  if (H) {
    SetWindowPos(H, velho, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    if (foco) SetFocus(H);
  }
  DestroyWindow(velho);
}

bool TratarMensagemDeFilho(HWND, UINT m, WPARAM w, LPARAM l, LRESULT& AResultado) {
  switch (m) {
    case WM_COMMAND: {
      HWND ctl = reinterpret_cast<HWND>(l);
      const WORD codigo = HIWORD(w);
      // Enter on a nested default button arrives by id only.
      TControle* c = ctl ? ControleDe(ctl) : ControlePorId(LOWORD(w));
      if (!c) return false;
      const TTipoControle t = c->Tipo();
      if ((t == TTipoControle::Botao || t == TTipoControle::Marcacao) && codigo == BN_CLICKED) {
        app::ExecutarProtegido([c] { c->Clicar(); });
        AResultado = 0;
        return true;
      }
      if ((t == TTipoControle::Edicao || t == TTipoControle::Memo) && codigo == EN_CHANGE && ctl) {
        TPeerWin32* p = PeerDe(ctl);
        if (p && !p->DefinindoTexto) {
          const std::string texto = TextoDe(ctl);
          app::ExecutarProtegido([&] {
            if (t == TTipoControle::Edicao)
              static_cast<TEdicao*>(c)->TextoEditado(texto);
            else
              static_cast<TMemo*>(c)->TextoEditado(texto);
          });
        }
        AResultado = 0;
        return true;
      }
      return false;
    }
    case WM_NOTIFY: {
      const auto* n = reinterpret_cast<const NMHDR*>(l);
      TControle* c = ControleDe(n->hwndFrom);
      if (!c || c->Tipo() != TTipoControle::Paginas || n->code != TCN_SELCHANGE) return false;
      const int i = static_cast<int>(SendMessageW(n->hwndFrom, TCM_GETCURSEL, 0, 0));
      app::ExecutarProtegido([c, i] { static_cast<TPaginas*>(c)->AtivarPagina(i); });
      AResultado = 0;
      return true;
    }
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
      TControle* c = ControleDe(reinterpret_cast<HWND>(l));
      if (!c) return false;
      HDC dc = reinterpret_cast<HDC>(w);
      // A push button's corners show what lies behind it.
      const COLORREF fundo = c->Tipo() == TTipoControle::Botao ? CorAtras(*c) : CorFundo(*c);
      SetTextColor(dc, CorGdi(c->Fonte().Cor));
      SetBkColor(dc, fundo);
      AResultado = reinterpret_cast<LRESULT>(PincelGdi(fundo));
      return true;
    }
    case WM_SETCURSOR: {
      TControle* c = ControleDe(reinterpret_cast<HWND>(w));
      if (LOWORD(l) != HTCLIENT || !c || c->Cursor() != TCursor::Mao) return false;
      SetCursor(LoadCursorW(nullptr, IDC_HAND));
      AResultado = TRUE;
      return true;
    }
    default:
      return false;
  }
}

void TratarRolagem(TPeerWin32& P, bool AVertical, WORD ACodigo) {
  auto& r = static_cast<TRolagem&>(P.C);
  const int barra = AVertical ? SB_VERT : SB_HORZ;
  SCROLLINFO si{};
  si.cbSize = sizeof(si);
  si.fMask = SIF_ALL;
  GetScrollInfo(P.H, barra, &si);
  const int dpi = P.Dpi();
  int pos = si.nPos;
  const int linha = Escalar(16, dpi);
  switch (ACodigo) {
    case SB_LINEUP:
      pos -= linha;
      break;
    case SB_LINEDOWN:
      pos += linha;
      break;
    case SB_PAGEUP:
      pos -= static_cast<int>(si.nPage);
      break;
    case SB_PAGEDOWN:
      pos += static_cast<int>(si.nPage);
      break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION:
      pos = si.nTrackPos;
      break;
    case SB_TOP:
      pos = 0;
      break;
    case SB_BOTTOM:
      pos = si.nMax;
      break;
    default:
      return;
  }
  const int logico = Desescalar(std::max(0, pos), dpi);
  app::ExecutarProtegido([&] {
    if (AVertical)
      r.DefinirPosicaoVertical(logico);
    else
      r.DefinirPosicaoHorizontal(logico);
  });
}

}  // namespace ui::w32
