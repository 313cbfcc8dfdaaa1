// The UI kit: the windows of the agent are built in code from these objects.
// Every property lives in the object itself (positions and sizes at 96 DPI);
// a backend mirrors it on screen: Win32 creates real windows and scales by the
// monitor's DPI, headless keeps the objects in memory so that layouts, state
// machines and painting can be tested natively. Events reach the objects
// through the delivery functions (Clicar, RodarMouse, ...), which both the
// Win32 backend and the tests call.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/uImagem.h"

namespace ui {

using TCor = uint32_t;  // 0x00RRGGBB, or one of the system colours below
inline constexpr TCor kCorSistema = 0xFF000000;
inline constexpr TCor kCorTextoJanela = kCorSistema | 8;  // COLOR_WINDOWTEXT
inline constexpr TCor kCorTextoCinza = kCorSistema | 17;  // COLOR_GRAYTEXT
inline constexpr TCor kCorFundoBotao = kCorSistema | 15;  // COLOR_BTNFACE
inline constexpr TCor kCorBranco = 0xFFFFFF;
// The colour of the nearest parent that has one of its own (check boxes and
// images start with it, so that they blend into the panel they sit on).
inline constexpr TCor kCorDoPai = 0xFE000000;
inline bool EhCorSistema(TCor C) {
  return (C & kCorSistema) == kCorSistema;
}

struct TFonte {
  std::string Nome = "Segoe UI";
  int Altura = 13;  // character height in pixels at 96 DPI
  bool Negrito = false;
  bool Sublinhado = false;
  TCor Cor = kCorTextoJanela;
  // Height of a font given in points, as 96 DPI turns it into pixels.
  static int PontosParaPixels(int APontos) { return (APontos * 96 + 36) / 72; }
  bool operator==(const TFonte&) const = default;
};

struct TRetangulo {
  int Left = 0, Top = 0, Width = 0, Height = 0;
  int Right() const { return Left + Width; }
  int Bottom() const { return Top + Height; }
  bool operator==(const TRetangulo&) const = default;
};
struct TPonto {
  int X = 0, Y = 0;
};
struct TTamanho {
  int Largura = 0, Altura = 0;
};

enum class TTipoControle {
  Janela,
  Painel,
  Rotulo,
  Botao,
  Edicao,
  Memo,
  Marcacao,
  Imagem,
  Rolagem,
  Paginas,
  Pagina
};
enum class TCursor { Padrao, Mao };
enum class TAlinhamento { Esquerda, Centro, Direita };

// What changed, so that a backend mirrors only that.
enum class TPropriedade {
  Limites,
  Texto,
  Visivel,
  Habilitado,
  Fonte,
  Cor,
  Ordem,
  Estilo,
  Conteudo,
  Marcado,
  Rolagem,
  Pai,
  Cursor,
  Regiao
};

class TControle;

// Drawing in code on a window (coordinates at 96 DPI from the client area's
// top-left corner; the Win32 backend scales them by the window's DPI).
enum : uint32_t {
  kTextoLinhaUnica = 1,
  kTextoCentroVertical = 2,
  kTextoReticencias = 4,  // cut with "..." at the end when too long
};

class TCanvas {
 public:
  virtual ~TCanvas() = default;
  virtual void Preencher(const TRetangulo& ARet, TCor ACor) = 0;
  // From (AL, AT) to (AR, AB) with corner ellipses AE x AE, filled with
  // APincel and outlined by a pen of ACaneta, ALargura pixels wide (GDI RoundRect).
  virtual void RetanguloArredondado(int AL, int AT, int AR, int AB, int AE, TCor APincel,
                                    TCor ACaneta, int ALargura) = 0;
  virtual void Elipse(int AL, int AT, int AR, int AB, TCor APincel, TCor ACaneta, int ALargura) = 0;
  virtual void Poligono(const std::vector<TPonto>& APontos, TCor APincel, TCor ACaneta,
                        int ALargura) = 0;
  // Text at (AX, AY) on a transparent background.
  virtual void Texto(int AX, int AY, const std::string& ATexto, const TFonte& AFonte) = 0;
  // DrawText in the rectangle with the kTexto* format, transparent background.
  virtual void TextoNoRetangulo(const TRetangulo& ARet, const std::string& ATexto,
                                const TFonte& AFonte, uint32_t AFormato) = 0;
  virtual TTamanho MedirTexto(const TFonte& AFonte, const std::string& ATexto) = 0;
  // The picture drawn into the rectangle, blended by its alpha.
  virtual void Imagem(const TBitmap& AImagem, const TRetangulo& ADestino) = 0;
  // Dots per inch the drawing lands at (96 where nothing is scaled), so that a
  // window can pick a larger picture instead of having a small one enlarged.
  virtual int Dpi() const { return 96; }
};

// One drawing call, as TCanvasGravador keeps it.
struct TComandoPintura {
  enum class TTipo {
    Preencher,
    RetanguloArredondado,
    Elipse,
    Poligono,
    Texto,
    TextoNoRetangulo,
    Imagem
  };
  TTipo Tipo = TTipo::Preencher;
  TRetangulo Ret;  // l, t and the size; for rounded rectangles and ellipses (l,t)-(r,b)
  int E = 0;       // corner ellipse
  TCor Pincel = 0, Caneta = 0;
  int Largura = 0;
  std::vector<TPonto> Pontos;
  std::string Texto;
  TFonte Fonte;
  uint32_t Formato = 0;
};

// A canvas that records what is drawn (tests, and the headless backend);
// texts are measured by the backend.
class TCanvasGravador : public TCanvas {
 public:
  void Preencher(const TRetangulo& ARet, TCor ACor) override;
  void RetanguloArredondado(int AL, int AT, int AR, int AB, int AE, TCor APincel, TCor ACaneta,
                            int ALargura) override;
  void Elipse(int AL, int AT, int AR, int AB, TCor APincel, TCor ACaneta, int ALargura) override;
  void Poligono(const std::vector<TPonto>& APontos, TCor APincel, TCor ACaneta,
                int ALargura) override;
  void Texto(int AX, int AY, const std::string& ATexto, const TFonte& AFonte) override;
  void TextoNoRetangulo(const TRetangulo& ARet, const std::string& ATexto, const TFonte& AFonte,
                        uint32_t AFormato) override;
  TTamanho MedirTexto(const TFonte& AFonte, const std::string& ATexto) override;
  void Imagem(const TBitmap& AImagem, const TRetangulo& ADestino) override;
  std::vector<TComandoPintura> Comandos;
};

// The shape of a window: the union of its rectangles and rounded rectangles.
// Empty: the whole window.
struct TRegiao {
  struct TArredondado {
    int L = 0, T = 0, R = 0, B = 0, E = 0;  // CreateRoundRectRgn
    bool operator==(const TArredondado&) const = default;
  };
  std::vector<TRetangulo> Retangulos;
  std::vector<TArredondado> Arredondados;
  bool Vazia() const { return Retangulos.empty() && Arredondados.empty(); }
  bool Contem(TPonto APonto) const;
  bool operator==(const TRegiao&) const = default;
};

enum class TTipoMouse { Baixo, Move, Cima };
enum class TBotaoMouse { Nenhum, Esquerdo, Direito, Meio };
struct TEventoMouse {
  TTipoMouse Tipo = TTipoMouse::Move;
  TBotaoMouse Botao = TBotaoMouse::Nenhum;
  TPonto Posicao;  // client coordinates at 96 DPI
};

// A backend's counterpart of one object.
class TPeer {
 public:
  virtual ~TPeer() = default;
  virtual void Sincronizar(TPropriedade AQue) = 0;
  virtual void* Nativo() { return nullptr; }  // HWND on Win32
};

class TControle {
 public:
  TControle(TControle* APai, TTipoControle ATipo);
  virtual ~TControle();  // destroys the children first
  TControle(const TControle&) = delete;
  TControle& operator=(const TControle&) = delete;

  TTipoControle Tipo() const { return FTipo; }
  TControle* Pai() const { return FPai; }
  // Children in z-order: the last is in front.
  const std::vector<TControle*>& Filhos() const { return FFilhos; }
  void MudarPai(TControle* ANovoPai);

  std::string Nome;  // for tests and logs, never shown

  int Left() const { return FLimites.Left; }
  int Top() const { return FLimites.Top; }
  int Width() const { return FLimites.Width; }
  int Height() const { return FLimites.Height; }
  const TRetangulo& Limites() const { return FLimites; }
  void DefinirLimites(int ALeft, int ATop, int AWidth, int AHeight);
  void DefinirPosicao(int ALeft, int ATop) { DefinirLimites(ALeft, ATop, Width(), Height()); }
  void DefinirTamanho(int AWidth, int AHeight) { DefinirLimites(Left(), Top(), AWidth, AHeight); }
  // Size of the area the children are placed in.
  virtual int ClientWidth() const { return Width(); }
  virtual int ClientHeight() const { return Height(); }

  const std::string& Texto() const { return FTexto; }
  virtual void DefinirTexto(const std::string& ATexto);

  bool Visivel() const { return FVisivel; }
  void DefinirVisivel(bool AVisivel);
  bool Mostrando() const;  // visible itself and every parent visible
  bool Habilitado() const { return FHabilitado; }
  void DefinirHabilitado(bool AHabilitado);
  const TFonte& Fonte() const { return FFonte; }
  void DefinirFonte(const TFonte& AFonte);
  TCor Cor() const { return FCor; }  // background
  void DefinirCor(TCor ACor);
  TCursor Cursor() const { return FCursor; }
  void DefinirCursor(TCursor ACursor);
  void TrazerParaFrente();  // in front of its siblings

  std::function<void()> AoClicar;
  std::function<void()> AoDuploClique;
  // Wheel turn (delta in WHEEL_DELTA units, 120 a notch); true when handled.
  std::function<bool(int ADelta, bool ACtrl)> AoRodarMouse;

  // Delivery of user actions. Clicar does nothing on a hidden or disabled
  // control; a check box toggles before its handler runs.
  virtual void Clicar();
  void DuploClicar();
  bool RodarMouse(int ADelta, bool ACtrl);

  TPeer* Peer() const { return FPeer.get(); }
  void* HandleNativo() const { return FPeer ? FPeer->Nativo() : nullptr; }
  // Screen position of the client area's origin (96 DPI), through the parents.
  TPonto OrigemNaTela() const;

 protected:
  void Notificar(TPropriedade AQue);
  void CriarPeer();  // called by the most derived constructor's end

 private:
  TTipoControle FTipo;
  TControle* FPai;
  std::vector<TControle*> FFilhos;
  TRetangulo FLimites;
  std::string FTexto;
  bool FVisivel = true;
  bool FHabilitado = true;
  TFonte FFonte;
  TCor FCor = kCorFundoBotao;
  TCursor FCursor = TCursor::Padrao;
  std::unique_ptr<TPeer> FPeer;
  bool FDestruindo = false;
};

class TPainel : public TControle {
 public:
  explicit TPainel(TControle* APai);
  // Docked to the top of its parent: full width, its own height.
  bool AlinhadoAoTopo() const { return FTopo; }
  void AlinharAoTopo(int AAltura);
  bool BordaSimples() const { return FBorda; }
  void DefinirBordaSimples(bool A);

 private:
  bool FTopo = false;
  bool FBorda = false;
};

class TRotulo : public TControle {
 public:
  explicit TRotulo(TControle* APai);
  TAlinhamento Alinhamento() const { return FAlinhamento; }
  void DefinirAlinhamento(TAlinhamento A);
  // Automatic size: width and height follow the text in its font.
  bool AutoTamanho() const { return FAuto; }
  void DefinirAutoTamanho(bool A);
  bool QuebraLinha() const { return FQuebra; }
  void DefinirQuebraLinha(bool A);
  bool Transparente() const { return FTransparente; }
  void DefinirTransparente(bool A);
  void DefinirTexto(const std::string& ATexto) override;
  void AjustarTamanho();

 private:
  TAlinhamento FAlinhamento = TAlinhamento::Esquerda;
  bool FAuto = false;
  bool FQuebra = false;
  bool FTransparente = true;
};

class TBotao : public TControle {
 public:
  explicit TBotao(TControle* APai);
  bool Padrao() const { return FPadrao; }  // the default button (Enter)
  void DefinirPadrao(bool A);

 private:
  bool FPadrao = false;
};

class TEdicao : public TControle {
 public:
  explicit TEdicao(TControle* APai);
  char CaractereSenha() const { return FSenha; }  // 0: text shown in clear
  void DefinirCaractereSenha(char C);
  bool SomenteDigitos() const { return FDigitos; }
  void DefinirSomenteDigitos(bool A);
  // Typing by the user (backends and tests): replaces the text and runs AoMudar.
  void Digitar(const std::string& ATexto);
  std::function<void()> AoMudar;
  // The text typed on screen; the backend calls this when the user edits.
  void TextoEditado(const std::string& ATexto);

 private:
  char FSenha = 0;
  bool FDigitos = false;
};

class TMemo : public TControle {
 public:
  explicit TMemo(TControle* APai);
  // Logical lines (split at line breaks). Texto() is the lines joined by CR LF.
  const std::vector<std::string>& Linhas() const { return FLinhas; }
  void DefinirLinhas(std::vector<std::string> ALinhas);
  void InserirLinha(size_t AIndice, const std::string& ALinha);
  void ApagarLinha(size_t AIndice);
  void AdicionarLinha(const std::string& ALinha) { InserirLinha(FLinhas.size(), ALinha); }
  void Limpar() { DefinirLinhas({}); }
  void DefinirTexto(const std::string& ATexto) override;
  // Lines as shown, wrapped at the control's width when QuebraLinha is set.
  std::vector<std::string> LinhasVisuais() const;

  bool SomenteLeitura() const { return FLeitura; }
  void DefinirSomenteLeitura(bool A);
  bool SemBorda() const { return FSemBorda; }
  void DefinirSemBorda(bool A);
  bool BarraVertical() const { return FBarra; }
  void DefinirBarraVertical(bool A);
  bool QuebraLinha() const { return FQuebra; }
  void DefinirQuebraLinha(bool A);
  // The text as edited on screen; the backend calls this when the user edits.
  void TextoEditado(const std::string& ATexto);

 private:
  void Juntar();
  std::vector<std::string> FLinhas;
  bool FLeitura = false;
  bool FSemBorda = false;
  bool FBarra = false;
  bool FQuebra = true;
};

class TMarcacao : public TControle {  // check box
 public:
  explicit TMarcacao(TControle* APai);
  bool Marcado() const { return FMarcado; }
  void DefinirMarcado(bool A);
  void Clicar() override;  // toggles, then AoClicar

 private:
  bool FMarcado = false;
};

class TImagem : public TControle {
 public:
  explicit TImagem(TControle* APai);
  const TBitmapPtr& Imagem() const { return FImagem; }
  bool TemImagem() const { return FImagem && !FImagem->Vazio(); }
  void DefinirImagem(TBitmapPtr AImagem);  // nullptr clears
  // Drawing: stretched keeping proportions (Proporcional), centred, opaque.
  bool Proporcional() const { return FProporcional; }
  bool Centralizado() const { return FCentralizado; }
  bool Esticado() const { return FEsticado; }
  bool Opaco() const { return FOpaco; }
  void DefinirModo(bool AProporcional, bool ACentralizado, bool AEsticado, bool AOpaco);
  // Where the picture lands inside the control's box (control coordinates).
  TRetangulo AreaDesenhada() const;

 private:
  TBitmapPtr FImagem;
  bool FProporcional = false;
  bool FCentralizado = false;
  bool FEsticado = false;
  bool FOpaco = false;
};

class TRolagem : public TControle {  // scroll box
 public:
  explicit TRolagem(TControle* APai);
  bool BordaSimples() const { return FBorda; }
  void DefinirBordaSimples(bool A);
  // A single border takes 2 pixels on each side.
  int ClientWidth() const override;
  int ClientHeight() const override;
  // Extent of the children.
  int FaixaVertical() const;
  int FaixaHorizontal() const;
  // The bars that the extent needs. A bar takes room from the other direction,
  // so one bar may bring the other.
  bool BarraVerticalVisivel() const;
  bool BarraHorizontalVisivel() const;
  // The part of the client area that shows content: without the bars.
  int LarguraVisivel() const;
  int AlturaVisivel() const;
  // Scroll positions, clamped so that the far edges of the content can just
  // be scrolled into view.
  int PosicaoVertical() const { return FPosV; }
  int PosicaoHorizontal() const { return FPosH; }
  void DefinirPosicaoVertical(int A);
  void DefinirPosicaoHorizontal(int A);
  // Height of the content when it reaches below its children: content that is
  // built only as it scrolls into view still scrolls over its whole height.
  int AlturaConteudo() const { return FAlturaConteudo; }
  void DefinirAlturaConteudo(int A);
  // Runs after the content moved (bar, wheel or code).
  std::function<void()> AoRolar;

 private:
  void Barras(bool& AVertical, bool& AHorizontal) const;

  bool FBorda = false;
  int FPosV = 0;
  int FPosH = 0;
  int FAlturaConteudo = 0;
};

class TPagina;
class TPaginas : public TControle {  // page control
 public:
  explicit TPaginas(TControle* APai);
  TPagina* NovaPagina(const std::string& ALegenda);
  const std::vector<TPagina*>& Paginas() const { return FPaginas; }
  int IndiceAtivo() const { return FAtiva; }
  void AtivarPagina(int AIndice);
  // Client area of the pages inside the control (the tab strip takes the top).
  TRetangulo AreaPaginas() const;
  // Puts every page on AreaPaginas (after a change of size, font or DPI).
  void AjustarPaginas();
  std::function<void()> AoMudarPagina;

 private:
  std::vector<TPagina*> FPaginas;
  int FAtiva = 0;
};

class TPagina : public TControle {
 public:
  TPagina(TPaginas* APai, const std::string& ALegenda);
  int ClientWidth() const override;
  int ClientHeight() const override;
};

enum class TEstadoJanela { Normal, Minimizada };

struct TEstiloJanela {
  bool SemBorda = false;        // no border and no title bar
  bool Redimensionavel = true;  // sizeable border (when bordered)
  bool SempreNoTopo = false;
  bool NaBarraDeTarefas = true;   // own taskbar button while visible
  bool JanelaFerramenta = false;  // WS_EX_TOOLWINDOW
  bool DuploBuffer = false;
  bool MostrarSemAtivar = false;  // shown without taking the focus
  bool operator==(const TEstiloJanela&) const = default;
};

class TJanela : public TControle {
 public:
  TJanela();
  ~TJanela() override;
  // Left/Top: screen position of the window; Width/Height: its outer size.
  // The client size is what the layouts set.
  int ClientWidth() const override { return FClienteW; }
  int ClientHeight() const override { return FClienteH; }
  void DefinirTamanhoCliente(int AWidth, int AHeight);
  const TEstiloJanela& Estilo() const { return FEstilo; }
  void DefinirEstilo(const TEstiloJanela& AEstilo);
  void Centralizar();  // on the work area of the screen

  void Mostrar();
  void Ocultar();
  TEstadoJanela Estado() const { return FEstado; }
  void DefinirEstado(TEstadoJanela AEstado);
  // ShowWindow SW_SHOWNORMAL when it should show (also after a minimise or hide
  // from outside), SetWindowPos HWND_TOPMOST when on top, BringWindowToTop.
  void TrazerAoTopo();
  // Whether the employee can see it: shown and not minimised, as the system has it.
  bool NaTela() const;
  void PrimeiroPlano();  // SetForegroundWindow
  bool Fechada() const { return FFechada; }
  // A close request: AoConsultarFechamento decides; when allowed the window hides
  // and AoFechar runs. True when it closed.
  bool Fechar();
  // Shows the window and runs a message loop until it is closed.
  void ExibirModal();
  // Shown at its place and size above every window that is not topmost
  // (HWND_TOPMOST) without taking the focus, and painted at once.
  void MostrarNoTopoSemAtivar();
  void Piscar();    // FlashWindow
  void Repintar();  // a repaint request

  // Drawing in code: the window paints its whole client area with this
  // (absent: its background colour).
  std::function<void(TCanvas& ACanvas)> AoPintar;
  void Pintar(TCanvas& ACanvas);
  // Mouse presses, moves and releases on the client area. The press captures
  // the mouse until the release, so moves and the release come also from
  // outside the window.
  std::function<void(const TEventoMouse& AEvento)> AoMouse;
  void EntregarMouse(const TEventoMouse& AEvento);
  // The window's shape; clicks outside it go to the windows below.
  const TRegiao& Regiao() const { return FRegiao; }
  void DefinirRegiao(TRegiao ARegiao);

  std::function<bool()> AoConsultarFechamento;  // absent: allowed
  // The session may end (log-off, shutdown): only a question, which another
  // program can still cancel. True lets it end. Absent: let through, and the
  // window stays as it is (it ends with the program, when the end is real).
  std::function<bool()> AoConsultarFimSessao;
  // The session ends for real (it was let through): the last chance to leave
  // in order before the program is ended.
  std::function<void()> AoFimSessao;
  // What the backend does when the session ends for real: the program's
  // pending session-end work (TAcaoFimSessao), AoFimSessao, then the end of
  // the program. Errors are reported (RelatarFalha), never shown in a box
  // the session would wait for. Returns only when all that is done: the
  // system may end the process right after.
  void EncerrarSessao() noexcept;
  std::function<void()> AoFechar;
  std::function<void()> AoRedimensionar;  // size or state changed
  // Window messages the kit does not know (tray callback, registered messages);
  // true when handled.
  std::function<bool(uint32_t AMsg, uintptr_t AWParam, intptr_t ALParam)> AoMensagem;
  bool EntregarMensagem(uint32_t AMsg, uintptr_t AWParam, intptr_t ALParam);

  // The backend reports what the user or the system did to the window.
  void TamanhoMudou(int AClienteW, int AClienteH);
  void EstadoMudou(TEstadoJanela AEstado);
  void PosicaoMudou(int ALeft, int ATop);

 private:
  int FClienteW = 0;
  int FClienteH = 0;
  TEstiloJanela FEstilo;
  TEstadoJanela FEstado = TEstadoJanela::Normal;
  bool FFechada = false;
  TRegiao FRegiao;
};

// Work that must be done by the time the session ends (a log-off or shutdown
// that was let through), whatever the program is waiting for then: it runs
// inside the session-end message (TJanela::EncerrarSessao), before the system
// may end the process, at most once. Withdrawn when it goes out of scope
// unrun. User-interface thread only.
class TAcaoFimSessao {
 public:
  explicit TAcaoFimSessao(std::function<void()> AAcao);
  ~TAcaoFimSessao();
  TAcaoFimSessao(const TAcaoFimSessao&) = delete;
  TAcaoFimSessao& operator=(const TAcaoFimSessao&) = delete;
  bool Executada() const { return FExecutada; }
  // Runs every pending action once, oldest first.
  static void ExecutarPendentes() noexcept;

 private:
  std::function<void()> FAcao;
  bool FExecutada = false;
};

class TTemporizador {
 public:
  TTemporizador();
  ~TTemporizador();
  TTemporizador(const TTemporizador&) = delete;
  TTemporizador& operator=(const TTemporizador&) = delete;
  uint32_t Intervalo() const { return FIntervalo; }
  // A changed interval restarts the countdown.
  void DefinirIntervalo(uint32_t AMilissegundos);
  bool Habilitado() const { return FHabilitado; }
  void DefinirHabilitado(bool A);
  std::function<void()> AoDisparar;
  void Disparar();  // delivery from the backend
  // Backend bookkeeping: the tick count at which the countdown started.
  uint32_t Inicio = 0;
  void* DadosBackend = nullptr;

 private:
  uint32_t FIntervalo = 1000;
  bool FHabilitado = false;
};

struct TItemMenu {
  std::string Nome;
  std::string Texto;
  std::function<void()> AoClicar;
};

class TMenuPopup {
 public:
  std::vector<TItemMenu> Itens;
  // Pops the menu up at the screen position; returns after the choice (the
  // chosen item's handler has run) or the dismissal.
  void Exibir(TJanela* ADono, TPonto APosicao);
};

enum class TTipoCaixa { Informacao, Aviso, Erro, Pergunta };
enum class TBotoesCaixa { Ok, SimNao };
enum class TResposta { Ok, Cancelar, Sim, Nao };

// The application: title, message loop, standard boxes, screen facts.
namespace app {
void DefinirTitulo(const std::string& ATitulo);
const std::string& Titulo();
void ProcessarMensagens();  // one pass over the pending messages
void Executar();            // message loop until Terminar
void Terminar();
bool Terminando();
// Plain modal box, centred on the screen; ADono may be null.
TResposta CaixaMensagem(TJanela* ADono, const std::string& ATexto, const std::string& ATitulo,
                        TTipoCaixa ATipo, TBotoesCaixa ABotoes = TBotoesCaixa::Ok);
// Input box with OK and Cancel; false on Cancel or close. The text shows in clear.
bool CaixaEntrada(const std::string& ATitulo, const std::string& APrompt, std::string& AValor);
// The default error report: a box titled with the application title and the
// error's text; owned by ADono when given (a window that stays on top keeps
// its boxes above it that way).
void MostrarErro(const std::exception& E, TJanela* ADono = nullptr);
// Runs an event handler; an error that escapes it goes to MostrarErro.
void ExecutarProtegido(const std::function<void()>& AAcao, TJanela* ADono = nullptr);
// Where the kit reports a failure of its own that it caught inside a window
// procedure (a paint that ran out of memory): the window goes on, and the
// program sends the text to its log. Unset: the failure goes unreported.
void DefinirRelatoDeFalhas(std::function<void(const std::string& ATexto)> ARelato);
void RelatarFalha(const std::string& ATexto) noexcept;
TRetangulo AreaDeTrabalho();
// The state the program was started in (a shortcut or launcher that asks for a
// minimised window): what the first window shown should follow.
TEstadoJanela EstadoInicial();
TPonto PosicaoCursor();
TTamanho MedirTexto(const TFonte& AFonte, const std::string& ATexto);
uint32_t RegistrarMensagem(const std::string& ANome);
// Runs AAcao on the user-interface thread when it next processes its
// messages, in the order posted. Callable from any thread.
void Postar(std::function<void()> AAcao);
// The posted actions waiting now (backends call this from their message loop).
void ExecutarPostados();
}  // namespace app

}  // namespace ui
