// Tests of the pixel helpers that prepare pictures for drawing (both builds).
#include <gtest/gtest.h>

#include <map>
#include <utility>

#include "platform/ui/uKitPixels.h"

using namespace ui;

namespace {

TBitmap Cheia(int AL, int AA, uint32_t APixel) {
  TBitmap b;
  b.Largura = AL;
  b.Altura = AA;
  b.Pixels.assign(static_cast<size_t>(AL) * AA, APixel);
  return b;
}

TEST(KitPixels, PremultiplicaCadaCanalPeloAlfa) {
  struct TCaso {
    uint32_t Reto, Esperado;
  };
  const TCaso casos[] = {
      {0xFFFF8000, 0xFFFF8000},  // opaque: unchanged
      {0x00FFFFFF, 0x00000000},  // transparent: black, whatever its colour
      {0x80FF0000, 0x80800000},  // half: channels halved (rounded)
      {0x40204060, 0x40081018},
  };
  for (const TCaso& k : casos) {
    TBitmap b = Cheia(1, 1, k.Reto);
    EXPECT_EQ(Premultiplicar(b)[0], k.Esperado) << std::hex << k.Reto;
  }
}

TEST(KitPixels, ReducaoFazAMediaDaArea) {
  // Two columns, black and white, into one: grey.
  TBitmap b;
  b.Largura = 2;
  b.Altura = 1;
  b.Pixels = {0xFF000000, 0xFFFFFFFF};
  const auto r = EscalarPremultiplicado(b, 1, 1);
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0] >> 24, 255u);
  EXPECT_NEAR(static_cast<int>(r[0] & 0xFF), 128, 1);
}

TEST(KitPixels, TransparenteNaoEscureceABorda) {
  // A red pixel beside a transparent one: the average stays pure red, half covered.
  TBitmap b;
  b.Largura = 2;
  b.Altura = 1;
  b.Pixels = {0xFFFF0000, 0x0000FF00};
  const auto r = EscalarPremultiplicado(b, 1, 1);
  ASSERT_EQ(r.size(), 1u);
  const uint32_t a = r[0] >> 24, vermelho = (r[0] >> 16) & 0xFF, verde = (r[0] >> 8) & 0xFF;
  EXPECT_NEAR(static_cast<int>(a), 128, 1);
  EXPECT_EQ(vermelho, a);  // premultiplied: full red at this alpha
  EXPECT_EQ(verde, 0u);
}

TEST(KitPixels, TamanhosEBordas) {
  const TBitmap b = Cheia(150, 150, 0xFF0164E6);
  // Same size: just premultiplied; any size keeps a uniform colour uniform.
  EXPECT_EQ(EscalarPremultiplicado(b, 150, 150), Premultiplicar(b));
  for (auto [w, h] : {std::pair{60, 60}, std::pair{1, 1}, std::pair{300, 77}}) {
    const auto r = EscalarPremultiplicado(b, w, h);
    ASSERT_EQ(r.size(), static_cast<size_t>(w) * h);
    for (uint32_t p : r) ASSERT_EQ(p, 0xFF0164E6u) << w << "x" << h;
  }
  EXPECT_TRUE(EscalarPremultiplicado(b, 0, 10).empty());
  EXPECT_TRUE(EscalarPremultiplicado(TBitmap{}, 10, 10).empty());
  TBitmap curta = b;
  curta.Pixels.resize(10);  // fewer pixels than its size claims
  EXPECT_TRUE(EscalarPremultiplicado(curta, 10, 10).empty());
}

// A picture with something different in every pixel and a varying alpha.
TBitmap Variada(int AL, int AA) {
  TBitmap b;
  b.Largura = AL;
  b.Altura = AA;
  for (int y = 0; y < AA; ++y)
    for (int x = 0; x < AL; ++x) {
      const uint32_t a = (x * 7 + y * 3) % 4 == 0 ? 0x80 : 0xFF;
      b.Pixels.push_back((a << 24) | static_cast<uint32_t>(x * 37 + y * 101) % 0xFFFFFF);
    }
  return b;
}

TEST(KitPixels, RegiaoIgualAoTrechoDaFiguraInteira) {
  const TBitmap b = Variada(300, 180);
  // Enlarged, reduced, and enlarged one way and reduced the other; regions at
  // the corners, inside, and wide enough to be cut into several bands.
  const struct {
    int L, A;
    TRetangulo R;
  } casos[] = {
      {2000, 1200, {1900, 1000, 100, 200}}, {2000, 1200, {0, 0, 2000, 400}},
      {2000, 1200, {513, 377, 1, 1}},       {97, 61, {0, 0, 97, 61}},
      {97, 61, {40, 30, 57, 31}},           {1300, 45, {600, 10, 700, 35}},
      {300, 180, {17, 29, 100, 50}},
  };
  std::map<std::pair<int, int>, std::vector<uint32_t>> inteiras;
  for (const auto& c : casos) {
    auto& inteira = inteiras[{c.L, c.A}];
    if (inteira.empty()) inteira = EscalarPremultiplicado(b, c.L, c.A);
    const std::vector<uint32_t> regiao = EscalarRegiao(b, c.L, c.A, c.R);
    ASSERT_EQ(regiao.size(), static_cast<size_t>(c.R.Width) * c.R.Height);
    for (int y = 0; y < c.R.Height; ++y)
      for (int x = 0; x < c.R.Width; ++x)
        ASSERT_EQ(regiao[static_cast<size_t>(y) * c.R.Width + x],
                  inteira[static_cast<size_t>(c.R.Top + y) * c.L + c.R.Left + x])
            << c.L << "x" << c.A << " at " << x << "," << y;
  }
  // Outside the scaled picture: nothing.
  EXPECT_TRUE(EscalarRegiao(b, 97, 61, {90, 0, 8, 10}).empty());
  EXPECT_TRUE(EscalarRegiao(b, 97, 61, {-1, 0, 8, 10}).empty());
  EXPECT_TRUE(EscalarRegiao(b, 97, 61, {0, 0, 0, 10}).empty());
}

TEST(KitPixels, RegiaoDeUmaAmpliacaoEnormeSoCustaARegiao) {
  // Zoom 5 of a 4000 x 2500 picture: the whole would be 250 megapixels; a
  // screenful from its middle is what a paint needs.
  TBitmap b = Cheia(4000, 2500, 0xFF203040);
  for (int x = 0; x < 4000; ++x) b.Pixels[static_cast<size_t>(1250) * 4000 + x] = 0xFFFF0000;
  const TRetangulo r{10000, 6000, 1900, 500};
  const std::vector<uint32_t> px = EscalarRegiao(b, 20000, 12500, r);
  ASSERT_EQ(px.size(), static_cast<size_t>(r.Width) * r.Height);
  // Source row 1250 covers target rows 6250 to 6254 (250 to 254 of the region).
  EXPECT_EQ(px[static_cast<size_t>(100) * r.Width], 0xFF203040u);
  EXPECT_EQ(px[static_cast<size_t>(252) * r.Width + 7], 0xFFFF0000u);
  EXPECT_EQ(px[static_cast<size_t>(499) * r.Width + r.Width - 1], 0xFF203040u);
}

}  // namespace
