// Tests of the pixel helpers that prepare pictures for drawing (both builds).
#include <gtest/gtest.h>

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

}  // namespace
