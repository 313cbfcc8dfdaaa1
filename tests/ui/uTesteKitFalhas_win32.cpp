// Wine tests of the Win32 backend under faults: a paint that runs out of memory
// is reported and the window goes on. The faults are real allocation failures,
// injected by this program's own operator new.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "platform/ui/uKit.h"
#include "tests/ui/uKitTesteWin32.h"
#include "tools/wine/uCaptura.h"

namespace {

// While set, every allocation of at least this many bytes fails (0: none).
std::atomic<size_t> GFalharAPartirDe{0};

}  // namespace

void* operator new(size_t ATamanho) {
  const size_t limite = GFalharAPartirDe.load();
  if (limite && ATamanho >= limite) throw std::bad_alloc();
  if (void* p = std::malloc(ATamanho ? ATamanho : 1)) return p;
  throw std::bad_alloc();
}
// The replaced operator new allocates with malloc, so free is its match; an
// optimising build that inlines both sees only "new" meeting "free".
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* APonteiro) noexcept {
  std::free(APonteiro);
}
void operator delete(void* APonteiro, size_t) noexcept {
  std::free(APonteiro);
}
#pragma GCC diagnostic pop

using namespace ui;
using testeui::H;

namespace {

// Red left half, blue right half.
TBitmapPtr Figura(int AL, int AA) {
  auto b = std::make_shared<TBitmap>();
  b->Largura = AL;
  b->Altura = AA;
  for (int y = 0; y < AA; ++y)
    for (int x = 0; x < AL; ++x) b->Pixels.push_back(x < AL / 2 ? 0xFFFF0000u : 0xFF0000FFu);
  return b;
}

// Allocations of ABytes and more fail within the scope.
class TSemMemoria {
 public:
  explicit TSemMemoria(size_t ABytes = 64 * 1024) { GFalharAPartirDe = ABytes; }
  ~TSemMemoria() { GFalharAPartirDe = 0; }
  TSemMemoria(const TSemMemoria&) = delete;
  TSemMemoria& operator=(const TSemMemoria&) = delete;
};

// The pixel of the screenshot at the window's client point.
uint32_t PixelNaCaptura(TJanela& AJanela, const std::string& ANome, int AX, int AY) {
  TPngLido png;
  if (!CapturarJanela(H(&AJanela), ANome) || !LerPng(PastaCapturas() + "\\" + ANome + ".png", png))
    return 0xFFFFFFFF;
  POINT o{0, 0};
  ClientToScreen(H(&AJanela), &o);
  RECT w{};
  GetWindowRect(H(&AJanela), &w);
  return png.Pixel(o.x - w.left + AX, o.y - w.top + AY) & 0xFFFFFF;
}

TEST(KitFalhas, PinturaSemMemoriaERelatadaEAJanelaSegue) {
  std::vector<std::string> relatos;
  app::DefinirRelatoDeFalhas([&](const std::string& ATexto) { relatos.push_back(ATexto); });
  TJanela j;
  j.DefinirTexto("Falhas");
  j.DefinirTamanhoCliente(400, 300);
  j.DefinirPosicao(60, 60);
  auto* img = new TImagem(&j);
  img->Nome = "imgFalha";
  img->DefinirLimites(0, 0, 400, 300);
  img->DefinirModo(false, false, true, true);
  img->DefinirImagem(Figura(200, 150));
  {
    // The first paint of the picture needs 400 x 300 pixels scaled: it fails.
    TSemMemoria falta;
    j.Mostrar();
    InvalidateRect(H(img), nullptr, FALSE);
    UpdateWindow(H(img));
  }
  app::DefinirRelatoDeFalhas(nullptr);
  ASSERT_EQ(relatos.size(), 1u);
  EXPECT_EQ(relatos[0].rfind("Erro na janela imgFalha (mensagem 0x000F): ", 0), 0u) << relatos[0];
  EXPECT_NE(relatos[0].find("bad_alloc"), std::string::npos) << relatos[0];

  // The window goes on: the next paint draws the picture.
  ASSERT_TRUE(IsWindow(H(&j)));
  InvalidateRect(H(img), nullptr, FALSE);
  testeui::Bombear(150);
  EXPECT_EQ(PixelNaCaptura(j, "ui_kit_pintura_apos_falha", 100, 150), 0xFF0000u);
  EXPECT_EQ(PixelNaCaptura(j, "ui_kit_pintura_apos_falha", 300, 150), 0x0000FFu);
}

// A picture enlarged five times to 10,000 x 7,500 pixels in a small scroll box:
// a paint prepares the part on screen only, so it never needs a large
// allocation (all of 32 MiB and more fail here; the whole would take 300 MiB).
TEST(KitFalhas, ImagemAmpliadaPintaSoAParteVisivel) {
  std::vector<std::string> relatos;
  app::DefinirRelatoDeFalhas([&](const std::string& ATexto) { relatos.push_back(ATexto); });
  TJanela j;
  j.DefinirTexto("Ampliada");
  j.DefinirTamanhoCliente(420, 320);
  j.DefinirPosicao(60, 60);
  auto* r = new TRolagem(&j);
  r->DefinirLimites(10, 10, 400, 300);
  auto* img = new TImagem(r);
  img->DefinirModo(false, false, true, true);
  img->DefinirLimites(0, 0, 10000, 7500);
  img->DefinirImagem(Figura(2000, 1500));
  // Around the middle, where the red half meets the blue one at x = 5000.
  r->DefinirPosicaoHorizontal(4800);
  r->DefinirPosicaoVertical(3000);
  {
    TSemMemoria falta(32 * 1024 * 1024);
    j.Mostrar();
    testeui::Bombear(150);
    InvalidateRect(H(img), nullptr, FALSE);
    UpdateWindow(H(img));
  }
  app::DefinirRelatoDeFalhas(nullptr);
  EXPECT_TRUE(relatos.empty()) << relatos.front();
  // Scroll box at (10, 10); the red half ends 200 pixels into it.
  EXPECT_EQ(PixelNaCaptura(j, "ui_kit_imagem_ampliada", 10 + 100, 10 + 100), 0xFF0000u);
  EXPECT_EQ(PixelNaCaptura(j, "ui_kit_imagem_ampliada", 10 + 300, 10 + 100), 0x0000FFu);
}

}  // namespace
