// Reader of Windows bitmap files: headers, palettes, bit fields, row order.
#include "platform/uImagemBmp.h"

#include <cstdint>

namespace {

uint32_t Ler16(std::string_view B, size_t P) {
  return static_cast<uint8_t>(B[P]) | (static_cast<uint8_t>(B[P + 1]) << 8);
}
uint32_t Ler32(std::string_view B, size_t P) {
  return Ler16(B, P) | (Ler16(B, P + 2) << 16);
}

// One channel of a bit-field pixel, scaled to 0..255.
struct TCampo {
  uint32_t Mascara = 0;
  int Deslocamento = 0;
  uint32_t Maximo = 0;
  explicit TCampo(uint32_t AMascara = 0) : Mascara(AMascara) {
    if (!Mascara) return;
    while (!((Mascara >> Deslocamento) & 1)) ++Deslocamento;
    Maximo = Mascara >> Deslocamento;
  }
  uint32_t Valor(uint32_t APixel, uint32_t APadrao) const {
    if (!Maximo) return APadrao;
    return (((APixel & Mascara) >> Deslocamento) * 255 + Maximo / 2) / Maximo;
  }
};

}  // namespace

bool DecodificarBmp(std::string_view B, TBitmap& AImagem) {
  AImagem = TBitmap{};
  if (B.size() < 26 || B[0] != 'B' || B[1] != 'M') return false;
  const uint32_t inicioDados = Ler32(B, 10);
  const uint32_t tamCabecalho = Ler32(B, 14);
  int64_t largura = 0, altura = 0;
  uint32_t bits = 0, compressao = 0, coresUsadas = 0;
  size_t tamEntradaPaleta = 4;
  if (tamCabecalho == 12) {  // OS/2 core header
    largura = Ler16(B, 18);
    altura = static_cast<int16_t>(Ler16(B, 20));
    bits = Ler16(B, 24);
    tamEntradaPaleta = 3;
  } else if (tamCabecalho >= 40 && B.size() >= 14 + 40) {
    largura = static_cast<int32_t>(Ler32(B, 18));
    altura = static_cast<int32_t>(Ler32(B, 22));
    bits = Ler16(B, 28);
    compressao = Ler32(B, 30);
    coresUsadas = Ler32(B, 46);
  } else {
    return false;
  }
  const bool deCimaParaBaixo = altura < 0;
  if (deCimaParaBaixo) altura = -altura;
  const int fator = FatorReducao(largura, altura);
  if (fator == 0) return false;

  // Channel masks: the defaults of each depth, or the bit fields that follow the
  // header (inside it from the V4 header on).
  TCampo r(0xFF0000), g(0xFF00), b(0xFF), a;
  if (bits == 16) r = TCampo(0x7C00), g = TCampo(0x3E0), b = TCampo(0x1F);
  if (compressao == 3 || compressao == 6) {  // BI_BITFIELDS, BI_ALPHABITFIELDS
    if (bits != 16 && bits != 32) return false;
    const size_t p = 14 + 40;
    if (B.size() < p + 12) return false;
    r = TCampo(Ler32(B, p));
    g = TCampo(Ler32(B, p + 4));
    b = TCampo(Ler32(B, p + 8));
    if ((compressao == 6 || tamCabecalho >= 56) && B.size() >= p + 16) a = TCampo(Ler32(B, p + 12));
  } else if (compressao != 0) {
    return false;  // RLE, embedded JPEG or PNG
  }

  std::vector<uint32_t> paleta;
  if (bits <= 8) {
    if (bits != 1 && bits != 4 && bits != 8) return false;
    size_t n = coresUsadas ? coresUsadas : (1u << bits);
    if (n > 256) return false;
    const size_t p = 14 + tamCabecalho;
    if (p + n * tamEntradaPaleta > B.size()) return false;
    for (size_t i = 0; i < n; ++i) {
      const size_t e = p + i * tamEntradaPaleta;
      paleta.push_back(0xFF000000u | (static_cast<uint8_t>(B[e + 2]) << 16) |
                       (static_cast<uint8_t>(B[e + 1]) << 8) | static_cast<uint8_t>(B[e]));
    }
  } else if (bits != 16 && bits != 24 && bits != 32) {
    return false;
  }

  const uint64_t bytesLinha = ((static_cast<uint64_t>(largura) * bits + 31) / 32) * 4;
  if (inicioDados > B.size() || bytesLinha * altura > B.size() - inicioDados) return false;

  const int w = static_cast<int>((largura + fator - 1) / fator);
  const int h = static_cast<int>((altura + fator - 1) / fator);
  AImagem.Pixels.resize(static_cast<size_t>(w) * h);
  for (int y = 0; y < h; ++y) {
    const int64_t yo = static_cast<int64_t>(y) * fator;
    const int64_t linhaArquivo = deCimaParaBaixo ? yo : altura - 1 - yo;
    const size_t base = inicioDados + static_cast<size_t>(linhaArquivo * bytesLinha);
    uint32_t* destino = AImagem.Pixels.data() + static_cast<size_t>(y) * w;
    for (int x = 0; x < w; ++x) {
      const int64_t xo = static_cast<int64_t>(x) * fator;
      uint32_t c = 0xFF000000u;
      if (bits <= 8) {
        const size_t bit = static_cast<size_t>(xo * bits);
        const uint8_t byte = static_cast<uint8_t>(B[base + bit / 8]);
        const uint32_t indice = (byte >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
        c = indice < paleta.size() ? paleta[indice] : 0xFF000000u;
      } else if (bits == 24) {
        const size_t p = base + static_cast<size_t>(xo) * 3;
        c |= (static_cast<uint8_t>(B[p + 2]) << 16) | (static_cast<uint8_t>(B[p + 1]) << 8) |
             static_cast<uint8_t>(B[p]);
      } else {
        const size_t p = base + static_cast<size_t>(xo) * (bits / 8);
        const uint32_t v = bits == 16 ? Ler16(B, p) : Ler32(B, p);
        c = (a.Valor(v, 255) << 24) | (r.Valor(v, 0) << 16) | (g.Valor(v, 0) << 8) | b.Valor(v, 0);
      }
      destino[x] = c;
    }
  }
  AImagem.Largura = w;
  AImagem.Altura = h;
  AImagem.LarguraOriginal = static_cast<int>(largura);
  AImagem.AlturaOriginal = static_cast<int>(altura);
  return true;
}
