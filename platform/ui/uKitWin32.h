// What every file of the Win32 backend shares: the window classes, DPI scaling
// and the counterpart of a kit object (only platform/ui/*_win32.cpp include this).
// Functions are declared by the header of the file that defines them.
#pragma once

#include <windows.h>

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

// Posted to the hidden window when actions wait in app::Postar's queue.
inline constexpr UINT kMsgPostados = WM_APP + 77;

}  // namespace ui::w32
