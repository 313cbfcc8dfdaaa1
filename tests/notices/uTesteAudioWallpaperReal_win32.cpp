// Audio player and wallpaper against the real system under Wine: the media
// commands go to the real mciSendStringW through a recorder, the wallpaper to
// the real SystemParametersInfoW. Only the shell is a double, so that no
// program is started.
#include <windows.h>

#include <gtest/gtest.h>

#include <cmath>
#include <iostream>
#include <string>
#include <vector>

#include "notices/uAudioPlayer.h"
#include "notices/uWallpaper.h"
#include "platform/uImagem.h"
#include "platform/uMci.h"
#include "platform/uShell.h"
#include "tests/notices/uApoioAvisos.h"
#include "tests/support/uTestSupport.h"

namespace {

void Anexar(std::string& S, uint32_t V, int ABytes) {
  for (int i = 0; i < ABytes; ++i) S += static_cast<char>((V >> (8 * i)) & 0xFF);
}

// A short beep: 8 kHz mono 16-bit PCM of the given length.
std::string Wav(int AMs) {
  const int taxa = 8000, amostras = taxa * AMs / 1000;
  std::string dados;
  for (int i = 0; i < amostras; ++i)
    Anexar(dados,
           static_cast<uint16_t>(
               static_cast<int16_t>(9000 * std::sin(2 * 3.14159265358979 * 880.0 * i / taxa))),
           2);
  std::string w = "RIFF";
  Anexar(w, static_cast<uint32_t>(36 + dados.size()), 4);
  w += "WAVEfmt ";
  Anexar(w, 16, 4);
  Anexar(w, 1, 2);  // PCM
  Anexar(w, 1, 2);  // mono
  Anexar(w, taxa, 4);
  Anexar(w, taxa * 2, 4);
  Anexar(w, 2, 2);
  Anexar(w, 16, 2);
  w += "data";
  Anexar(w, static_cast<uint32_t>(dados.size()), 4);
  return w + dados;
}

std::string Abrir(const std::string& AArquivo) {
  return "open \"" + AArquivo + "\" type mpegvideo alias VeskAudio";
}

class AudioReal : public ::testing::Test {
 protected:
  AudioReal() { FMci.Destino = &ImplementacaoPadrao(SeamTag<IMci>{}); }
  ~AudioReal() override { TAudioPlayer::Parar(); }

  // Polls as the popup does until the device no longer reports playing.
  bool EsperarFim(DWORD AMs) {
    const DWORD inicio = GetTickCount();
    while (TAudioPlayer::EstaTocando()) {
      if (GetTickCount() - inicio > AMs) return false;
      Sleep(100);
    }
    return true;
  }

  TMciGravador FMci;
  SubstituirConcern<IMci> FSubMci{FMci};
  TShellGravador FShell;
  SubstituirConcern<IShell> FSubShell{FShell};
  TPastaTemporaria FPasta;
};

}  // namespace

// A real WAV, twice in a row, in a folder path with blanks. Whether Wine's
// media player opens it with the type the agent asks for depends on the
// Wine build; either way the commands and the fallback must agree.
TEST_F(AudioReal, WavTocadoDuasVezesEmOrdemOuEntregueAoShell) {
  const std::string arquivo = FPasta / "aviso curto.wav";
  GravarArquivoTeste(arquivo, Wav(600));

  TAudioPlayer::Tocar(arquivo);
  ASSERT_GE(FMci.Comandos.size(), 3u);
  const bool abriu = FMci.Comandos[2].Resultado == 0;
  std::cout << "[   INFO   ] Wine's MCI " << (abriu ? "opened" : "refused") << " the WAV as "
            << "mpegvideo (result " << FMci.Comandos[2].Resultado << ")\n";
  std::vector<std::string> esperado = {"stop VeskAudio", "close VeskAudio", Abrir(arquivo)};
  if (abriu) esperado.push_back("play VeskAudio");
  EXPECT_EQ(FMci.Textos(), esperado);

  if (abriu) {
    EXPECT_EQ(FMci.Comandos[3].Resultado, 0u) << "play refused after a good open";
    EXPECT_TRUE(FShell.Chamadas.empty());
    // The sound is 0.6 s long: the device reports its end.
    EXPECT_TRUE(EsperarFim(5000)) << "still playing long after the end of the sound";
    // The alias must be free again: a second sound opens under the same name.
    FMci.Comandos.clear();
    TAudioPlayer::Tocar(arquivo);
    ASSERT_EQ(FMci.Textos(), esperado);
    EXPECT_EQ(FMci.Comandos[2].Resultado, 0u) << "the alias was not released by close";
    EXPECT_EQ(FMci.Comandos[1].Resultado, 0u) << "close of the open device failed";
  } else {
    ASSERT_EQ(FShell.Chamadas.size(), 1u);
    EXPECT_EQ(FShell.Chamadas[0].Arquivo, arquivo);
    EXPECT_FALSE(TAudioPlayer::EstaTocando());
  }

  FMci.Comandos.clear();
  TAudioPlayer::Parar();
  EXPECT_EQ(FMci.Textos(), (std::vector<std::string>{"stop VeskAudio", "close VeskAudio"}));
  // Released: the device is gone, so asking for it fails.
  EXPECT_FALSE(TAudioPlayer::EstaTocando());
  EXPECT_NE(FMci.Comandos.back().Resultado, 0u);
}

// Junk under an audio name: the real device refuses it and the shell gets it.
TEST_F(AudioReal, ArquivoQueOMciNaoAbreVaiAoShell) {
  // With nothing open, stop and close fail, and that is harmless.
  TAudioPlayer::Parar();
  ASSERT_EQ(FMci.Comandos.size(), 2u);
  EXPECT_NE(FMci.Comandos[0].Resultado, 0u);
  EXPECT_NE(FMci.Comandos[1].Resultado, 0u);

  const std::string arquivo = FPasta / "ruido.mp3";
  std::string lixo;
  for (int i = 0; i < 4096; ++i) lixo += static_cast<char>((i * 97 + 13) & 0xFF);
  GravarArquivoTeste(arquivo, lixo);
  FMci.Comandos.clear();
  TAudioPlayer::Tocar(arquivo);

  EXPECT_EQ(FMci.Textos(),
            (std::vector<std::string>{"stop VeskAudio", "close VeskAudio", Abrir(arquivo)}));
  ASSERT_EQ(FMci.Comandos.size(), 3u);
  EXPECT_NE(FMci.Comandos[2].Resultado, 0u) << "the device accepted junk";
  VerificarAberturaPeloShell(FShell, arquivo);
  EXPECT_FALSE(TAudioPlayer::EstaTocando());
}

namespace {

std::wstring Largo(const std::string& A) {
  std::wstring r(A.size() * 2 + 1, L'\0');
  const int n = MultiByteToWideChar(CP_UTF8, 0, A.data(), static_cast<int>(A.size()), r.data(),
                                    static_cast<int>(r.size()));
  r.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return r;
}

std::wstring PapelDeParedeAtual() {
  wchar_t buf[MAX_PATH * 2]{};
  if (!SystemParametersInfoW(SPI_GETDESKWALLPAPER, MAX_PATH * 2, buf, 0)) return L"?";
  return buf;
}

std::wstring PapelDeParedeNoPerfil() {
  wchar_t buf[MAX_PATH * 2]{};
  DWORD tam = sizeof buf;
  if (RegGetValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"Wallpaper", RRF_RT_REG_SZ,
                   nullptr, buf, &tam) != ERROR_SUCCESS)
    return L"?";
  return buf;
}

class WallpaperReal : public ::testing::Test {
 protected:
  WallpaperReal() : FAnterior(PapelDeParedeAtual()) {}
  ~WallpaperReal() override {
    if (FAnterior != L"?")
      SystemParametersInfoW(SPI_SETDESKWALLPAPER, 0, FAnterior.data(), SPIF_UPDATEINIFILE);
  }

  TBaseTemporaria FBase;  // a failure's log line lands here
  TPastaTemporaria FPasta;
  std::wstring FAnterior;
};

}  // namespace

// The desktop ends up pointing at the converted bitmap beside the source, both
// for the session and in the user profile.
TEST_F(WallpaperReal, PngEJpegViramBmpAoLadoEPapelDeParede) {
  const struct {
    const char* Origem;
    const char* Destino;
    std::string Bytes;
    int Largura, Altura;
    uint32_t Esquerda, Direita;  // colours at the middle of the left and right edges
  } casos[] = {
      {"papel de parede.png", "papel de parede.bmp",
       PngRgba(64, 48, [](int x, int) { return x < 32 ? 0xFFFF0000u : 0xFF0000FFu; }), 64, 48,
       0xFFFF0000u, 0xFF0000FFu},
      {"foto.JPG", "foto.bmp", JpegPequeno(), 16, 8, 0xFFFF0000u, 0xFF0000FFu},
  };
  for (const auto& c : casos) {
    SCOPED_TRACE(c.Origem);
    const std::string origem = FPasta / c.Origem, destino = FPasta / c.Destino;
    GravarArquivoTeste(origem, c.Bytes);
    ASSERT_TRUE(TWallpaper::Aplicar(origem));

    TBitmap bmp;
    ASSERT_TRUE(CarregarImagemArquivo(destino, TFormatoImagem::Bmp, bmp));
    EXPECT_EQ(bmp.Largura, c.Largura);
    EXPECT_EQ(bmp.Altura, c.Altura);
    const auto canal = [](uint32_t p, int d) { return static_cast<int>((p >> d) & 0xFF); };
    for (const auto& [x, cor] : {std::pair{0, c.Esquerda}, std::pair{bmp.Largura - 1, c.Direita}}) {
      const uint32_t p = bmp.Pixels[static_cast<size_t>(bmp.Altura / 2) * bmp.Largura + x];
      for (int d : {16, 8, 0}) EXPECT_NEAR(canal(p, d), canal(cor, d), 40) << std::hex << p;
    }

    EXPECT_EQ(PapelDeParedeAtual(), Largo(destino));
    EXPECT_EQ(PapelDeParedeNoPerfil(), Largo(destino));
  }
  EXPECT_EQ(LerArquivoTeste(FPasta / "foto.JPG"), JpegPequeno()) << "the source was changed";
}
