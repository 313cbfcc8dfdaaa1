// Fuzz target of the bitmap reader: any file gives false or a whole picture,
// and the bitmaps the agent writes itself read back pixel for pixel.
#include <cstdint>
#include <string>

#include "fuzz/uFuzzApoio.h"
#include "platform/uImagem.h"
#include "platform/uImagemBmp.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* AData, size_t ASize) {
  const std::string bytes(reinterpret_cast<const char*>(AData), ASize);
  TBitmap img;
  if (DecodificarBmp(bytes, img)) {
    VERIFICAR(!img.Vazio());
    VERIFICAR(img.Pixels.size() == static_cast<size_t>(img.Largura) * img.Altura);
    VERIFICAR(img.Largura <= img.LarguraNatural() && img.Altura <= img.AlturaNatural());
    VERIFICAR(static_cast<int64_t>(img.Largura) * img.Altura <= kMaxPixelsImagem);
    // Recognised by its signature, it decodes the same through the general entry.
    TBitmap outra;
    VERIFICAR(DecodificarImagemMemoria(bytes, TFormatoImagem::PeloNome, outra));
    VERIFICAR(outra.Pixels == img.Pixels);
  } else {
    VERIFICAR(img.Vazio() && img.Pixels.empty());
  }

  // Round trip: the input's bytes as the pixels of a small picture, written as
  // the 24-bit bitmap of a wallpaper, read back as those colours blended on white.
  if (ASize < 4) return 0;
  TBitmap origem;
  origem.Largura = 1 + AData[0] % 17;
  const size_t pixels = (ASize - 1) / 4;
  origem.Altura = static_cast<int>(pixels / origem.Largura);
  if (origem.Altura == 0) return 0;
  origem.Pixels.resize(static_cast<size_t>(origem.Largura) * origem.Altura);
  for (size_t i = 0; i < origem.Pixels.size(); ++i) {
    const uint8_t* p = AData + 1 + i * 4;
    origem.Pixels[i] =
        (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
  }
  TBitmap lida;
  VERIFICAR(DecodificarBmp(CodificarBmp24(origem), lida));
  TBitmap misturada = origem;
  MisturarSobreBranco(misturada);
  VERIFICAR(lida.Largura == origem.Largura && lida.Altura == origem.Altura);
  VERIFICAR(lida.Pixels == misturada.Pixels);
  return 0;
}
