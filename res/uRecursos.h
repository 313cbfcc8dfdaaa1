// Resource ids shared by the .rc files and the C++ code that loads them.
#pragma once

// Application icon (the logo), also the tray and window icon.
#define IDI_APLICACAO 1
// The logo as PNG: the main window's design-time picture when no
// logo_agente.png lies beside the executable.
#define IDR_LOGO_PNG 101

// The version resource carries the project's version (see uVersaoProjeto.h.in);
// a test build that stands for another version defines both before this.
#ifndef VESK_VERSAO_BIN
#include "uVersaoProjeto.h"
#define VESK_VERSAO_BIN VESK_VERSAO_PROJETO_BIN
#define VESK_VERSAO_TEXTO VESK_VERSAO_PROJETO_TEXTO
#endif
