// Pictures concern: PNG, JPEG and BMP decoding, damaged and mislabelled files,
// huge pictures and the BMP writer.
#include <gtest/gtest.h>

#include "platform/uImagem.h"
#include "tests/notices/uApoioAvisos.h"
#include "tests/support/uTestSupport.h"

namespace {

int Canal(uint32_t P, int ADeslocamento) {
  return static_cast<int>((P >> ADeslocamento) & 0xFF);
}

void EsperarCorProxima(uint32_t AReal, uint32_t AEsperada, int ATolerancia) {
  for (int d : {24, 16, 8, 0})
    EXPECT_NEAR(Canal(AReal, d), Canal(AEsperada, d), ATolerancia)
        << std::hex << "real " << AReal << " esperada " << AEsperada;
}

// An 8-bit palette BMP of 3 x 2: top row green, bottom row red green red.
std::string Bmp8Bits() {
  return BmpDePaleta(3, 2, 8, {0x00FF00, 0xFF0000}, [](int k) {
    return k == 0 ? std::string("\x01\x00\x01", 3) : std::string(3, '\0');
  });
}

}  // namespace

TEST(Imagem, PngGuardaCoresEAlfaSemPremultiplicar) {
  const uint32_t cores[2][3] = {{0xFFFF0000, 0xFF00FF00, 0x800000FF},
                                {0x00FFFFFF, 0xFF123456, 0x40808080}};
  const std::string png = PngRgba(3, 2, [&](int x, int y) { return cores[y][x]; });
  TPastaTemporaria pasta;
  GravarArquivoTeste(pasta / "a.png", png);
  TBitmap b;
  ASSERT_TRUE(CarregarImagemArquivo(pasta / "a.png", TFormatoImagem::PeloNome, b));
  ASSERT_EQ(b.Largura, 3);
  ASSERT_EQ(b.Altura, 2);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(b.Pixels[y * 3 + x], cores[y][x]) << x << "," << y;

  TBitmap m;
  ASSERT_TRUE(DecodificarImagemMemoria(png, TFormatoImagem::PeloNome, m));
  EXPECT_EQ(m.Pixels, b.Pixels);
}

TEST(Imagem, JpegPorExtensaoEmQualquerCaixaEDaMemoria) {
  TPastaTemporaria pasta;
  GravarArquivoTeste(pasta / "foto.JPEG", JpegPequeno());
  TBitmap b;
  ASSERT_TRUE(CarregarImagemArquivo(pasta / "foto.JPEG", TFormatoImagem::PeloNome, b));
  ASSERT_EQ(b.Largura, 16);
  ASSERT_EQ(b.Altura, 8);
  EsperarCorProxima(b.Pixels[2 * 16 + 2], 0xFFFF0000, 24);
  EsperarCorProxima(b.Pixels[5 * 16 + 13], 0xFF0000FF, 24);
  TBitmap m;
  ASSERT_TRUE(DecodificarImagemMemoria(JpegPequeno(), TFormatoImagem::Jpeg, m));
  EXPECT_EQ(m.Largura, 16);
}

TEST(Imagem, BmpGravadoRelidoComAlfaMisturadoNoBranco) {
  TBitmap origem;
  origem.Largura = 5;  // odd width: rows need padding
  origem.Altura = 3;
  for (int i = 0; i < 15; ++i) origem.Pixels.push_back(0xFF000000u | (i * 0x101010u));
  origem.Pixels[7] = 0x00000000;  // fully transparent: white
  origem.Pixels[8] = 0x80000000;  // half black: grey
  TPastaTemporaria pasta;
  ASSERT_TRUE(GravarBmp24(pasta / "w.bmp", origem));
  EXPECT_EQ(LerArquivoTeste(pasta / "w.bmp").size(), 54u + 3 * 16);
  TBitmap b;
  ASSERT_TRUE(CarregarImagemArquivo(pasta / "w.bmp", TFormatoImagem::Bmp, b));
  ASSERT_EQ(b.Largura, 5);
  ASSERT_EQ(b.Altura, 3);
  for (int i = 0; i < 15; ++i) {
    if (i == 7 || i == 8) continue;
    EXPECT_EQ(b.Pixels[i], origem.Pixels[i]) << i;
  }
  EXPECT_EQ(b.Pixels[7], 0xFFFFFFFFu);
  EsperarCorProxima(b.Pixels[8], 0xFF7F7F7F, 1);
  EXPECT_FALSE(GravarBmp24(pasta / "vazio.bmp", TBitmap{}));
}

TEST(Imagem, BmpDePaleta) {
  TBitmap b;
  ASSERT_TRUE(DecodificarImagemMemoria(Bmp8Bits(), TFormatoImagem::PeloNome, b));
  ASSERT_EQ(b.Largura, 3);
  ASSERT_EQ(b.Altura, 2);
  EXPECT_EQ(b.Pixels[0], 0xFF00FF00u);  // top row is the file's last
  EXPECT_EQ(b.Pixels[3], 0xFFFF0000u);
  EXPECT_EQ(b.Pixels[4], 0xFF00FF00u);
}

TEST(Imagem, ArquivosDanificadosOuTrocadosFalham) {
  TPastaTemporaria pasta;
  const std::string png =
      PngRgba(40, 40, [](int x, int y) { return 0xFF000000u | (x * 7919 + y * 104729); });
  const std::string jpeg = JpegPequeno();
  TBitmap bom;
  ASSERT_TRUE(DecodificarImagemMemoria(png, TFormatoImagem::Png, bom));
  const struct {
    const char* Nome;
    std::string Bytes;
    TFormatoImagem Formato;
  } casos[] = {
      {"truncado.png", png.substr(0, png.size() / 2), TFormatoImagem::PeloNome},
      {"png_com_nome.jpg", png, TFormatoImagem::PeloNome},
      {"png_pedido_como.bmp", png, TFormatoImagem::Bmp},
      {"jpeg_com_nome.png", jpeg, TFormatoImagem::PeloNome},
      {"truncado.jpg", jpeg.substr(0, jpeg.size() / 2), TFormatoImagem::PeloNome},
      {"truncado.bmp", Bmp8Bits().substr(0, 60), TFormatoImagem::PeloNome},
      {"vazio.png", "", TFormatoImagem::PeloNome},
      {"texto.png", "isto nao e uma imagem", TFormatoImagem::PeloNome},
      {"imagem.gif", png, TFormatoImagem::PeloNome},
      {"sem_extensao", png, TFormatoImagem::PeloNome},
  };
  for (const auto& c : casos) {
    GravarArquivoTeste(pasta / c.Nome, c.Bytes);
    TBitmap b;
    b.Largura = 1;  // must come back empty
    EXPECT_FALSE(CarregarImagemArquivo(pasta / c.Nome, c.Formato, b)) << c.Nome;
    EXPECT_TRUE(b.Vazio()) << c.Nome;
    EXPECT_TRUE(b.Pixels.empty()) << c.Nome;
  }
  TBitmap b;
  EXPECT_FALSE(CarregarImagemArquivo(pasta / "nao_existe.png", TFormatoImagem::PeloNome, b));
  EXPECT_FALSE(DecodificarImagemMemoria("GIF89a......", TFormatoImagem::PeloNome, b));
}

TEST(Imagem, CabecalhoGiganteERecusado) {
  // A BMP whose header claims 100,000 x 100,000 pixels with almost no data.
  std::string bmp = Bmp8Bits();
  const uint32_t lado = 100000;
  for (int i = 0; i < 4; ++i) {
    bmp[18 + i] = static_cast<char>((lado >> (8 * i)) & 0xFF);
    bmp[22 + i] = static_cast<char>((lado >> (8 * i)) & 0xFF);
  }
  TBitmap b;
  EXPECT_FALSE(DecodificarImagemMemoria(bmp, TFormatoImagem::Bmp, b));
  EXPECT_EQ(FatorReducao(70000, 10), 0);
  EXPECT_EQ(FatorReducao(4000, 3000), 1);
  // Up to an 8K desktop a picture keeps all its pixels.
  EXPECT_EQ(FatorReducao(8192, 4608), 1);
  EXPECT_EQ(FatorReducao(7680, 4320), 1);
  EXPECT_EQ(FatorReducao(8193, 4608), 2);
  EXPECT_EQ(FatorReducao(10000, 10000), 2);
}

TEST(Imagem, PngDeDezMilPorDezMilEReduzidoNaDecodificacao) {
  TPastaTemporaria pasta;
  ASSERT_TRUE(GravarPngUniforme(pasta / "enorme.png", 10000, 10000, 0x3366CC));
  TBitmap b;
  ASSERT_TRUE(CarregarImagemArquivo(pasta / "enorme.png", TFormatoImagem::PeloNome, b));
  EXPECT_LE(static_cast<int64_t>(b.Largura) * b.Altura, kMaxPixelsImagem);
  EXPECT_EQ(b.Largura, 5000);
  EXPECT_EQ(b.Altura, 5000);
  EXPECT_EQ(b.LarguraNatural(), 10000);
  EXPECT_EQ(b.AlturaNatural(), 10000);
  EXPECT_EQ(b.Pixels[b.Pixels.size() / 2], 0xFF3366CCu);
}

TEST(Imagem, MisturaSobreBranco) {
  TBitmap b;
  b.Largura = 3;
  b.Altura = 1;
  b.Pixels = {0x00123456, 0x80000000, 0xFF102030};
  MisturarSobreBranco(b);
  EXPECT_EQ(b.Pixels[0], 0xFFFFFFFFu);
  EsperarCorProxima(b.Pixels[1], 0xFF7F7F7F, 1);
  EXPECT_EQ(b.Pixels[2], 0xFF102030u);
}
