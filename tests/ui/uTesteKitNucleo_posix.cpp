// Native tests of the UI kit's objects on the headless backend.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "platform/ui/uKit.h"
#include "platform/ui/uKitHeadless.h"
#include "tests/support/uTestSupport.h"

using namespace ui;

namespace {

class KitNucleo : public ::testing::Test {
 protected:
  void SetUp() override { headless::Reiniciar(); }
  void TearDown() override { headless::Reiniciar(); }
  TRelogioFalso Relogio;
  SubstituirConcern<IRelogio> Troca{Relogio};
};

TEST_F(KitNucleo, FilhosSaoDestruidosComOPaiEOrdenadosNaFrente) {
  auto j = std::make_unique<TJanela>();
  auto* p = new TPainel(j.get());
  auto* a = new TBotao(p);
  auto* b = new TBotao(p);
  EXPECT_EQ(p->Filhos(), (std::vector<TControle*>{a, b}));
  a->TrazerParaFrente();
  EXPECT_EQ(p->Filhos(), (std::vector<TControle*>{b, a}));
  a->MudarPai(j.get());
  EXPECT_EQ(p->Filhos(), (std::vector<TControle*>{b}));
  EXPECT_EQ(j->Filhos().back(), a);
  EXPECT_EQ(a->Pai(), j.get());
  delete b;  // a child destroyed alone leaves its parent
  EXPECT_TRUE(p->Filhos().empty());
  j.reset();  // and the rest go with the window (the sanitizer sees any leak)
}

TEST_F(KitNucleo, ClicarSoComControleMostradoEHabilitado) {
  TJanela j;
  j.Mostrar();
  auto* p = new TPainel(&j);
  auto* b = new TBotao(p);
  int n = 0;
  b->AoClicar = [&] { ++n; };
  struct TCaso {
    bool PainelVisivel, Visivel, Habilitado;
    int Cliques;
  };
  const TCaso casos[] = {{true, true, true, 1},
                         {false, true, true, 0},
                         {true, false, true, 0},
                         {true, true, false, 0}};
  for (const TCaso& k : casos) {
    n = 0;
    p->DefinirVisivel(k.PainelVisivel);
    b->DefinirVisivel(k.Visivel);
    b->DefinirHabilitado(k.Habilitado);
    b->Clicar();
    b->DuploClicar();
    EXPECT_EQ(n, k.Cliques) << k.PainelVisivel << k.Visivel << k.Habilitado;
  }
}

TEST_F(KitNucleo, MarcacaoAlternaAntesDoManipuladorEHerdaACorDoPai) {
  TJanela j;
  j.Mostrar();
  auto* c = new TMarcacao(&j);
  std::vector<bool> vistos;
  c->AoClicar = [&] { vistos.push_back(c->Marcado()); };
  c->Clicar();
  c->Clicar();
  EXPECT_EQ(vistos, (std::vector<bool>{true, false}));
  c->DefinirHabilitado(false);
  c->Clicar();
  EXPECT_FALSE(c->Marcado());
  EXPECT_EQ(c->Cor(), kCorDoPai);
  EXPECT_EQ(TImagem(&j).Cor(), kCorDoPai);
}

TEST_F(KitNucleo, MemoGuardaLinhasETextoComCrLf) {
  TJanela j;
  auto* m = new TMemo(&j);
  m->DefinirTexto("a\nb\r\nc");
  EXPECT_EQ(m->Linhas(), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(m->Texto(), "a\r\nb\r\nc");
  m->InserirLinha(0, "novo");
  m->ApagarLinha(3);
  m->ApagarLinha(99);          // out of range: nothing
  m->InserirLinha(99, "fim");  // past the end: appended
  EXPECT_EQ(m->Texto(), "novo\r\na\r\nb\r\nfim");
  m->TextoEditado("x\r\ny");
  EXPECT_EQ(m->Linhas(), (std::vector<std::string>{"x", "y"}));
  m->Limpar();
  EXPECT_TRUE(m->Linhas().empty());
  EXPECT_EQ(m->Texto(), "");
}

TEST_F(KitNucleo, RolagemTemFaixaDosFilhosVisiveisEPosicaoLimitada) {
  TJanela j;
  auto* r = new TRolagem(&j);
  r->DefinirLimites(0, 0, 204, 104);
  r->DefinirBordaSimples(true);
  EXPECT_EQ(r->ClientWidth(), 200);
  EXPECT_EQ(r->ClientHeight(), 100);
  auto* a = new TPainel(r);
  a->DefinirLimites(10, 20, 300, 400);
  auto* oculto = new TPainel(r);
  oculto->DefinirLimites(0, 0, 1000, 1000);
  oculto->DefinirVisivel(false);
  EXPECT_EQ(r->FaixaVertical(), 420);
  EXPECT_EQ(r->FaixaHorizontal(), 310);
  struct TCaso {
    int Pedido, V, H;
  };
  // Both bars (17 pixels each) take their room from what shows.
  for (const TCaso& k : {TCaso{50, 50, 50}, TCaso{-5, 0, 0}, TCaso{5000, 337, 127}}) {
    r->DefinirPosicaoVertical(k.Pedido);
    r->DefinirPosicaoHorizontal(k.Pedido);
    EXPECT_EQ(r->PosicaoVertical(), k.V) << k.Pedido;
    EXPECT_EQ(r->PosicaoHorizontal(), k.H) << k.Pedido;
  }

  // Content built as it scrolls into view: the extent beyond the children, and
  // the handler after each real move only.
  int rolagens = 0;
  r->AoRolar = [&] { ++rolagens; };
  r->DefinirAlturaConteudo(5000);
  EXPECT_EQ(r->FaixaVertical(), 5000);
  r->DefinirPosicaoVertical(4900);
  EXPECT_EQ(r->PosicaoVertical(), 4900);
  r->DefinirPosicaoVertical(4900);
  EXPECT_EQ(rolagens, 1);
  // A shorter content pulls the position back, and the handler hears of it.
  r->DefinirAlturaConteudo(300);
  EXPECT_EQ(r->FaixaVertical(), 420);
  EXPECT_EQ(r->PosicaoVertical(), 420 - r->AlturaVisivel());
  EXPECT_EQ(r->PosicaoVertical(), 337);
  EXPECT_EQ(rolagens, 2);
}

// Scrolled to the end, the content's far edges are in view beside the bars; a
// bar shows exactly when the content does not fit beside the other one.
TEST_F(KitNucleo, RolagemAlcancaAsBordasDoConteudo) {
  TJanela j;
  auto* r = new TRolagem(&j);
  r->DefinirLimites(0, 0, 204, 104);
  r->DefinirBordaSimples(true);  // client 200 x 100
  auto* c = new TPainel(r);
  const struct {
    int L, A;
    bool V, H;
  } casos[] = {
      {200, 100, false, false},  // fits exactly
      {150, 400, true, false},   // taller, and narrow enough beside the vertical bar
      {190, 400, true, true},    // taller: the vertical bar leaves 183, too narrow
      {400, 90, true, true},     // wider: the horizontal bar leaves 83, too low
      {400, 80, false, true},    // wider, and low enough above the horizontal bar
      {6000, 4000, true, true},
  };
  for (const auto& k : casos) {
    c->DefinirLimites(0, 0, k.L, k.A);
    EXPECT_EQ(r->BarraVerticalVisivel(), k.V) << k.L << "x" << k.A;
    EXPECT_EQ(r->BarraHorizontalVisivel(), k.H) << k.L << "x" << k.A;
    EXPECT_EQ(r->LarguraVisivel(), 200 - (k.V ? 17 : 0));
    EXPECT_EQ(r->AlturaVisivel(), 100 - (k.H ? 17 : 0));
    r->DefinirPosicaoVertical(1 << 30);
    r->DefinirPosicaoHorizontal(1 << 30);
    // The far edges in view, and not a pixel further.
    EXPECT_EQ(r->PosicaoVertical() + r->AlturaVisivel(), std::max(k.A, r->AlturaVisivel()))
        << k.L << "x" << k.A;
    EXPECT_EQ(r->PosicaoHorizontal() + r->LarguraVisivel(), std::max(k.L, r->LarguraVisivel()))
        << k.L << "x" << k.A;
  }
}

TEST_F(KitNucleo, TemporizadoresDisparamPeloRelogioEmProcessarMensagens) {
  TTemporizador t;
  int n = 0;
  t.AoDisparar = [&] { ++n; };
  t.DefinirIntervalo(1000);
  Relogio.Avancar(5000);
  app::ProcessarMensagens();
  EXPECT_EQ(n, 0);  // disabled
  t.DefinirHabilitado(true);
  Relogio.Avancar(999);
  app::ProcessarMensagens();
  EXPECT_EQ(n, 0);
  Relogio.Avancar(1);
  app::ProcessarMensagens();
  EXPECT_EQ(n, 1);
  // A new interval restarts the countdown.
  Relogio.Avancar(900);
  t.DefinirIntervalo(1000);
  Relogio.Avancar(900);
  app::ProcessarMensagens();
  EXPECT_EQ(n, 1);
  Relogio.Avancar(100);
  app::ProcessarMensagens();
  EXPECT_EQ(n, 2);
  // An error in a handler goes to the error box, not out of the loop.
  app::DefinirTitulo("Zelvan");
  t.AoDisparar = [] { throw std::runtime_error("sem rede"); };
  Relogio.Avancar(1000);
  EXPECT_NO_THROW(app::ProcessarMensagens());
  ASSERT_EQ(headless::Caixas().size(), 1u);
  EXPECT_EQ(headless::Caixas()[0].Texto, "sem rede");
  EXPECT_EQ(headless::Caixas()[0].Titulo, "Zelvan");
}

TEST_F(KitNucleo, AreaDesenhadaDaImagem) {
  TJanela j;
  auto* img = new TImagem(&j);
  img->DefinirLimites(0, 0, 100, 60);
  auto fig = [](int w, int h) {
    auto b = std::make_shared<TBitmap>();
    b->Largura = w;
    b->Altura = h;
    b->Pixels.assign(static_cast<size_t>(w) * h, 0xFF000000);
    return b;
  };
  struct TCaso {
    int W, H;
    bool Proporcional, Centralizado, Esticado;
    TRetangulo Esperado;
  };
  const TCaso casos[] = {
      {100, 50, true, true, false, {0, 5, 100, 50}},   // fits: own size, centred
      {200, 100, true, true, false, {0, 5, 100, 50}},  // larger: shrunk keeping proportions
      {50, 300, true, true, false, {45, 0, 10, 60}},   // tall: limited by the height
      {20, 10, true, true, true, {0, 5, 100, 50}},     // stretched proportionally: enlarged
      {20, 10, false, false, true, {0, 0, 100, 60}},   // stretched: the whole box
      {20, 10, false, false, false, {0, 0, 20, 10}},   // plain: top left, own size
      {20, 10, false, true, false, {40, 25, 20, 10}},  // centred only
  };
  for (const TCaso& k : casos) {
    img->DefinirImagem(fig(k.W, k.H));
    img->DefinirModo(k.Proporcional, k.Centralizado, k.Esticado, false);
    EXPECT_EQ(img->AreaDesenhada(), k.Esperado) << k.W << "x" << k.H;
  }
  img->DefinirImagem(nullptr);
  EXPECT_EQ(img->AreaDesenhada(), TRetangulo{});
}

TEST_F(KitNucleo, PaginasAcompanhamOTamanhoDoControle) {
  TJanela j;
  auto* p = new TPaginas(&j);
  p->DefinirLimites(16, 98, 728, 406);
  auto* a = p->NovaPagina("Status");
  auto* b = p->NovaPagina("Config");
  EXPECT_EQ(a->Limites(), p->AreaPaginas());
  EXPECT_TRUE(a->Visivel());
  EXPECT_FALSE(b->Visivel());
  p->DefinirTamanho(500, 300);
  EXPECT_EQ(b->Limites(), p->AreaPaginas());
  EXPECT_EQ(b->Width(), 492);
  int mudou = 0;
  p->AoMudarPagina = [&] { ++mudou; };
  p->AtivarPagina(1);
  p->AtivarPagina(7);  // no such page: nothing
  EXPECT_EQ(p->IndiceAtivo(), 1);
  EXPECT_EQ(mudou, 1);
  EXPECT_FALSE(a->Visivel());
}

TEST_F(KitNucleo, ExibirModalVoltaQuandoAJanelaFecha) {
  TJanela j;
  int passes = 0;
  headless::AoProcessarMensagens = [&] {
    if (++passes == 3) j.Fechar();
  };
  j.ExibirModal();
  EXPECT_TRUE(j.Fechada());
  EXPECT_FALSE(j.Visivel());
  EXPECT_EQ(passes, 3);
}

}  // namespace
