// Audio player commands and the wallpaper conversion, with doubles for the
// media interface, the shell and the desktop; the files are real.
#include <gtest/gtest.h>

#include "notices/uAudioPlayer.h"
#include "notices/uWallpaper.h"
#include "platform/uArquivos.h"
#include "platform/uDesktop.h"
#include "platform/uImagem.h"
#include "platform/uMci.h"
#include "platform/uShell.h"
#include "tests/notices/uApoioAvisos.h"
#include "tests/support/uTestSupport.h"

namespace {

class AudioPlayer : public ::testing::Test {
 protected:
  TMciGravador FMci;
  TShellGravador FShell;
  SubstituirConcern<IMci> FSubMci{FMci};
  SubstituirConcern<IShell> FSubShell{FShell};
  TPastaTemporaria FPasta;
};

class Wallpaper : public ::testing::Test {
 protected:
  TDesktopGravador FDesktop;
  SubstituirConcern<IDesktop> FSub{FDesktop};
  TBaseTemporaria FBase;  // the log of a failure lands here
  TPastaTemporaria FPasta;
};

}  // namespace

TEST_F(AudioPlayer, TocarParaOAnteriorAbreComAspasETocaNoAlias) {
  const std::string arquivo = FPasta / "som com espacos.mp3";
  GravarArquivoTeste(arquivo, "ID3");
  TAudioPlayer::Tocar(arquivo);
  TAudioPlayer::Tocar(arquivo);
  const std::vector<std::string> esperado = {
      "stop VeskAudio",
      "close VeskAudio",
      "open \"" + arquivo + "\" type mpegvideo alias VeskAudio",
      "play VeskAudio",
      "stop VeskAudio",
      "close VeskAudio",
      "open \"" + arquivo + "\" type mpegvideo alias VeskAudio",
      "play VeskAudio"};
  EXPECT_EQ(FMci.Textos(), esperado);
  EXPECT_TRUE(FShell.Chamadas.empty());
}

TEST_F(AudioPlayer, ArquivoAusenteNaoEnviaNada) {
  TAudioPlayer::Tocar("");
  TAudioPlayer::Tocar(FPasta / "nao_existe.mp3");
  EXPECT_TRUE(FMci.Comandos.empty());
  EXPECT_TRUE(FShell.Chamadas.empty());
}

TEST_F(AudioPlayer, AberturaRecusadaVaiParaOShellSemPlay) {
  const std::string arquivo = FPasta / "som.xyz";
  GravarArquivoTeste(arquivo, "??");
  FMci.Responder = [](const std::string& c, std::string&) -> uint32_t {
    return c.rfind("open ", 0) == 0 ? 263 : 0;  // MCIERR_INVALID_DEVICE_NAME
  };
  TAudioPlayer::Tocar(arquivo);
  const std::vector<std::string> esperado = {
      "stop VeskAudio", "close VeskAudio",
      "open \"" + arquivo + "\" type mpegvideo alias VeskAudio"};
  EXPECT_EQ(FMci.Textos(), esperado);
  VerificarAberturaPeloShell(FShell, arquivo);
}

TEST_F(AudioPlayer, EstaTocandoPelaRespostaDoStatus) {
  const struct {
    uint32_t Resultado;
    const char* Resposta;
    bool Tocando;
  } casos[] = {{0, "playing", true},   {0, "  PLAYING\r\n", true}, {0, "stopped", false},
               {0, "paused", false},   {0, "not ready", false},    {0, "", false},
               {263, "playing", false}};
  for (const auto& c : casos) {
    FMci.Comandos.clear();
    FMci.Responder = [&c](const std::string&, std::string& r) {
      r = c.Resposta;
      return c.Resultado;
    };
    EXPECT_EQ(TAudioPlayer::EstaTocando(), c.Tocando) << c.Resposta << " " << c.Resultado;
    ASSERT_EQ(FMci.Comandos.size(), 1u);
    EXPECT_EQ(FMci.Comandos[0].Comando, "status VeskAudio mode");
    EXPECT_EQ(FMci.Comandos[0].Capacidade, 64u);
  }
}

TEST_F(AudioPlayer, PararSemDispositivoIgnoraOsErros) {
  FMci.Responder = [](const std::string&, std::string&) -> uint32_t { return 263; };
  TAudioPlayer::Parar();
  EXPECT_EQ(FMci.Textos(), (std::vector<std::string>{"stop VeskAudio", "close VeskAudio"}));
}

TEST_F(Wallpaper, ConverteJpegPngEBmpParaOBmpAoLado) {
  const std::string png =
      PngRgba(4, 3, [](int x, int) { return x < 2 ? 0xFFFF0000u : 0x00000000u; });
  GravarArquivoTeste(FPasta / "a.JPG", JpegPequeno());
  GravarArquivoTeste(FPasta / "b.png", png);
  TBitmap bmp;
  bmp.Largura = 2;
  bmp.Altura = 2;
  bmp.Pixels = {0xFF0000FF, 0xFF00FF00, 0xFFFF0000, 0xFFFFFFFF};
  ASSERT_TRUE(GravarBmp24(FPasta / "c.bmp", bmp));
  // A bottom-up file of another layout is rewritten in place as our own.
  const std::string antes = LerArquivoTeste(FPasta / "c.bmp");
  GravarArquivoTeste(FPasta / "c.bmp", antes + "resto");

  struct {
    const char* Origem;
    const char* Destino;
    int Largura;
  } casos[] = {{"a.JPG", "a.bmp", 16}, {"b.png", "b.bmp", 4}, {"c.bmp", "c.bmp", 2}};
  for (const auto& c : casos) {
    FDesktop.Chamadas.clear();
    EXPECT_TRUE(TWallpaper::Aplicar(FPasta / c.Origem)) << c.Origem;
    ASSERT_EQ(FDesktop.Chamadas.size(), 1u);
    EXPECT_EQ(FDesktop.Chamadas[0], FPasta / c.Destino);
    TBitmap lido;
    ASSERT_TRUE(CarregarImagemArquivo(FPasta / c.Destino, TFormatoImagem::Bmp, lido)) << c.Destino;
    EXPECT_EQ(lido.Largura, c.Largura);
  }
  EXPECT_EQ(LerArquivoTeste(FPasta / "c.bmp"), antes);
  TBitmap b;
  ASSERT_TRUE(CarregarImagemArquivo(FPasta / "b.bmp", TFormatoImagem::Bmp, b));
  EXPECT_EQ(b.Pixels[0], 0xFFFF0000u);
  EXPECT_EQ(b.Pixels[3], 0xFFFFFFFFu);  // transparent became white
}

namespace {

// Width and height from a BMP file's header, without reading its pixels.
std::pair<int, int> TamanhoDoBmp(const std::string& ACaminho) {
  const std::string b = LerArquivoTeste(ACaminho).substr(0, 26);
  if (b.size() < 26) return {0, 0};
  auto ler32 = [&b](size_t p) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(b[p + i]);
    return static_cast<int>(v);
  };
  return {ler32(18), ler32(22)};
}

// A 1-bit BMP of any size, black and white stripes: a huge picture in a small file.
std::string Bmp1Bit(int ALargura, int AAltura) {
  return BmpDePaleta(ALargura, AAltura, 1, {0x000000, 0xFFFFFF}, [&](int k) {
    return std::string((ALargura + 7) / 8, k % 2 ? '\xFF' : '\x0F');
  });
}

}  // namespace

TEST_F(Wallpaper, ImagemDe8KGuardaAResolucao) {
  GravarPngUniforme(FPasta / "8k.png", 8192, 4608, 0x336699);
  EXPECT_TRUE(TWallpaper::Aplicar(FPasta / "8k.png"));
  EXPECT_EQ(TamanhoDoBmp(FPasta / "8k.bmp"), (std::pair<int, int>{8192, 4608}));
  EXPECT_EQ(Arquivos().Tamanho(FPasta / "8k.bmp"), 54 + 8192LL * 3 * 4608);
}

TEST_F(Wallpaper, BmpMaiorQueOLimiteUsadoComoEstaSemSerReescrito) {
  // 10,000 x 4,000 pixels is more than a picture may hold: decoding reduces it.
  const std::string bmp = Bmp1Bit(10000, 4000);
  GravarArquivoTeste(FPasta / "enorme.bmp", bmp);
  EXPECT_TRUE(TWallpaper::Aplicar(FPasta / "enorme.bmp"));
  EXPECT_TRUE(LerArquivoTeste(FPasta / "enorme.bmp") == bmp) << "the source was written over";
  ASSERT_EQ(FDesktop.Chamadas.size(), 1u);
  EXPECT_EQ(FDesktop.Chamadas[0], FPasta / "enorme.bmp");
}

TEST_F(Wallpaper, SubstituicaoRecusadaDeixaOBmpComoEstava) {
  TBitmap bmp;
  bmp.Largura = 2;
  bmp.Altura = 1;
  bmp.Pixels = {0xFF0000FF, 0xFF00FF00};
  ASSERT_TRUE(GravarBmp24(FPasta / "c.bmp", bmp));
  const std::string antes = LerArquivoTeste(FPasta / "c.bmp") + "resto";
  GravarArquivoTeste(FPasta / "c.bmp", antes);
  TArquivosComFalhas falhas;
  falhas.RecusarSubstituir = true;
  SubstituirConcern<IArquivos> troca(falhas);
  EXPECT_FALSE(TWallpaper::Aplicar(FPasta / "c.bmp"));
  EXPECT_EQ(LerArquivoTeste(FPasta / "c.bmp"), antes);
  EXPECT_EQ(Arquivos().Listar(FPasta.Caminho(), "*.tmp*").size(), 0u)
      << "a temporary file was left";
  EXPECT_TRUE(FDesktop.Chamadas.empty());
}

TEST_F(Wallpaper, RecusasNaoEscrevemNemChamamODesktop) {
  const std::string png = PngRgba(8, 8, [](int, int) { return 0xFF00FF00u; });
  GravarArquivoTeste(FPasta / "x.gif", "GIF89a");
  GravarArquivoTeste(FPasta / "png_trocado.jpg", png);
  GravarArquivoTeste(FPasta / "truncado.png", png.substr(0, png.size() - 20));
  GravarArquivoTeste(FPasta / "vazio.jpeg", "");
  for (const char* nome :
       {"x.gif", "png_trocado.jpg", "truncado.png", "vazio.jpeg", "ausente.png"}) {
    EXPECT_FALSE(TWallpaper::Aplicar(FPasta / nome)) << nome;
    EXPECT_FALSE(Arquivos().ArquivoExiste(SemExtensao(FPasta / nome) + ".bmp")) << nome;
  }
  EXPECT_FALSE(TWallpaper::Aplicar(""));
  EXPECT_TRUE(FDesktop.Chamadas.empty());
}

TEST_F(Wallpaper, FalhaDoDesktopDaFalso) {
  GravarArquivoTeste(FPasta / "a.jpg", JpegPequeno());
  FDesktop.Resultado = false;
  EXPECT_FALSE(TWallpaper::Aplicar(FPasta / "a.jpg"));
  EXPECT_EQ(FDesktop.Chamadas.size(), 1u);
}
