// The Win32 backend's loop (uKitBackend_win32.cpp): the screen's DPI, the
// hidden window, the dispatch of the thread's messages.
#pragma once

#include "platform/ui/uKitWin32.h"

namespace ui::w32 {

// DPI of screen positions (work area, window positions, cursor): the primary monitor's.
int DpiTela();
HWND JanelaOculta();
// One dispatch of a message of the thread's queue, with wheel routing and dialog keys.
void Despachar(MSG& AMsg);
bool RotearRoda(HWND AAlvo, WPARAM AW, LPARAM AL);
// Controls that Tab stops at (in the order the kit built them).
bool EhParadaDeTab(const TControle& C);

}  // namespace ui::w32
