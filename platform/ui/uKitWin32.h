// Internals shared by the Win32 backend's files (only platform/ui/*_win32.cpp include this).
#pragma once

#include <windows.h>

#include <exception>
#include <string>
#include <vector>

#include "platform/ui/uKit.h"
#include "platform/ui/uKitBackend.h"

namespace ui::w32 {

inline constexpr wchar_t kClasseJanela[] = L"VeskJanela";  // top-level windows
inline constexpr wchar_t kClasseControle[] =
    L"VeskControle";  // panels, labels, images, pages, scroll boxes
inline constexpr wchar_t kClasseOculta[] = L"VeskOculta";  // timers, owner, menus

inline int Escalar(int AValor, int ADpi) {
  return MulDiv(AValor, ADpi, 96);
}
inline int Desescalar(int AValor, int ADpi) {
  return MulDiv(AValor, 96, ADpi);
}
// DPI of screen positions (work area, window positions, cursor): the primary monitor's.
int DpiTela();

// The counterpart of one object: its HWND and what mirroring it needs.
class TPeerWin32 final : public TPeer {
 public:
  explicit TPeerWin32(TControle& AControle);
  ~TPeerWin32() override;
  void Sincronizar(TPropriedade AQue) override;
  void* Nativo() override { return H; }

  void Criar();
  int Dpi() const;
  void AplicarLimites();
  void AplicarFonte();
  void AtualizarBarras();     // scroll box: bars and children after a change
  void ReposicionarFilhos();  // scroll box: children after the content moved
  void ReaplicarArvore();     // after a DPI change: fonts and bounds of the subtree
  void LiberarImagem();
  void SincronizarEstilo();
  void Recriar();  // for styles that an edit takes only at creation

  TControle& C;
  HWND H = nullptr;
  UINT Id = 0;
  bool Aplicando = false;       // our own move or resize: not reported back
  bool Relatando = false;       // reporting the user's move or resize: not mirrored
  bool DefinindoTexto = false;  // our own text change: no EN_CHANGE report
  bool Pressionado = false;     // left button went down inside (click on release)
  TEstiloJanela EstiloAplicado;
  HWND FocoSalvo = nullptr;
  // Picture prepared for the last drawn size: the part DibRegiao of the
  // picture scaled to DibW x DibH (all of it when that is small enough).
  HBITMAP Dib = nullptr;
  const TBitmap* DibOrigem = nullptr;
  int DibW = 0, DibH = 0;
  TRetangulo DibRegiao;
};

TPeerWin32* PeerDe(HWND AJanela);
void LigarPeer(HWND AJanela, TPeerWin32* APeer);  // null unlinks
TControle* ControleDe(HWND AJanela);
TControle* ControlePorId(UINT AId);
HWND HandleDe(const TControle* AControle);

// GDI resources, cached for the program's life (few distinct fonts and colours).
HFONT FonteGdi(const TFonte& AFonte, int ADpi);
HBRUSH PincelGdi(COLORREF ACor);
COLORREF CorGdi(TCor ACor);
COLORREF CorFundo(const TControle& AControle);  // its own colour (kCorDoPai resolved)
COLORREF CorAtras(const TControle& AControle);  // what shows behind it: the parent's

// Window styles of a top-level window for the kit's style.
DWORD EstiloJanela(const TEstiloJanela& AEstilo);
DWORD EstiloExJanela(const TEstiloJanela& AEstilo);
void AplicarEstiloJanela(TPeerWin32& APeer);
void AplicarEstadoJanela(TPeerWin32& APeer);
void MostrarJanela(TPeerWin32& APeer);
void AplicarRegiaoJanela(TPeerWin32& APeer);
// Posted to the hidden window when actions wait in app::Postar's queue.
inline constexpr UINT kMsgPostados = WM_APP + 77;

void RegistrarClasses();
HWND JanelaOculta();
LRESULT CALLBACK ProcJanela(HWND AJanela, UINT AMsg, WPARAM AW, LPARAM AL);
// Messages children send to their parent (commands, notifications, colours, cursor).
bool TratarMensagemDeFilho(HWND AJanela, UINT AMsg, WPARAM AW, LPARAM AL, LRESULT& AResultado);
// The scroll box's own bar messages.
void TratarRolagem(TPeerWin32& APeer, bool AVertical, WORD ACodigo);
// One dispatch of a message of the thread's queue, with wheel routing and dialog keys.
void Despachar(MSG& AMsg);
bool RotearRoda(HWND AAlvo, WPARAM AW, LPARAM AL);
// Controls that Tab stops at (in the order the kit built them).
bool EhParadaDeTab(const TControle& C);

// Painting of the controls of our own classes: ACliente is the whole client
// area, ARecorte the part of it to paint (nothing outside it is touched, and
// the work follows it, not the client area).
void Pintar(TPeerWin32& APeer, HDC ADc, const RECT& ACliente, const RECT& ARecorte);
// The part of the window's client area that its parents leave visible, in its
// own client coordinates: a child larger than its scroll box shows only that.
RECT ParteVisivel(HWND AJanela);
// A failure caught inside a window procedure: reported, and the window goes on.
void RelatarFalhaJanela(HWND AJanela, UINT AMsg, const char* ATexto) noexcept;
// Runs one message's handling; an error that escapes it is reported, and the
// message gets the default handling instead.
template <class F>
LRESULT Protegido(HWND AJanela, UINT AMsg, WPARAM AW, LPARAM AL, F&& AProc) {
  try {
    return AProc();
  } catch (const std::exception& e) {
    RelatarFalhaJanela(AJanela, AMsg, e.what());
  } catch (...) {
    RelatarFalhaJanela(AJanela, AMsg, "erro desconhecido");
  }
  return DefWindowProcW(AJanela, AMsg, AW, AL);
}

// Boxes and menus.
TResposta CaixaMensagemWin32(TJanela* ADono, const std::string& ATexto, const std::string& ATitulo,
                             TTipoCaixa ATipo, TBotoesCaixa ABotoes);
bool CaixaEntradaWin32(const std::string& ATitulo, const std::string& APrompt, std::string& AValor);
void ExibirMenuWin32(TMenuPopup& AMenu, TJanela* ADono, TPonto APosicao);

// Text of a native window in UTF-8, and back.
std::string TextoDe(HWND AJanela);
void DefinirTextoNativo(HWND AJanela, const std::string& ATexto);

}  // namespace ui::w32
