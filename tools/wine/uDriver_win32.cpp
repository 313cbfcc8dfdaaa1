// The window driver on Win32: messages that are safe across processes, posted
// where the target might open a modal loop, marshalled by hand for WM_NOTIFY.
#include "tools/wine/uDriver.h"

#include <windows.h>

#include <commctrl.h>

#include <cstring>

#include "platform/uTexto.h"
#include "platform/uWin32Texto.h"

namespace {

constexpr UINT kTempoMensagemMs = 5000;

HWND H(TJanela A) {
  return static_cast<HWND>(A);
}

// Geometry in physical pixels whatever the awareness of the process under test.
class TDpiFisico {
 public:
  TDpiFisico()
      : FAnterior(SetThreadDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2)) {}
  ~TDpiFisico() {
    if (FAnterior) SetThreadDpiAwarenessContext(FAnterior);
  }
  TDpiFisico(const TDpiFisico&) = delete;
  TDpiFisico& operator=(const TDpiFisico&) = delete;

 private:
  DPI_AWARENESS_CONTEXT FAnterior;
};

bool Enviar(HWND AJanela, UINT AMsg, WPARAM AW, LPARAM AL, LRESULT& AResultado) {
  DWORD_PTR r = 0;
  if (!SendMessageTimeoutW(AJanela, AMsg, AW, AL, SMTO_ABORTIFHUNG, kTempoMensagemMs, &r))
    return false;
  AResultado = static_cast<LRESULT>(r);
  return true;
}

// "&Salvar" reads as "Salvar"; "&&" is a literal "&".
std::string SemMnemonico(const std::string& ATexto) {
  std::string r;
  for (size_t i = 0; i < ATexto.size(); ++i) {
    if (ATexto[i] != '&') {
      r += ATexto[i];
    } else if (i + 1 < ATexto.size() && ATexto[i + 1] == '&') {
      r += '&';
      ++i;
    }
  }
  return r;
}

// A top-level window's caption without sending it a message: a hung window
// must not stall the search.
std::string Titulo(HWND AJanela) {
  const int n = GetWindowTextLengthW(AJanela);
  if (n <= 0) return {};
  std::wstring buf(static_cast<size_t>(n) + 1, L'\0');
  buf.resize(static_cast<size_t>(GetWindowTextW(AJanela, buf.data(), n + 1)));
  return DeWide(buf);
}

bool TextoConfere(const std::string& AReal, const std::string& AProcurado, bool ASemCaixa) {
  if (AProcurado.empty()) return true;
  if (AReal == AProcurado) return true;
  const std::string a = SemMnemonico(AReal), b = SemMnemonico(AProcurado);
  return ASemCaixa ? IgualSemCaixa(a, b) : a == b;
}

BOOL CALLBACK ColetarJanela(HWND AJanela, LPARAM AL) {
  reinterpret_cast<std::vector<TJanela>*>(AL)->push_back(AJanela);
  return TRUE;
}

// A block of memory in the process that owns a window, for messages whose
// pointer no one marshals; in our own process it is plain memory.
class TMemoriaDoDono {
 public:
  TMemoriaDoDono(HWND AJanela, size_t ATamanho) : FTamanho(ATamanho) {
    DWORD pid = 0;
    GetWindowThreadProcessId(AJanela, &pid);
    if (pid == GetCurrentProcessId()) {
      FLocal.resize(ATamanho);
      FPonteiro = FLocal.data();
      return;
    }
    FProcesso = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (FProcesso)
      FPonteiro =
          VirtualAllocEx(FProcesso, nullptr, ATamanho, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  }
  ~TMemoriaDoDono() {
    if (FProcesso && FPonteiro && !FAbandonar) VirtualFreeEx(FProcesso, FPonteiro, 0, MEM_RELEASE);
    if (FProcesso) CloseHandle(FProcesso);
  }
  TMemoriaDoDono(const TMemoriaDoDono&) = delete;
  TMemoriaDoDono& operator=(const TMemoriaDoDono&) = delete;

  bool Valida() const { return FPonteiro != nullptr; }
  LPARAM Endereco() const { return reinterpret_cast<LPARAM>(FPonteiro); }
  bool Escrever(const void* ADados) {
    if (!FProcesso) {
      memcpy(FPonteiro, ADados, FTamanho);
      return true;
    }
    return WriteProcessMemory(FProcesso, FPonteiro, ADados, FTamanho, nullptr);
  }
  bool Ler(void* ADados) {
    if (!FProcesso) {
      memcpy(ADados, FPonteiro, FTamanho);
      return true;
    }
    return ReadProcessMemory(FProcesso, FPonteiro, ADados, FTamanho, nullptr);
  }
  // A window that did not answer may still read the block later: leave it.
  void Abandonar() { FAbandonar = true; }

 private:
  size_t FTamanho;
  std::vector<char> FLocal;
  HANDLE FProcesso = nullptr;
  void* FPonteiro = nullptr;
  bool FAbandonar = false;
};

// Sends a tab control's notification to its parent. Windows passes a WM_NOTIFY
// pointer between processes as it is; Wine refuses to, so this works across
// processes on Windows only.
bool NotificarAbas(HWND AAbas, UINT ACodigo, LRESULT& AResultado) {
  HWND pai = GetParent(AAbas);
  NMHDR n{AAbas, static_cast<UINT_PTR>(GetDlgCtrlID(AAbas)), ACodigo};
  TMemoriaDoDono m(pai, sizeof(n));
  if (!m.Valida() || !m.Escrever(&n)) return false;
  if (Enviar(pai, WM_NOTIFY, n.idFrom, m.Endereco(), AResultado)) return true;
  m.Abandonar();
  return false;
}

// A tab's rectangle in the tab control's client area.
bool RetanguloDaAba(HWND AAbas, int AIndice, RECT& ARet) {
  TMemoriaDoDono m(AAbas, sizeof(RECT));
  LRESULT ok = 0;
  if (!m.Valida() ||
      !Enviar(AAbas, TCM_GETITEMRECT, static_cast<WPARAM>(AIndice), m.Endereco(), ok))
    return false;
  return ok && m.Ler(&ARet);
}

}  // namespace

std::vector<TJanela> TDriver::JanelasDoProcesso(uint32_t AIdProcesso) {
  std::vector<TJanela> todas, r;
  EnumWindows(ColetarJanela, reinterpret_cast<LPARAM>(&todas));
  for (TJanela j : todas) {
    DWORD pid = 0;
    GetWindowThreadProcessId(H(j), &pid);
    if (pid == AIdProcesso) r.push_back(j);
  }
  return r;
}

TJanela TDriver::ProcurarJanela(uint32_t AIdProcesso, const std::string& AClasse,
                                const std::string& ATitulo, bool AVisivel) {
  for (TJanela j : JanelasDoProcesso(AIdProcesso)) {
    if (AVisivel && !Visivel(j)) continue;
    if (!AClasse.empty() && !IgualSemCaixa(Classe(j), AClasse)) continue;
    if (TextoConfere(Titulo(H(j)), ATitulo, false)) return j;
  }
  return nullptr;
}

TJanela TDriver::AguardarJanela(uint32_t AIdProcesso, const std::string& AClasse,
                                const std::string& ATitulo, uint32_t AMs, bool AVisivel) {
  TJanela achada = nullptr;
  AguardarAte([&] { return (achada = ProcurarJanela(AIdProcesso, AClasse, ATitulo, AVisivel)); },
              AMs);
  return achada;
}

std::vector<TJanela> TDriver::Controles(TJanela APai) {
  std::vector<TJanela> r;
  if (APai) EnumChildWindows(H(APai), ColetarJanela, reinterpret_cast<LPARAM>(&r));
  return r;
}

TJanela TDriver::ProcurarControle(TJanela APai, const std::string& AClasse,
                                  const std::string& ATexto) {
  for (TJanela c : Controles(APai)) {
    if (!AClasse.empty() && !IgualSemCaixa(Classe(c), AClasse)) continue;
    if (TextoConfere(Texto(c), ATexto, false)) return c;
  }
  return nullptr;
}

TJanela TDriver::AguardarControle(TJanela APai, const std::string& AClasse,
                                  const std::string& ATexto, uint32_t AMs) {
  TJanela achado = nullptr;
  AguardarAte([&] { return (achado = ProcurarControle(APai, AClasse, ATexto)); }, AMs);
  return achado;
}

TJanela TDriver::ControlePorId(TJanela APai, int AId) {
  for (TJanela c : Controles(APai))
    if (GetDlgCtrlID(H(c)) == AId) return c;
  return nullptr;
}

bool TDriver::Existe(TJanela AJanela) {
  return AJanela && IsWindow(H(AJanela));
}

std::string TDriver::Classe(TJanela AJanela) {
  wchar_t buf[256] = {};
  const int n = GetClassNameW(H(AJanela), buf, 256);
  return n > 0 ? DeWide(std::wstring(buf, n)) : std::string();
}

std::string TDriver::Texto(TJanela AJanela) {
  LRESULT n = 0;
  if (!AJanela || !Enviar(H(AJanela), WM_GETTEXTLENGTH, 0, 0, n) || n <= 0) return {};
  std::wstring buf(static_cast<size_t>(n) + 1, L'\0');
  LRESULT lidos = 0;
  if (!Enviar(H(AJanela), WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(buf.data()), lidos))
    return {};
  if (lidos < 0 || static_cast<size_t>(lidos) > static_cast<size_t>(n)) lidos = n;
  buf.resize(static_cast<size_t>(lidos));
  return DeWide(buf);
}

int TDriver::IdControle(TJanela AJanela) {
  return GetDlgCtrlID(H(AJanela));
}
TJanela TDriver::Pai(TJanela AJanela) {
  return GetParent(H(AJanela));
}
bool TDriver::Visivel(TJanela AJanela) {
  return AJanela && IsWindowVisible(H(AJanela));
}
bool TDriver::Habilitado(TJanela AJanela) {
  return AJanela && IsWindowEnabled(H(AJanela));
}

uint32_t TDriver::Dpi(TJanela AJanela) {
  const UINT d = GetDpiForWindow(H(AJanela));
  return d ? d : 96;
}

TRetanguloDriver TDriver::Retangulo(TJanela AJanela) {
  TDpiFisico fisico;
  RECT r{};
  GetWindowRect(H(AJanela), &r);
  HWND pai = GetAncestor(H(AJanela), GA_PARENT);
  if (pai && pai != GetDesktopWindow())
    MapWindowPoints(HWND_DESKTOP, pai, reinterpret_cast<POINT*>(&r), 2);
  return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

TRetanguloDriver TDriver::Retangulo96(TJanela AJanela) {
  const TRetanguloDriver r = Retangulo(AJanela);
  const int dpi = static_cast<int>(Dpi(AJanela));
  return {MulDiv(r.Esquerda, 96, dpi), MulDiv(r.Topo, 96, dpi), MulDiv(r.Largura, 96, dpi),
          MulDiv(r.Altura, 96, dpi)};
}

TRetanguloDriver TDriver::AreaCliente(TJanela AJanela) {
  TDpiFisico fisico;
  RECT r{};
  GetClientRect(H(AJanela), &r);
  return {0, 0, r.right, r.bottom};
}

void TDriver::Clicar(TJanela ABotao) {
  PostMessageW(H(ABotao), BM_CLICK, 0, 0);
}

void TDriver::ClicarNoCentro(TJanela AControle) {
  RECT r{};
  GetClientRect(H(AControle), &r);  // in the control's own units, as its messages are
  const LPARAM pos = MAKELPARAM(r.right / 2, r.bottom / 2);
  PostMessageW(H(AControle), WM_MOUSEMOVE, 0, pos);
  PostMessageW(H(AControle), WM_LBUTTONDOWN, MK_LBUTTON, pos);
  PostMessageW(H(AControle), WM_LBUTTONUP, 0, pos);
}

bool TDriver::Marcado(TJanela ACaixa) {
  LRESULT r = 0;
  return Enviar(H(ACaixa), BM_GETCHECK, 0, 0, r) && r == BST_CHECKED;
}

bool TDriver::Marcar(TJanela ACaixa, bool AMarcado, uint32_t AMs) {
  if (!Existe(ACaixa)) return false;
  if (Marcado(ACaixa) == AMarcado) return true;
  Clicar(ACaixa);
  return AguardarAte([&] { return Marcado(ACaixa) == AMarcado; }, AMs);
}

bool TDriver::Digitar(TJanela AEdit, const std::string& ATexto) {
  const std::wstring t = ParaWide(ATexto);
  LRESULT r = 0;
  if (!Enviar(H(AEdit), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(t.c_str()), r) || !r) return false;
  const WPARAM w = MAKEWPARAM(GetDlgCtrlID(H(AEdit)), EN_CHANGE);
  return PostMessageW(GetParent(H(AEdit)), WM_COMMAND, w, reinterpret_cast<LPARAM>(AEdit));
}

bool TDriver::SelecionarAba(TJanela AAbas, int AIndice) {
  if (AIndice < 0 || AIndice >= QuantidadeAbas(AAbas)) return false;
  if (AbaSelecionada(AAbas) == AIndice) return true;  // a click on the current tab does nothing
  // A click on the tab lets the control itself ask its parent (TCN_SELCHANGING,
  // which may veto) and announce the change (TCN_SELCHANGE), in its own process.
  RECT r{};
  if (RetanguloDaAba(H(AAbas), AIndice, r)) {
    const LPARAM pos = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    PostMessageW(H(AAbas), WM_LBUTTONDOWN, MK_LBUTTON, pos);
    PostMessageW(H(AAbas), WM_LBUTTONUP, 0, pos);
    if (AguardarAte([&] { return AbaSelecionada(AAbas) == AIndice; }, 2000)) return true;
  }
  // A tab strip that ignores clicks: set the selection and notify as it would.
  LRESULT veto = 0;
  if (!NotificarAbas(H(AAbas), TCN_SELCHANGING, veto) || veto) return false;
  LRESULT res = 0;
  if (!Enviar(H(AAbas), TCM_SETCURSEL, static_cast<WPARAM>(AIndice), 0, res)) return false;
  NotificarAbas(H(AAbas), TCN_SELCHANGE, res);
  return AbaSelecionada(AAbas) == AIndice;
}

int TDriver::AbaSelecionada(TJanela AAbas) {
  LRESULT r = -1;
  return Enviar(H(AAbas), TCM_GETCURSEL, 0, 0, r) ? static_cast<int>(r) : -1;
}

int TDriver::QuantidadeAbas(TJanela AAbas) {
  LRESULT r = 0;
  return Enviar(H(AAbas), TCM_GETITEMCOUNT, 0, 0, r) ? static_cast<int>(r) : 0;
}

void TDriver::Fechar(TJanela AJanela) {
  PostMessageW(H(AJanela), WM_CLOSE, 0, 0);
}

bool TDriver::EnviarComPrazo(TJanela AJanela, uint32_t AMsg, uintptr_t AWParam, intptr_t ALParam,
                             uint32_t AMs, intptr_t* AResultado) {
  DWORD_PTR r = 0;
  const bool ok =
      SendMessageTimeoutW(H(AJanela), AMsg, AWParam, ALParam, SMTO_NORMAL, AMs, &r) != 0;
  if (AResultado) *AResultado = static_cast<intptr_t>(r);
  return ok;
}

TJanela TDriver::AguardarCaixaMensagem(uint32_t AIdProcesso, const std::string& ATitulo,
                                       uint32_t AMs) {
  return AguardarJanela(AIdProcesso, "#32770", ATitulo, AMs, true);
}

std::string TDriver::TextoCaixaMensagem(TJanela ACaixa) {
  std::string outro;
  for (TJanela c : Controles(ACaixa)) {
    if (!IgualSemCaixa(Classe(c), "Static")) continue;
    if ((GetWindowLongW(H(c), GWL_STYLE) & SS_TYPEMASK) == SS_ICON) continue;
    const std::string t = Texto(c);
    if (t.empty()) continue;
    if (GetDlgCtrlID(H(c)) == 0xFFFF) return t;  // the message's own id on Windows
    if (outro.empty()) outro = t;
  }
  return outro;
}

bool TDriver::PressionarBotao(TJanela ACaixa, const std::string& ATexto) {
  for (TJanela c : Controles(ACaixa))
    if (IgualSemCaixa(Classe(c), "Button") && TextoConfere(Texto(c), ATexto, true))
      return PressionarBotaoId(ACaixa, GetDlgCtrlID(H(c)));
  return false;
}

bool TDriver::PressionarBotaoId(TJanela ACaixa, int AId) {
  TJanela b = ControlePorId(ACaixa, AId);
  if (!b) return false;
  // The dialog's own command, as the button sends it: BM_CLICK may be ignored
  // by a dialog that is not the active window.
  return PostMessageW(H(ACaixa), WM_COMMAND, MAKEWPARAM(AId, BN_CLICKED),
                      reinterpret_cast<LPARAM>(b));
}

bool TDriver::AguardarAte(const std::function<bool()>& ACondicao, uint32_t AMs,
                          uint32_t AIntervaloMs) {
  const DWORD inicio = GetTickCount();
  for (;;) {
    if (ACondicao()) return true;
    const DWORD passado = GetTickCount() - inicio;
    if (passado >= AMs) return false;
    Processar(AIntervaloMs < AMs - passado ? AIntervaloMs : AMs - passado);
  }
}

bool TDriver::AguardarTexto(TJanela AJanela, const std::string& ATexto, uint32_t AMs) {
  return AguardarAte([&] { return Texto(AJanela) == ATexto; }, AMs);
}

bool TDriver::AguardarVisibilidade(TJanela AJanela, bool AVisivel, uint32_t AMs) {
  return AguardarAte([&] { return Visivel(AJanela) == AVisivel; }, AMs);
}

bool TDriver::AguardarDestruicao(TJanela AJanela, uint32_t AMs) {
  return AguardarAte([&] { return !Existe(AJanela); }, AMs);
}

void TDriver::Processar(uint32_t AMs) {
  const DWORD inicio = GetTickCount();
  for (;;) {
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&m);
      DispatchMessageW(&m);
    }
    const DWORD passado = GetTickCount() - inicio;
    if (passado >= AMs) return;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, AMs - passado, QS_ALLINPUT);
  }
}
