// The employee's hands for end-to-end tests: starts programs, finds their windows
// and controls by class, caption or id, reads them and acts on them by messages.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

// A window or control (an HWND); nullptr is none.
using TJanela = void*;

// A program started by the driver. Owns its process handle; dropping it does
// not end the program.
class TProgramaDriver {
 public:
  TProgramaDriver() = default;
  TProgramaDriver(void* AHandle, uint32_t AId) : FHandle(AHandle), FId(AId) {}
  ~TProgramaDriver();
  TProgramaDriver(TProgramaDriver&& A) noexcept;
  TProgramaDriver& operator=(TProgramaDriver&& A) noexcept;
  TProgramaDriver(const TProgramaDriver&) = delete;
  TProgramaDriver& operator=(const TProgramaDriver&) = delete;

  bool Valido() const { return FHandle != nullptr; }
  void* Handle() const { return FHandle; }  // the process HANDLE
  uint32_t Id() const { return FId; }
  // Waits for the program to end; true when it did within AMs.
  bool AguardarFim(uint32_t AMs) const;
  // The exit code; false while it runs.
  bool CodigoSaida(uint32_t& ACodigo) const;
  // TerminateProcess with the code, then waits up to 5 s for the end.
  void Encerrar(uint32_t ACodigo = 1);

 private:
  void* FHandle = nullptr;
  uint32_t FId = 0;
};

// A control's rectangle in its parent's client coordinates (a top-level
// window's in screen coordinates).
struct TRetanguloDriver {
  int Esquerda = 0, Topo = 0, Largura = 0, Altura = 0;
};

class TDriver {
 public:
  // Starts AExe with the arguments (quoted as the C runtime parses them), the
  // caller's environment plus AAmbiente, in APasta ("" keeps ours). AMostrar,
  // when not -1, is the SW_ state the program is asked to start in (as a
  // shortcut set to run minimised asks).
  static TProgramaDriver Iniciar(const std::string& AExe,
                                 const std::vector<std::string>& AArgs = {},
                                 const std::map<std::string, std::string>& AAmbiente = {},
                                 const std::string& APasta = "", int AMostrar = -1);

  // Top-level windows of the process, hidden ones included, in Z order.
  static std::vector<TJanela> JanelasDoProcesso(uint32_t AIdProcesso);
  // A top-level window of the process by class and caption ("" matches any);
  // nullptr when there is none.
  static TJanela ProcurarJanela(uint32_t AIdProcesso, const std::string& AClasse,
                                const std::string& ATitulo = "", bool AVisivel = false);
  // ProcurarJanela, polled until it finds one or AMs passes.
  static TJanela AguardarJanela(uint32_t AIdProcesso, const std::string& AClasse,
                                const std::string& ATitulo, uint32_t AMs, bool AVisivel = false);

  // Every descendant control of the window, in the order EnumChildWindows gives.
  static std::vector<TJanela> Controles(TJanela APai);
  // A descendant by class (case ignored) and text ("" matches any; a "&"
  // mnemonic in the caption is ignored); nullptr when there is none.
  static TJanela ProcurarControle(TJanela APai, const std::string& AClasse,
                                  const std::string& ATexto = "");
  // ProcurarControle, polled until it finds one or AMs passes.
  static TJanela AguardarControle(TJanela APai, const std::string& AClasse,
                                  const std::string& ATexto, uint32_t AMs);
  // A descendant by its control id; nullptr when there is none.
  static TJanela ControlePorId(TJanela APai, int AId);

  static bool Existe(TJanela AJanela);         // IsWindow
  static std::string Classe(TJanela AJanela);  // GetClassNameW
  static std::string Texto(TJanela AJanela);   // WM_GETTEXT, "" when it does not answer
  static int IdControle(TJanela AJanela);      // GetDlgCtrlID
  static TJanela Pai(TJanela AJanela);         // GetParent (the owner for a top-level window)
  static bool Visivel(TJanela AJanela);        // the window and all its parents are visible
  static bool Habilitado(TJanela AJanela);     // IsWindowEnabled
  static uint32_t Dpi(TJanela AJanela);        // GetDpiForWindow (96 when unknown)
  static TRetanguloDriver Retangulo(TJanela AJanela);    // pixels, in the parent's client area
  static TRetanguloDriver Retangulo96(TJanela AJanela);  // the same at 96 DPI
  static TRetanguloDriver AreaCliente(TJanela AJanela);  // client size in pixels (origin 0,0)

  // Posts BM_CLICK: the click never blocks the caller, even when it opens a modal loop.
  static void Clicar(TJanela ABotao);
  // Posts a left button press and release at the centre of the control.
  static void ClicarNoCentro(TJanela AControle);
  static bool Marcado(TJanela ACaixa);  // BM_GETCHECK is BST_CHECKED
  // Clicks the check box when its state differs, then waits until it shows AMarcado.
  static bool Marcar(TJanela ACaixa, bool AMarcado, uint32_t AMs = 5000);
  // WM_SETTEXT, then EN_CHANGE to the parent, as typing would notify it.
  static bool Digitar(TJanela AEdit, const std::string& ATexto);
  // Clicks the tab, so that the control sends TCN_SELCHANGING (a veto holds)
  // and TCN_SELCHANGE itself; a strip that ignores the click gets TCM_SETCURSEL
  // and the two notifications from here. True when the tab is then selected.
  static bool SelecionarAba(TJanela AAbas, int AIndice);
  static int AbaSelecionada(TJanela AAbas);  // TCM_GETCURSEL, -1 when none
  static int QuantidadeAbas(TJanela AAbas);  // TCM_GETITEMCOUNT
  static void Fechar(TJanela AJanela);       // posts WM_CLOSE
  // Sends the message and waits up to AMs for the window to answer it
  // (SendMessageTimeoutW); true when it did, with its answer in AResultado.
  static bool EnviarComPrazo(TJanela AJanela, uint32_t AMsg, uintptr_t AWParam, intptr_t ALParam,
                             uint32_t AMs, intptr_t* AResultado = nullptr);

  // A message box (class #32770) of the process, by caption ("" matches any),
  // polled until it appears or AMs passes.
  static TJanela AguardarCaixaMensagem(uint32_t AIdProcesso, const std::string& ATitulo,
                                       uint32_t AMs);
  // The message text of a message box.
  static std::string TextoCaixaMensagem(TJanela ACaixa);
  // Presses the box's button with that caption ("&" and case ignored).
  static bool PressionarBotao(TJanela ACaixa, const std::string& ATexto);
  // Presses the box's button with that id (IDOK 1, IDCANCEL 2, IDYES 6, IDNO 7).
  static bool PressionarBotaoId(TJanela ACaixa, int AId);

  // Polls ACondicao every AIntervaloMs, dispatching the caller's own messages
  // meanwhile; true as soon as it holds, false after AMs.
  static bool AguardarAte(const std::function<bool()>& ACondicao, uint32_t AMs,
                          uint32_t AIntervaloMs = 20);
  // Waits until the window's text equals ATexto.
  static bool AguardarTexto(TJanela AJanela, const std::string& ATexto, uint32_t AMs);
  // Waits until the window is visible (AVisivel) or hidden or gone (not AVisivel).
  static bool AguardarVisibilidade(TJanela AJanela, bool AVisivel, uint32_t AMs);
  // Waits until the window no longer exists.
  static bool AguardarDestruicao(TJanela AJanela, uint32_t AMs);
  // Dispatches the caller's pending messages for about AMs.
  static void Processar(uint32_t AMs = 0);
};
