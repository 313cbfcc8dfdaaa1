// Pictures concern: PNG, JPEG and BMP files decoded to 32-bit pixels.
// Windows: WIC. POSIX: libpng and libjpeg (BMP read by our own code).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// Straight (not premultiplied) 0xAARRGGBB pixels, rows top to bottom.
struct TBitmap {
  int Largura = 0;
  int Altura = 0;
  std::vector<uint32_t> Pixels;
  // The picture's own size in its file, before any reduction on decode; 0 when
  // the pixels were not decoded from a file.
  int LarguraOriginal = 0;
  int AlturaOriginal = 0;
  bool Vazio() const { return Largura <= 0 || Altura <= 0; }
  int LarguraNatural() const { return LarguraOriginal > 0 ? LarguraOriginal : Largura; }
  int AlturaNatural() const { return AlturaOriginal > 0 ? AlturaOriginal : Altura; }
};
using TBitmapPtr = std::shared_ptr<const TBitmap>;

enum class TFormatoImagem { PeloNome, Png, Jpeg, Bmp };

// A decoded picture never holds more pixels than an 8K desktop (8192 x 4608,
// 7680 x 4320: 144 MiB of pixels at most), so that a wallpaper keeps its full
// resolution and the popup draws an enlarged photo from its own pixels. A
// larger one is reduced by a whole factor while it is decoded.
inline constexpr int64_t kMaxPixelsImagem = 8192LL * 4608;
// Pictures whose header claims more than this are refused outright (damaged or
// hostile headers).
inline constexpr int64_t kMaxPixelsDeclarados = 1024LL * 1024 * 1024;
inline constexpr int kMaxLadoImagem = 65535;

// Decodes the file; false (and an empty picture) when it is missing, damaged or
// of another format than asked. PeloNome chooses by the file name's extension
// (".png", ".jpg", ".jpeg", ".bmp", any case); another extension gives false.
bool CarregarImagemArquivo(const std::string& ACaminho, TFormatoImagem AFormato, TBitmap& AImagem);
// The same from bytes in memory; PeloNome recognises the format by its signature.
bool DecodificarImagemMemoria(std::string_view ABytes, TFormatoImagem AFormato, TBitmap& AImagem);

// Format by the file name's extension, PeloNome when it is none of the three.
TFormatoImagem FormatoPelaExtensao(const std::string& ACaminho);
// Format by the first bytes, PeloNome when unknown.
TFormatoImagem FormatoPelaAssinatura(std::string_view ABytes);

// Whole factor by which a picture of that size is reduced on decode (1: none);
// 0 when the size is refused.
int FatorReducao(int64_t ALargura, int64_t AAltura);

// Each pixel's colour blended onto white by its alpha; the result is opaque.
void MisturarSobreBranco(TBitmap& AImagem);
// Whether the picture holds fewer pixels than its file (reduced on decode).
inline bool Reduzida(const TBitmap& AImagem) {
  return AImagem.Largura < AImagem.LarguraNatural() || AImagem.Altura < AImagem.AlturaNatural();
}
// A 24-bit bottom-up Windows bitmap file of the picture (alpha blended on white).
std::string CodificarBmp24(const TBitmap& AImagem);
// Writes CodificarBmp24 to the file a band of rows at a time, into a temporary
// file beside it that then replaces it: a failed write leaves the file as it
// was. False when the write fails or the picture is empty.
bool GravarBmp24(const std::string& ACaminho, const TBitmap& AImagem);
