// The sample program of the driver's tests: its window, controls and exit code.
#pragma once

inline constexpr const wchar_t* kClasseAmostra = L"VeskAmostraDriver";
inline constexpr const wchar_t* kTituloAmostra = L"Amostra do driver";
inline constexpr const wchar_t* kClassePainel = L"VeskPainelClique";

enum : int {
  kIdEventos = 100,     // a label collecting "name=value;" per event received
  kIdArgumentos = 101,  // arguments joined by "|", then "#" and VESK_DRIVER_ECO
  kIdSalvar = 200,
  kIdConcordo = 201,
  kIdEdit = 202,
  kIdAbas = 203,
  kIdPainel = 204,
  kIdPerguntar = 205,
  kIdOculto = 206,
};

// The clickable panel of our own class, in the window's client area at 96 DPI.
inline constexpr int kPainelX = 20, kPainelY = 200, kPainelL = 120, kPainelA = 40;

inline constexpr int kSaidaAmostra = 7;  // when its window is closed

// False in the test program itself (the sample never returns to main).
bool EhProcessoAmostra();
