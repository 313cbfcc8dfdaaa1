// Fixtures of the notice tests: pictures written by the test itself.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// A PNG file's bytes (8-bit RGBA, non-interlaced) of the colours given per pixel
// as 0xAARRGGBB.
std::string PngRgba(int ALargura, int AAltura, const std::function<uint32_t(int, int)>& ACor);
// A single-colour opaque PNG of any size, compressed as it is produced, so that
// a huge picture costs the test no memory.
bool GravarPngUniforme(const std::string& ACaminho, int ALargura, int AAltura, uint32_t ACor);
// An opaque PNG of any size with the colour (0xRRGGBB) given per pixel, written
// as it is produced.
bool GravarPngRgb(const std::string& ACaminho, int ALargura, int AAltura,
                  const std::function<uint32_t(int, int)>& ACor);
// A bottom-up BMP of 1, 4 or 8 bits with the palette (0xRRGGBB each) and the
// bytes of each file row (ALinha(k) for the file's k-th row, the picture's
// bottom row first), each padded to 4 bytes here.
std::string BmpDePaleta(int ALargura, int AAltura, int ABits, const std::vector<uint32_t>& APaleta,
                        const std::function<std::string(int)>& ALinha);
// A 16 x 8 JPEG: the left half red, the right half blue.
std::string JpegPequeno();

class TShellGravador;
// Checks that the shell was asked exactly once to open the file as it is, with
// no parameters or folder, shown normally: the audio player's fallback.
void VerificarAberturaPeloShell(const TShellGravador& AShell, const std::string& AArquivo);
