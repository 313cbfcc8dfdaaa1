// The Win32 backend's painting (uKitPintura_win32.cpp): GDI resources and the
// painting of the controls of our own classes.
#pragma once

#include "platform/ui/uKitWin32.h"

namespace ui::w32 {

// GDI resources, cached for the program's life (few distinct fonts and colours).
HFONT FonteGdi(const TFonte& AFonte, int ADpi);
HBRUSH PincelGdi(COLORREF ACor);
COLORREF CorGdi(TCor ACor);
COLORREF CorFundo(const TControle& AControle);  // its own colour (kCorDoPai resolved)
COLORREF CorAtras(const TControle& AControle);  // what shows behind it: the parent's

// ACliente is the whole client area, ARecorte the part of it to paint (nothing
// outside it is touched, and the work follows it, not the client area).
void Pintar(TPeerWin32& APeer, HDC ADc, const RECT& ACliente, const RECT& ARecorte);

}  // namespace ui::w32
