// Wine tests of the Win32 backend: every control at its 96-DPI place, pages, scrolling, painting.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/ui/uKit.h"
#include "tests/ui/uKitTesteWin32.h"
#include "tools/wine/uCaptura.h"

using namespace ui;
using testeui::H;
using testeui::RetanguloNaJanela;

namespace {

constexpr TCor kAzul = 0x0164E6;
constexpr TCor kCinzaClaro = 0xE8F0F8;

// A picture: red left half, blue right half, fully transparent bottom row.
TBitmapPtr Figura(int AL, int AA) {
  auto b = std::make_shared<TBitmap>();
  b->Largura = AL;
  b->Altura = AA;
  b->Pixels.resize(static_cast<size_t>(AL) * AA);
  for (int y = 0; y < AA; ++y)
    for (int x = 0; x < AL; ++x)
      b->Pixels[static_cast<size_t>(y) * AL + x] =
          y == AA - 1 ? 0u : (x < AL / 2 ? 0xFFFF0000u : 0xFF0000FFu);
  return b;
}

class KitJanela : public ::testing::Test {
 protected:
  void SetUp() override {
    J = std::make_unique<TJanela>();
    J->DefinirTexto("Kit de teste");
    J->DefinirTamanhoCliente(640, 480);
    J->DefinirPosicao(100, 100);

    Topo = new TPainel(J.get());
    Topo->AlinharAoTopo(60);
    Topo->DefinirCor(kAzul);
    Logo = new TImagem(Topo);
    Logo->DefinirLimites(10, 5, 50, 50);
    Logo->DefinirModo(true, true, false, false);
    Logo->DefinirImagem(Figura(100, 50));
    Titulo = new TRotulo(Topo);
    TFonte f;
    f.Altura = 20;
    f.Negrito = true;
    f.Cor = kCorBranco;
    Titulo->DefinirFonte(f);
    Titulo->DefinirAlinhamento(TAlinhamento::Centro);
    Titulo->DefinirLimites(100, 14, 300, 31);
    Titulo->DefinirTexto("Vesk Intranet Agent");

    Abas = new TPaginas(J.get());
    Abas->DefinirLimites(16, 76, 608, 388);
    P1 = Abas->NovaPagina("Controles");
    P2 = Abas->NovaPagina("Outra");
    Rot = new TRotulo(P1);
    Rot->DefinirAutoTamanho(true);
    Rot->DefinirTexto("Nome do campo");
    Rot->DefinirPosicao(24, 20);
    Edt = new TEdicao(P1);
    Edt->DefinirLimites(24, 44, 200, 25);
    Edt->DefinirTexto("texto inicial");
    Senha = new TEdicao(P1);
    Senha->DefinirLimites(240, 44, 150, 25);
    Senha->DefinirCaractereSenha('*');
    Senha->DefinirTexto("segredo");
    Mem = new TMemo(P1);
    Mem->DefinirLimites(24, 84, 300, 100);
    Mem->DefinirBarraVertical(true);
    Mem->DefinirLinhas({"Primeira linha", "Segunda linha"});
    Chk = new TMarcacao(P1);
    Chk->DefinirLimites(24, 196, 130, 25);
    Chk->DefinirTexto("Marcar");
    Btn = new TBotao(P1);
    Btn->DefinirLimites(24, 236, 145, 34);
    Btn->DefinirTexto("Executar");
    Btn->DefinirPadrao(true);
    Rol = new TRolagem(P1);
    Rol->DefinirLimites(340, 84, 220, 180);
    Rol->DefinirBordaSimples(true);
    Rol->DefinirCor(kCorBranco);
    Conteudo = new TPainel(Rol);
    Conteudo->DefinirLimites(0, 0, 400, 500);
    Conteudo->DefinirCor(kCinzaClaro);
    new TRotulo(P2);

    J->Mostrar();
    testeui::Bombear(150);
  }

  std::unique_ptr<TJanela> J;
  TPainel* Topo = nullptr;
  TImagem* Logo = nullptr;
  TRotulo* Titulo = nullptr;
  TPaginas* Abas = nullptr;
  TPagina* P1 = nullptr;
  TPagina* P2 = nullptr;
  TRotulo* Rot = nullptr;
  TEdicao* Edt = nullptr;
  TEdicao* Senha = nullptr;
  TMemo* Mem = nullptr;
  TMarcacao* Chk = nullptr;
  TBotao* Btn = nullptr;
  TRolagem* Rol = nullptr;
  TPainel* Conteudo = nullptr;
};

TEST_F(KitJanela, JanelaTemPosicaoETamanhoDeClientePedidos) {
  RECT c{}, w{};
  GetClientRect(H(J.get()), &c);
  GetWindowRect(H(J.get()), &w);
  EXPECT_EQ(c.right, 640);
  EXPECT_EQ(c.bottom, 480);
  EXPECT_EQ(w.left, 100);
  EXPECT_EQ(w.top, 100);
  EXPECT_EQ(w.right - w.left, J->Width());
  EXPECT_EQ(w.bottom - w.top, J->Height());
  EXPECT_TRUE(IsWindowVisible(H(J.get())));
  wchar_t titulo[64]{};
  GetWindowTextW(H(J.get()), titulo, 64);
  EXPECT_STREQ(titulo, L"Kit de teste");
}

TEST_F(KitJanela, ControlesNosRetangulosDoDesenho) {
  const TRetangulo a = Abas->AreaPaginas();
  const int px = 16 + a.Left, py = 76 + a.Top;  // page origin in the window
  struct TCaso {
    const char* Nome;
    TControle* C;
    RECT Esperado;
  };
  const TCaso casos[] = {
      {"topo", Topo, {0, 0, 640, 60}},
      {"logo", Logo, {10, 5, 60, 55}},
      {"titulo", Titulo, {100, 14, 400, 45}},
      {"abas", Abas, {16, 76, 624, 464}},
      {"pagina", P1, {px, py, px + a.Width, py + a.Height}},
      {"edicao", Edt, {px + 24, py + 44, px + 224, py + 69}},
      {"senha", Senha, {px + 240, py + 44, px + 390, py + 69}},
      {"memo", Mem, {px + 24, py + 84, px + 324, py + 184}},
      {"marcacao", Chk, {px + 24, py + 196, px + 154, py + 221}},
      {"botao", Btn, {px + 24, py + 236, px + 169, py + 270}},
      {"rolagem", Rol, {px + 340, py + 84, px + 560, py + 264}},
      // inside the scroll box's 2-pixel border
      {"conteudo", Conteudo, {px + 342, py + 86, px + 742, py + 586}},
  };
  for (const TCaso& k : casos) {
    SCOPED_TRACE(k.Nome);
    const RECT r = RetanguloNaJanela(k.C);
    EXPECT_EQ(r.left, k.Esperado.left);
    EXPECT_EQ(r.top, k.Esperado.top);
    EXPECT_EQ(r.right, k.Esperado.right);
    EXPECT_EQ(r.bottom, k.Esperado.bottom);
  }
  // The automatic label took the measured size of its text.
  const RECT r = RetanguloNaJanela(Rot);
  EXPECT_EQ(r.left, px + 24);
  EXPECT_EQ(r.right - r.left, app::MedirTexto(Rot->Fonte(), "Nome do campo").Largura);
  EXPECT_GT(Rot->Width(), 40);
}

TEST_F(KitJanela, OrigemNaTelaCoincideComAJanelaReal) {
  for (TControle* c : {static_cast<TControle*>(Btn), static_cast<TControle*>(Conteudo)}) {
    POINT p{0, 0};
    ClientToScreen(H(c), &p);
    const TPonto o = c->OrigemNaTela();
    EXPECT_EQ(o.X, p.x);
    EXPECT_EQ(o.Y, p.y);
  }
}

TEST_F(KitJanela, PaginasOcupamAAreaQueOControleDeAbasInforma) {
  RECT r{};
  GetClientRect(H(Abas), &r);
  SendMessageW(H(Abas), TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&r));
  const TRetangulo a = Abas->AreaPaginas();
  EXPECT_EQ(a.Left, r.left);
  EXPECT_EQ(a.Top, r.top);
  EXPECT_EQ(a.Right(), r.right);
  EXPECT_EQ(a.Bottom(), r.bottom);
  EXPECT_GT(a.Top, 15);  // below the tab strip
  EXPECT_EQ(SendMessageW(H(Abas), TCM_GETITEMCOUNT, 0, 0), 2);

  // A click on the second tab switches the pages.
  RECT aba{};
  SendMessageW(H(Abas), TCM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&aba));
  const LPARAM pt = MAKELPARAM((aba.left + aba.right) / 2, (aba.top + aba.bottom) / 2);
  int mudancas = 0;
  Abas->AoMudarPagina = [&] { ++mudancas; };
  SendMessageW(H(Abas), WM_LBUTTONDOWN, MK_LBUTTON, pt);
  SendMessageW(H(Abas), WM_LBUTTONUP, 0, pt);
  EXPECT_EQ(Abas->IndiceAtivo(), 1);
  EXPECT_EQ(mudancas, 1);
  EXPECT_FALSE(IsWindowVisible(H(P1)));
  EXPECT_TRUE(IsWindowVisible(H(P2)));
  // And from code, the tab follows.
  Abas->AtivarPagina(0);
  EXPECT_EQ(SendMessageW(H(Abas), TCM_GETCURSEL, 0, 0), 0);
  EXPECT_TRUE(IsWindowVisible(H(Btn)));
}

TEST_F(KitJanela, RolagemMostraBarrasEMoveOConteudo) {
  const LONG s = GetWindowLongW(H(Rol), GWL_STYLE);
  EXPECT_TRUE(s & WS_VSCROLL);
  EXPECT_TRUE(s & WS_HSCROLL);
  const RECT antes = RetanguloNaJanela(Conteudo);

  SendMessageW(H(Rol), WM_VSCROLL, SB_LINEDOWN, 0);
  EXPECT_EQ(Rol->PosicaoVertical(), 16);
  EXPECT_EQ(RetanguloNaJanela(Conteudo).top, antes.top - 16);

  Rol->DefinirPosicaoVertical(100);
  EXPECT_EQ(GetScrollPos(H(Rol), SB_VERT), 100);
  EXPECT_EQ(RetanguloNaJanela(Conteudo).top, antes.top - 100);
  // Scrolled to the end both ways, the content's far edges show beside the bars.
  auto verBordas = [&](const char* ACaso) {
    SendMessageW(H(Rol), WM_VSCROLL, SB_BOTTOM, 0);
    SendMessageW(H(Rol), WM_HSCROLL, SB_RIGHT, 0);
    RECT cli{};
    GetClientRect(H(Rol), &cli);
    MapWindowPoints(H(Rol), H(J.get()), reinterpret_cast<POINT*>(&cli), 2);
    const RECT rc = RetanguloNaJanela(Conteudo);
    EXPECT_EQ(rc.bottom, cli.bottom) << ACaso;
    EXPECT_EQ(rc.right, cli.right) << ACaso;
  };
  verBordas("both bars");
  // Narrow enough for the box, but not beside the vertical bar: both bars again.
  Conteudo->DefinirTamanho(Rol->ClientWidth() - 6, 500);
  EXPECT_TRUE(GetWindowLongW(H(Rol), GWL_STYLE) & WS_HSCROLL) << "the horizontal bar is missing";
  verBordas("one bar brings the other");

  // Content that fits again takes the bars away and the position back to 0.
  Conteudo->DefinirTamanho(100, 100);
  EXPECT_EQ(Rol->PosicaoVertical(), 0);
  EXPECT_FALSE(GetWindowLongW(H(Rol), GWL_STYLE) & WS_VSCROLL);
  EXPECT_EQ(RetanguloNaJanela(Conteudo).top, antes.top);
}

TEST_F(KitJanela, EstilosNativosSeguemOsObjetos) {
  EXPECT_TRUE(GetWindowLongW(H(Senha), GWL_STYLE) & ES_PASSWORD);
  EXPECT_EQ(SendMessageW(H(Senha), EM_GETPASSWORDCHAR, 0, 0), '*');
  Senha->DefinirCaractereSenha(0);
  EXPECT_EQ(SendMessageW(H(Senha), EM_GETPASSWORDCHAR, 0, 0), 0);
  Edt->DefinirSomenteDigitos(true);
  EXPECT_TRUE(GetWindowLongW(H(Edt), GWL_STYLE) & ES_NUMBER);
  EXPECT_EQ(GetWindowLongW(H(Btn), GWL_STYLE) & 0xF, BS_DEFPUSHBUTTON);

  // The memo is rebuilt for styles that an edit fixes at creation, text kept.
  EXPECT_TRUE(GetWindowLongW(H(Mem), GWL_STYLE) & WS_VSCROLL);
  Mem->DefinirSomenteLeitura(true);
  Mem->DefinirBarraVertical(false);
  const LONG s = GetWindowLongW(H(Mem), GWL_STYLE);
  EXPECT_TRUE(s & ES_READONLY);
  EXPECT_FALSE(s & WS_VSCROLL);
  EXPECT_EQ(GetParent(H(Mem)), H(P1));
  wchar_t t[64]{};
  GetWindowTextW(H(Mem), t, 64);
  EXPECT_STREQ(t, L"Primeira linha\r\nSegunda linha");
  EXPECT_EQ(RetanguloNaJanela(Mem).left, RetanguloNaJanela(P1).left + 24);

  Btn->DefinirHabilitado(false);
  EXPECT_FALSE(IsWindowEnabled(H(Btn)));
  Chk->DefinirVisivel(false);
  EXPECT_FALSE(IsWindowVisible(H(Chk)));

  TEstiloJanela e;
  e.SemBorda = true;
  e.SempreNoTopo = true;
  J->DefinirEstilo(e);
  EXPECT_FALSE(GetWindowLongW(H(J.get()), GWL_STYLE) & WS_CAPTION);
  EXPECT_TRUE(GetWindowLongW(H(J.get()), GWL_EXSTYLE) & WS_EX_TOPMOST);
  RECT c{}, w{};
  GetClientRect(H(J.get()), &c);
  GetWindowRect(H(J.get()), &w);
  EXPECT_EQ(c.right, 640);
  EXPECT_EQ(w.right - w.left, 640);
}

TEST_F(KitJanela, ZOrdemEMudancaDePai) {
  // A control brought to the front is above its siblings on screen.
  auto* a = new TPainel(P2);
  a->DefinirLimites(10, 10, 50, 50);
  auto* b = new TPainel(P2);
  b->DefinirLimites(30, 30, 50, 50);
  EXPECT_EQ(GetWindow(H(b), GW_HWNDFIRST), H(b));
  a->TrazerParaFrente();
  EXPECT_EQ(GetWindow(H(a), GW_HWNDFIRST), H(a));

  Btn->MudarPai(Rol);
  EXPECT_EQ(GetParent(H(Btn)), H(Rol));
  EXPECT_EQ(RetanguloNaJanela(Btn).left, RetanguloNaJanela(Rol).left + 2 + 24);
}

uint32_t CorDoPixel(const TPngLido& APng, int AX, int AY) {
  return APng.Pixel(AX, AY) & 0xFFFFFF;
}

TEST_F(KitJanela, CapturaMostraCoresEFigura) {
  J->TrazerAoTopo();
  testeui::Bombear(200);
  ASSERT_TRUE(CapturarJanela(H(J.get()), "ui_kit_janela"));
  TPngLido png;
  ASSERT_TRUE(LerPng(PastaCapturas() + "\\ui_kit_janela.png", png));
  RECT w{};
  GetWindowRect(H(J.get()), &w);
  POINT o{0, 0};
  ClientToScreen(H(J.get()), &o);
  const int ox = o.x - w.left, oy = o.y - w.top;
  const TRetangulo a = Abas->AreaPaginas();
  const int px = ox + 16 + a.Left, py = oy + 76 + a.Top;
  // Panel colour, page background, scroll content colour.
  EXPECT_EQ(CorDoPixel(png, ox + 620, oy + 50), kAzul);
  EXPECT_EQ(CorDoPixel(png, px + 200, py + 300), kCorBranco);
  EXPECT_EQ(CorDoPixel(png, px + 400, py + 150), kCinzaClaro);
  // The 100 x 50 picture fitted into 50 x 50: 50 x 25, centred vertically.
  EXPECT_EQ(CorDoPixel(png, ox + 10 + 12, oy + 5 + 25), 0xFF0000u);
  EXPECT_EQ(CorDoPixel(png, ox + 10 + 38, oy + 5 + 25), 0x0000FFu);
  EXPECT_EQ(CorDoPixel(png, ox + 10 + 25, oy + 5 + 5), kAzul);  // above the picture
}

}  // namespace
