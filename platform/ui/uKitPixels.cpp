// Premultiplied alpha and area-averaged scaling of pictures for the backends.
#include "platform/ui/uKitPixels.h"

#include <algorithm>
#include <cmath>

namespace ui {

namespace {

// A band of the horizontal pass holds at most this many pixels of four float
// channels (8 MiB), whatever the size of the picture or of the region.
constexpr size_t kMaxPixelsFaixa = size_t{1} << 19;

uint32_t Premultiplicado(uint32_t P) {
  const uint32_t a = P >> 24;
  if (a == 255) return P;
  if (a == 0) return 0;
  auto canal = [a](uint32_t c) { return (c * a + 127) / 255; };
  return (a << 24) | (canal((P >> 16) & 0xFF) << 16) | (canal((P >> 8) & 0xFF) << 8) |
         canal(P & 0xFF);
}

// Weights of the source cells [0, AOrigem) that one target cell covers.
struct TPeso {
  int Indice;
  float Peso;
};
using TPesos = std::vector<std::vector<TPeso>>;

// The weights of target cells [AIni, AFim) of ADestino.
TPesos Pesos(int AOrigem, int ADestino, int AIni, int AFim) {
  TPesos out(static_cast<size_t>(AFim - AIni));
  const double escala = static_cast<double>(AOrigem) / ADestino;
  for (int i = AIni; i < AFim; ++i) {
    double ini = i * escala, fim = (i + 1) * escala;
    if (escala < 1) {
      // Enlarging: a cell of one source pixel centred on the target's centre,
      // so that neighbours blend instead of showing blocks.
      const double c = (i + 0.5) * escala;
      ini = std::max(0.0, c - 0.5);
      fim = std::min(static_cast<double>(AOrigem), c + 0.5);
    }
    std::vector<TPeso>& pesos = out[static_cast<size_t>(i - AIni)];
    double total = 0;
    for (int k = static_cast<int>(std::floor(ini)); k < static_cast<int>(std::ceil(fim)); ++k) {
      const double w = std::min(fim, k + 1.0) - std::max(ini, static_cast<double>(k));
      if (w > 1e-9) {
        pesos.push_back({k, static_cast<float>(w)});
        total += w;
      }
    }
    for (TPeso& p : pesos) p.Peso = static_cast<float>(p.Peso / total);
  }
  return out;
}

uint32_t Compor(const float* AAcc) {
  const uint32_t a = static_cast<uint32_t>(std::clamp(std::lround(AAcc[3]), 0L, 255L));
  uint32_t v = a << 24;
  for (int c = 0; c < 3; ++c) {
    // A premultiplied channel never exceeds its alpha.
    const uint32_t k =
        static_cast<uint32_t>(std::clamp(std::lround(AAcc[c]), 0L, static_cast<long>(a)));
    v |= k << (8 * c);
  }
  return v;
}

}  // namespace

std::vector<uint32_t> Premultiplicar(const TBitmap& AImagem) {
  std::vector<uint32_t> out(AImagem.Pixels.size());
  std::transform(AImagem.Pixels.begin(), AImagem.Pixels.end(), out.begin(), Premultiplicado);
  return out;
}

std::vector<uint32_t> EscalarPremultiplicado(const TBitmap& AImagem, int ALargura, int AAltura) {
  return EscalarRegiao(AImagem, ALargura, AAltura, {0, 0, ALargura, AAltura});
}

std::vector<uint32_t> EscalarRegiao(const TBitmap& AImagem, int ALargura, int AAltura,
                                    const TRetangulo& ARegiao) {
  if (ARegiao.Width <= 0 || ARegiao.Height <= 0) return {};
  std::vector<uint32_t> out(static_cast<size_t>(ARegiao.Width) * ARegiao.Height);
  if (!EscalarRegiao(AImagem, ALargura, AAltura, ARegiao, out.data())) return {};
  return out;
}

bool EscalarRegiao(const TBitmap& AImagem, int ALargura, int AAltura, const TRetangulo& ARegiao,
                   uint32_t* ADestino) {
  if (AImagem.Vazio() || ALargura <= 0 || AAltura <= 0) return false;
  const int sw = AImagem.Largura, sh = AImagem.Altura;
  if (AImagem.Pixels.size() < static_cast<size_t>(sw) * sh) return false;
  const TRetangulo& r = ARegiao;
  if (r.Width <= 0 || r.Height <= 0 || r.Left < 0 || r.Top < 0 || r.Right() > ALargura ||
      r.Bottom() > AAltura)
    return false;
  const size_t rw = static_cast<size_t>(r.Width);
  uint32_t* out = ADestino;

  if (sw == ALargura && sh == AAltura) {
    // Same size: the region's pixels, premultiplied.
    for (int y = 0; y < r.Height; ++y) {
      const uint32_t* origem = AImagem.Pixels.data() + static_cast<size_t>(r.Top + y) * sw + r.Left;
      std::transform(origem, origem + rw, out + y * rw, Premultiplicado);
    }
    return true;
  }

  const TPesos px = Pesos(sw, ALargura, r.Left, r.Right());
  const TPesos py = Pesos(sh, AAltura, r.Top, r.Bottom());
  // Bands of target rows: a horizontal pass over the source rows they need,
  // into four float channels, then the vertical pass.
  std::vector<float> meio;
  int y = 0;
  while (y < r.Height) {
    const int s0 = py[static_cast<size_t>(y)].front().Indice;
    int fimFaixa = y + 1;
    while (fimFaixa < r.Height &&
           static_cast<size_t>(py[static_cast<size_t>(fimFaixa)].back().Indice + 1 - s0) * rw <=
               kMaxPixelsFaixa)
      ++fimFaixa;
    const int s1 = py[static_cast<size_t>(fimFaixa - 1)].back().Indice + 1;
    meio.assign(static_cast<size_t>(s1 - s0) * rw * 4, 0.0f);
    for (int sy = s0; sy < s1; ++sy) {
      const uint32_t* linha = AImagem.Pixels.data() + static_cast<size_t>(sy) * sw;
      float* d = &meio[static_cast<size_t>(sy - s0) * rw * 4];
      for (size_t x = 0; x < rw; ++x, d += 4)
        for (const TPeso& p : px[x]) {
          const uint32_t v = Premultiplicado(linha[p.Indice]);
          for (int c = 0; c < 4; ++c) d[c] += p.Peso * static_cast<float>((v >> (8 * c)) & 0xFF);
        }
    }
    for (int ty = y; ty < fimFaixa; ++ty) {
      uint32_t* destino = out + static_cast<size_t>(ty) * rw;
      const std::vector<TPeso>& pesos = py[static_cast<size_t>(ty)];
      for (size_t x = 0; x < rw; ++x) {
        float acc[4] = {0, 0, 0, 0};
        for (const TPeso& p : pesos) {
          const float* s = &meio[(static_cast<size_t>(p.Indice - s0) * rw + x) * 4];
          for (int c = 0; c < 4; ++c) acc[c] += p.Peso * s[c];
        }
        destino[x] = Compor(acc);
      }
    }
    y = fimFaixa;
  }
  return true;
}

}  // namespace ui
