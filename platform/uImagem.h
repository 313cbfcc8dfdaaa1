// Pictures concern: PNG, JPEG and BMP files decoded to 32-bit pixels.
// Windows: WIC. POSIX: libpng and libjpeg (BMP read by our own code).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Straight (not premultiplied) 0xAARRGGBB pixels, rows top to bottom.
struct TBitmap {
  int Largura = 0;
  int Altura = 0;
  std::vector<uint32_t> Pixels;
  bool Vazio() const { return Largura <= 0 || Altura <= 0; }
};
using TBitmapPtr = std::shared_ptr<const TBitmap>;

enum class TFormatoImagem { PeloNome, Png, Jpeg, Bmp };

// Decodes the file; false (and an empty picture) when it is missing, damaged or
// of another format than asked. PeloNome chooses by the file name's extension.
bool CarregarImagemArquivo(const std::string& ACaminho, TFormatoImagem AFormato, TBitmap& AImagem);
