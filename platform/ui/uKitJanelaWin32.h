// The Win32 backend's windows (uKitJanela_win32.cpp): the link between a
// window and its kit object, styles, classes, the window procedure and its
// exception barrier, native texts.
#pragma once

#include <exception>
#include <string>

#include "platform/ui/uKitWin32.h"

namespace ui::w32 {

TPeerWin32* PeerDe(HWND AJanela);
void LigarPeer(HWND AJanela, TPeerWin32* APeer);  // null unlinks
TControle* ControleDe(HWND AJanela);
HWND HandleDe(const TControle* AControle);

// Window styles of a top-level window for the kit's style.
DWORD EstiloJanela(const TEstiloJanela& AEstilo);
DWORD EstiloExJanela(const TEstiloJanela& AEstilo);
void AplicarEstiloJanela(TPeerWin32& APeer);
void AplicarEstadoJanela(TPeerWin32& APeer);
void MostrarJanela(TPeerWin32& APeer);
void AplicarRegiaoJanela(TPeerWin32& APeer);

void RegistrarClasses();
LRESULT CALLBACK ProcJanela(HWND AJanela, UINT AMsg, WPARAM AW, LPARAM AL);

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

// Text of a native window in UTF-8, and back.
std::string TextoDe(HWND AJanela);
void DefinirTextoNativo(HWND AJanela, const std::string& ATexto);

}  // namespace ui::w32
