// A plain window of known colours, for tests of the screenshot tooling.
#pragma once

#include <cstdint>
#include <string>

// A borderless, visible top-level window at (AX, AY) of AL x AA pixels, filled
// with ACor (0xRRGGBB) and holding a centred square of ACorCentro, half the
// smaller side wide. It paints on WM_PAINT and WM_PRINTCLIENT alike.
void* CriarJanelaAmostra(const std::string& ATitulo, int AX, int AY, int AL, int AA, uint32_t ACor,
                         uint32_t ACorCentro);
void DestruirJanelaAmostra(void* AJanela);
