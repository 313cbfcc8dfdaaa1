// Premultiplied alpha and area-averaged scaling of pictures for the backends.
#include "platform/ui/uKitPixels.h"

#include <algorithm>
#include <cmath>

namespace ui {

namespace {

uint32_t Premultiplicado(uint32_t P) {
  const uint32_t a = P >> 24;
  if (a == 255) return P;
  if (a == 0) return 0;
  auto canal = [a](uint32_t c) { return (c * a + 127) / 255; };
  return (a << 24) | (canal((P >> 16) & 0xFF) << 16) | (canal((P >> 8) & 0xFF) << 8) |
         canal(P & 0xFF);
}

// Weights of the source cells [0, AOrigem) that target cell AI of ADestino covers.
struct TPeso {
  int Indice;
  double Peso;
};

std::vector<std::vector<TPeso>> Pesos(int AOrigem, int ADestino) {
  std::vector<std::vector<TPeso>> out(static_cast<size_t>(ADestino));
  const double escala = static_cast<double>(AOrigem) / ADestino;
  for (int i = 0; i < ADestino; ++i) {
    double ini = i * escala, fim = (i + 1) * escala;
    if (escala < 1) {
      // Enlarging: a cell of one source pixel centred on the target's centre,
      // so that neighbours blend instead of showing blocks.
      const double c = (i + 0.5) * escala;
      ini = std::max(0.0, c - 0.5);
      fim = std::min(static_cast<double>(AOrigem), c + 0.5);
    }
    double total = 0;
    for (int k = static_cast<int>(std::floor(ini)); k < static_cast<int>(std::ceil(fim)); ++k) {
      const double w = std::min(fim, k + 1.0) - std::max(ini, static_cast<double>(k));
      if (w > 1e-9) {
        out[i].push_back({k, w});
        total += w;
      }
    }
    for (TPeso& p : out[i]) p.Peso /= total;
  }
  return out;
}

}  // namespace

std::vector<uint32_t> Premultiplicar(const TBitmap& AImagem) {
  std::vector<uint32_t> out(AImagem.Pixels.size());
  std::transform(AImagem.Pixels.begin(), AImagem.Pixels.end(), out.begin(), Premultiplicado);
  return out;
}

std::vector<uint32_t> EscalarPremultiplicado(const TBitmap& AImagem, int ALargura, int AAltura) {
  if (AImagem.Vazio() || ALargura <= 0 || AAltura <= 0) return {};
  const int sw = AImagem.Largura, sh = AImagem.Altura;
  if (AImagem.Pixels.size() < static_cast<size_t>(sw) * sh) return {};
  std::vector<uint32_t> pre = Premultiplicar(AImagem);
  if (sw == ALargura && sh == AAltura) return pre;

  // Horizontal pass into four float channels, then vertical.
  const auto px = Pesos(sw, ALargura);
  const auto py = Pesos(sh, AAltura);
  std::vector<float> meio(static_cast<size_t>(ALargura) * sh * 4);
  for (int y = 0; y < sh; ++y)
    for (int x = 0; x < ALargura; ++x) {
      float acc[4] = {0, 0, 0, 0};
      for (const TPeso& p : px[x]) {
        const uint32_t v = pre[static_cast<size_t>(y) * sw + p.Indice];
        for (int c = 0; c < 4; ++c) acc[c] += static_cast<float>(p.Peso * ((v >> (8 * c)) & 0xFF));
      }
      float* d = &meio[(static_cast<size_t>(y) * ALargura + x) * 4];
      std::copy(acc, acc + 4, d);
    }
  std::vector<uint32_t> out(static_cast<size_t>(ALargura) * AAltura);
  for (int y = 0; y < AAltura; ++y)
    for (int x = 0; x < ALargura; ++x) {
      float acc[4] = {0, 0, 0, 0};
      for (const TPeso& p : py[y]) {
        const float* s = &meio[(static_cast<size_t>(p.Indice) * ALargura + x) * 4];
        for (int c = 0; c < 4; ++c) acc[c] += static_cast<float>(p.Peso) * s[c];
      }
      uint32_t v = 0;
      const uint32_t a = static_cast<uint32_t>(std::clamp(std::lround(acc[3]), 0L, 255L));
      for (int c = 0; c < 3; ++c) {
        // A premultiplied channel never exceeds its alpha.
        const uint32_t k =
            static_cast<uint32_t>(std::clamp(std::lround(acc[c]), 0L, static_cast<long>(a)));
        v |= k << (8 * c);
      }
      out[static_cast<size_t>(y) * ALargura + x] = v | (a << 24);
    }
  return out;
}

}  // namespace ui
