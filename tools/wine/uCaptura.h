// Screenshots for the Windows tests: a window or the whole screen into a PNG
// file in the folder that tools/wine/run-wine.sh names in VESK_SCREENS_WIN.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The folder where screenshots go: VESK_SCREENS_WIN, or the current folder
// when it is unset. Ends without a backslash.
std::string PastaCapturas();

// Renders the window (an HWND) into nome + ".png" in PastaCapturas(). A visible
// window is brought to the front, repainted and copied from the screen, so
// that what the employee would see is what is saved; a hidden or off-screen
// one is asked to print itself. Characters that a file name cannot hold
// become '_'. False when the window does not exist or the file cannot be
// written.
bool CapturarJanela(void* hwnd, const std::string& nome);

// The whole screen into nome + ".png" in PastaCapturas().
bool CapturarTela(const std::string& nome);

// A PNG read back (for tests that look at what a screenshot shows).
struct TPngLido {
  int Largura = 0;
  int Altura = 0;
  std::vector<uint32_t> Pixels;  // 0xAARRGGBB, rows top to bottom
  uint32_t Pixel(int AX, int AY) const { return Pixels[static_cast<size_t>(AY) * Largura + AX]; }
};
bool LerPng(const std::string& ACaminho, TPngLido& APng);
