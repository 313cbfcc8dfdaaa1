// Resource ids shared by the .rc files and the C++ code that loads them.
#pragma once

// Application icon (the logo), also the tray and window icon.
#define IDI_APLICACAO 1
// The logo as PNG: the main window's design-time picture when no
// logo_agente.png lies beside the executable.
#define IDR_LOGO_PNG 101

#ifndef VESK_VERSAO_BIN
#define VESK_VERSAO_BIN 1, 0, 115, 0
#define VESK_VERSAO_TEXTO "1.0.115"
#endif
