// Screenshots of windows and of the screen land as readable PNG files with the
// pixels the window shows.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "tools/wine/uCaptura.h"
#include "tools/wine/uJanelaAmostra.h"

namespace {

namespace fs = std::filesystem;

constexpr uint32_t kAzul = 0x0164E6;
constexpr uint32_t kVermelho = 0xE02020;

uint32_t Opaco(uint32_t ARgb) {
  return 0xFF000000u | ARgb;
}

class Captura : public ::testing::Test {
 protected:
  void SetUp() override {
    FPasta = fs::temp_directory_path() /
             ("vesk_capturas_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    fs::remove_all(FPasta);
    FAnterior = std::getenv("VESK_SCREENS_WIN") ? std::getenv("VESK_SCREENS_WIN") : "";
    _putenv_s("VESK_SCREENS_WIN", FPasta.string().c_str());
  }
  void TearDown() override {
    for (void* j : FJanelas) DestruirJanelaAmostra(j);
    _putenv_s("VESK_SCREENS_WIN", FAnterior.c_str());
    std::error_code ec;
    fs::remove_all(FPasta, ec);
  }
  void* Janela(int AX, int AY, int AL, int AA) {
    void* j = CriarJanelaAmostra("Amostra de captura", AX, AY, AL, AA, kAzul, kVermelho);
    EXPECT_NE(j, nullptr);
    FJanelas.push_back(j);
    return j;
  }
  fs::path FPasta;
  std::string FAnterior;
  std::vector<void*> FJanelas;
};

TEST_F(Captura, PastaVemDaVariavelDeAmbiente) {
  EXPECT_EQ(PastaCapturas(), FPasta.string());
  _putenv_s("VESK_SCREENS_WIN", (FPasta.string() + "\\").c_str());
  EXPECT_EQ(PastaCapturas(), FPasta.string());
}

TEST_F(Captura, JanelaVisivelGravaSeusPixelsOpacos) {
  void* j = Janela(100, 120, 240, 160);
  ASSERT_TRUE(CapturarJanela(j, "amostra"));
  const fs::path arquivo = FPasta / "amostra.png";
  ASSERT_TRUE(fs::exists(arquivo));

  std::ifstream f(arquivo, std::ios::binary);
  char assinatura[8] = {};
  f.read(assinatura, 8);
  EXPECT_EQ(std::string(assinatura, 8), std::string("\x89PNG\r\n\x1a\n", 8));

  TPngLido png;
  ASSERT_TRUE(LerPng(arquivo.string(), png));
  ASSERT_EQ(png.Largura, 240);
  ASSERT_EQ(png.Altura, 160);
  EXPECT_EQ(png.Pixel(3, 3), Opaco(kAzul));
  EXPECT_EQ(png.Pixel(236, 156), Opaco(kAzul));
  EXPECT_EQ(png.Pixel(120, 80), Opaco(kVermelho));
  // The centre square is 80 wide, from x = 80 to 159.
  EXPECT_EQ(png.Pixel(78, 80), Opaco(kAzul));
  EXPECT_EQ(png.Pixel(81, 80), Opaco(kVermelho));
}

TEST_F(Captura, JanelaForaDaTelaImprimeASiMesma) {
  void* j = Janela(-5000, -5000, 120, 90);
  ASSERT_TRUE(CapturarJanela(j, "fora"));
  TPngLido png;
  ASSERT_TRUE(LerPng((FPasta / "fora.png").string(), png));
  ASSERT_EQ(png.Largura, 120);
  ASSERT_EQ(png.Altura, 90);
  EXPECT_EQ(png.Pixel(2, 2), Opaco(kAzul));
  EXPECT_EQ(png.Pixel(60, 45), Opaco(kVermelho));
}

TEST_F(Captura, NomeComCaracteresProibidosViraSublinhado) {
  void* j = Janela(50, 50, 40, 40);
  ASSERT_TRUE(CapturarJanela(j, "popup: a/b?"));
  EXPECT_TRUE(fs::exists(FPasta / "popup_ a_b_.png"));
}

TEST_F(Captura, JanelaInexistenteNaoGravaNada) {
  EXPECT_FALSE(CapturarJanela(nullptr, "nula"));
  void* j = Janela(10, 10, 30, 30);
  DestruirJanelaAmostra(j);
  FJanelas.clear();
  EXPECT_FALSE(CapturarJanela(j, "destruida"));
  EXPECT_FALSE(fs::exists(FPasta / "nula.png"));
  EXPECT_FALSE(fs::exists(FPasta / "destruida.png"));
}

TEST_F(Captura, TelaInteiraMostraAJanela) {
  Janela(300, 200, 100, 100);
  ASSERT_TRUE(CapturarTela("tela"));
  TPngLido png;
  ASSERT_TRUE(LerPng((FPasta / "tela.png").string(), png));
  ASSERT_GE(png.Largura, 400);
  ASSERT_GE(png.Altura, 300);
  EXPECT_EQ(png.Pixel(305, 205), Opaco(kAzul));
  EXPECT_EQ(png.Pixel(350, 250), Opaco(kVermelho));
}

}  // namespace
