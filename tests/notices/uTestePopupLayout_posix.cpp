// Notice popup geometry on the headless kit: text layout, logo, image area and
// zoom, the expanded layout, the link, and hostile input.
#include "tests/notices/uCenarioPopup_posix.h"

#include <cmath>

#include "tests/notices/uApoioAvisos.h"

namespace {

// Runs the popup, calls AVer once after the release, then confirms.
class Layout : public CenarioPopup {
 protected:
  void VerAposLiberar(const std::string& AMensagem, const std::string& AImagem,
                      const std::function<void(TFrmPopupMensagem&)>& AVer,
                      const std::string& ALogo = "") {
    bool visto = false;
    Exibir(
        AMensagem, AImagem,
        [&](TFrmPopupMensagem& p, uint32_t) {
          if (!p.Liberado()) return;
          if (!visto) {
            visto = true;
            AVer(p);
          }
          ConfirmarQuandoLiberado(p);
        },
        "", ALogo);
    EXPECT_TRUE(visto);
  }

  std::string Imagem(int W, int H) {
    const std::string arquivo =
        FPasta / ("img_" + std::to_string(W) + "x" + std::to_string(H) + ".png");
    EXPECT_TRUE(GravarPngUniforme(arquivo, W, H, 0x336699));
    return arquivo;
  }
};

// From top to bottom: link, image area, check box, button, 18 pixels of margin;
// everything wholly inside the window.
void VerificarOrdem(TFrmPopupMensagem& P) {
  const int h = P.ClientHeight(), w = P.ClientWidth();
  const ui::TRetangulo chk = P.chkConfirmacao->Limites(), btn = P.btnOK->Limites();
  EXPECT_TRUE(P.chkConfirmacao->Visivel());
  EXPECT_EQ(btn.Bottom() + 18, h);
  EXPECT_LE(chk.Bottom(), btn.Top);
  int acima = P.memMensagem->Limites().Bottom();
  if (P.LinkLabel()) {
    const ui::TRetangulo link = P.LinkLabel()->Limites();
    EXPECT_GE(link.Top, P.memMensagem->Limites().Bottom());
    EXPECT_LE(link.Bottom(), chk.Top) << "check box covers the link";
    acima = link.Bottom();
  }
  if (P.ScrollImagem() && P.ScrollImagem()->Visivel()) {
    const ui::TRetangulo area = P.ScrollImagem()->Limites();
    EXPECT_GE(area.Top, acima);
    EXPECT_LE(area.Bottom(), chk.Top) << "check box covers the image area";
    EXPECT_LE(area.Right(), w);
  } else {
    EXPECT_LE(acima, chk.Top) << "check box covers the text";
  }
  for (const ui::TControle* c : P.pnlBase->Filhos())
    if (c->Visivel()) {
      EXPECT_GE(c->Left(), 0) << c->Nome;
      EXPECT_LE(c->Limites().Right(), w) << c->Nome;
      EXPECT_LE(c->Limites().Bottom(), h) << c->Nome;
    }
}

// "Linha 1" to "Linha N", one per line.
std::string LinhasCurtas(int N) {
  std::string texto;
  for (int i = 1; i <= N; ++i) texto += (i > 1 ? "\r\n" : "") + ("Linha " + std::to_string(i));
  return texto;
}

void VerificarDentroDaArea(const TFrmPopupMensagem& P) {
  const ui::TRetangulo a = ui::app::AreaDeTrabalho();
  EXPECT_GE(P.Left(), a.Left);
  EXPECT_GE(P.Top(), a.Top);
  EXPECT_LE(P.Left() + P.Width(), a.Right());
  EXPECT_LE(P.Top() + P.Height(), a.Bottom());
}

}  // namespace

TEST(ExtrairLink, Casos) {
  const struct {
    const char* Texto;
    const char* Link;
  } casos[] = {
      {"sem link nenhum", ""},
      {"Veja (https://a.com/x) agora", "https://a.com/x"},
      {"Fim em https://a.com/x.", "https://a.com/x."},
      {"http://antes.com depois https://depois.com", "https://depois.com"},
      {"so http://velho.com/p?q=1,2;3", "http://velho.com/p?q=1,2;3"},
      {"HTTPS://Caixa.Com/ABC fim", "HTTPS://Caixa.Com/ABC"},
      {"<https://a.com/b>", "https://a.com/b"},
      {"\"https://a.com/c\"", "https://a.com/c"},
      {"x https://a.com/d'e", "https://a.com/d"},
      {"[https://a.com/e] {https://b.com/f}", "https://a.com/e"},
      {"linha\r\nhttps://a.com/g\r\nnova", "https://a.com/g"},
      {"tab https://a.com/h\tx", "https://a.com/h"},
      {"acento https://a.com/ação(1)", "https://a.com/ação(1"},
      {"https://", "https://"},
      {"Cadastro:\r\nhttps://intranet.vesk.com.br/cadastro.php?pc=PC-1",
       "https://intranet.vesk.com.br/cadastro.php?pc=PC-1"},
  };
  for (const auto& c : casos) EXPECT_EQ(TFrmPopupMensagem::ExtrairLink(c.Texto), c.Link) << c.Texto;
}

TEST_F(Layout, TextoDeTresLinhasFica760Por430Centralizado) {
  VerAposLiberar("Primeira linha\r\nSegunda linha\r\nTerceira linha", "", [](TFrmPopupMensagem& p) {
    EXPECT_EQ(p.ClientWidth(), 760);
    EXPECT_EQ(p.ClientHeight(), 430);
    EXPECT_EQ(p.Left(), (1920 - 760) / 2);
    EXPECT_EQ(p.Top(), (1040 - 430) / 2);
    EXPECT_EQ(p.LinkLabel(), nullptr);
    EXPECT_EQ(p.memMensagem->Limites(), (ui::TRetangulo{40, 190, 680, 140}));
    EXPECT_TRUE(p.memMensagem->BarraVertical());
    EXPECT_EQ(p.btnOK->Limites(), (ui::TRetangulo{295, 370, 170, 42}));
    EXPECT_EQ(p.chkConfirmacao->Limites(), (ui::TRetangulo{185, 334, 390, 26}));
    EXPECT_TRUE(p.Estilo().SemBorda);
    EXPECT_TRUE(p.Estilo().SempreNoTopo);
    EXPECT_EQ(p.Texto(), "Mensagem");
    VerificarOrdem(p);
  });
}

TEST_F(Layout, QuarentaLinhasCurtasDaoAltura1000) {
  VerAposLiberar(LinhasCurtas(40), "", [](TFrmPopupMensagem& p) {
    EXPECT_EQ(p.ClientHeight(), 1000);
    EXPECT_EQ(p.Top(), 20);
    VerificarOrdem(p);
  });
}

TEST_F(Layout, QuinzeLinhasDaoAlturaSemLimite) {
  // 15 lines: E = 20 x 15 + 26 = 326, H = 326 + 295 = 621, clamped by neither end.
  VerAposLiberar(LinhasCurtas(15), "", [](TFrmPopupMensagem& p) {
    EXPECT_EQ(p.ClientHeight(), 621);
    EXPECT_EQ(p.Top(), (1040 - 621) / 2);
    EXPECT_EQ(p.memMensagem->Limites(), (ui::TRetangulo{40, 190, 680, 331}));
    EXPECT_EQ(p.btnOK->Top(), 561);
    VerificarOrdem(p);
  });
}

TEST_F(Layout, LinkNoTextoFicaAcimaDaCaixaLiberada) {
  VerAposLiberar("Atualize seu cadastro:\r\nhttps://intranet.vesk.com.br/cadastro", "",
                 [](TFrmPopupMensagem& p) {
                   ASSERT_NE(p.LinkLabel(), nullptr);
                   EXPECT_EQ(p.LinkURL(), "https://intranet.vesk.com.br/cadastro");
                   EXPECT_EQ(p.LinkLabel()->Limites(), (ui::TRetangulo{40, 430 - 124, 680, 24}));
                   VerificarOrdem(p);
                 });
}

TEST_F(Layout, ImagemPequenaTemCaixaMinima) {
  VerAposLiberar("Texto", Imagem(100, 50), [](TFrmPopupMensagem& p) {
    EXPECT_EQ(p.ClientWidth(), 640);
    EXPECT_EQ(p.ClientHeight(), 680);
    EXPECT_DOUBLE_EQ(p.ZoomAjusteImagem(), 1.0);
    EXPECT_EQ(p.imgMensagem->Width(), 100);
    EXPECT_EQ(p.imgMensagem->Height(), 60);
    EXPECT_EQ(p.imgMensagem->AreaDesenhada(), (ui::TRetangulo{0, 5, 100, 50}));
    EXPECT_EQ(p.imgMensagem->Pai(), p.ScrollImagem());
    EXPECT_EQ(p.btnOK->Limites(), (ui::TRetangulo{235, 620, 170, 42}));
    VerificarOrdem(p);
  });
}

TEST_F(Layout, ImagemMediaTemAjusteSemLimite) {
  // 1200 x 800 in the area's 556 x 304 client: the height decides,
  // (304 - 8) x 0.96 / 800 = 0.3552, between the limits 0.18 and 1.
  VerAposLiberar("Texto", Imagem(1200, 800), [](TFrmPopupMensagem& p) {
    EXPECT_NEAR(p.ZoomAjusteImagem(), 0.3552, 1e-12);
    EXPECT_NEAR(p.ZoomImagem(), 0.3552, 1e-12);
    EXPECT_EQ(p.ScrollImagem()->Limites(), (ui::TRetangulo{40, 272, 560, 308}));
    EXPECT_EQ(p.imgMensagem->Limites(), (ui::TRetangulo{63, 8, 426, 284}));
    EXPECT_FALSE(p.ScrollImagem()->BarraVerticalVisivel());
    VerificarOrdem(p);
  });
}

TEST_F(Layout, ImagemGrandeUsaZoomMinimoERola) {
  VerAposLiberar("Texto com https://a.com/link", Imagem(4000, 3000), [](TFrmPopupMensagem& p) {
    EXPECT_DOUBLE_EQ(p.ZoomAjusteImagem(), 0.18);
    EXPECT_DOUBLE_EQ(p.ZoomImagem(), 0.25);
    EXPECT_EQ(p.imgMensagem->Limites(), (ui::TRetangulo{0, 0, 1000, 750}));
    ui::TRolagem* area = p.ScrollImagem();
    EXPECT_GT(area->FaixaVertical(), area->ClientHeight());
    // Plain wheel scrolls by at least 40; up never goes below 0.
    EXPECT_TRUE(p.imgMensagem->RodarMouse(-120, false));
    EXPECT_EQ(area->PosicaoVertical(), 120);
    EXPECT_TRUE(area->RodarMouse(-10, false));
    EXPECT_EQ(area->PosicaoVertical(), 160);
    EXPECT_TRUE(area->RodarMouse(480, false));
    EXPECT_EQ(area->PosicaoVertical(), 0);
    VerificarOrdem(p);
  });
}

TEST_F(Layout, FotoDe24MegapixelsGuardaTodosOsPixels) {
  // The expanded view draws at zoom 1 or more: from the picture's own pixels.
  VerAposLiberar("Texto", Imagem(6000, 4000), [](TFrmPopupMensagem& p) {
    EXPECT_EQ(p.imgMensagem->Imagem()->Largura, 6000);
    EXPECT_EQ(p.imgMensagem->Imagem()->Altura, 4000);
    EXPECT_DOUBLE_EQ(p.ZoomImagem(), 0.25);
    EXPECT_EQ(p.imgMensagem->Limites(), (ui::TRetangulo{0, 0, 1500, 1000}));
    VerificarOrdem(p);
  });
}

TEST_F(Layout, ImagemReduzidaNaDecodificacaoGuardaOTamanhoProprio) {
  // Above an 8K desktop the picture is decoded at half size; the layout still
  // works from its own 10000 x 4000.
  VerAposLiberar("Texto", Imagem(10000, 4000), [](TFrmPopupMensagem& p) {
    EXPECT_EQ(p.imgMensagem->Imagem()->Largura, 5000);
    EXPECT_EQ(p.ImagemNaturalW(), 10000);
    EXPECT_EQ(p.ImagemNaturalH(), 4000);
    EXPECT_DOUBLE_EQ(p.ZoomImagem(), 0.25);
    EXPECT_EQ(p.imgMensagem->Limites(), (ui::TRetangulo{0, 0, 2500, 1000}));
    VerificarOrdem(p);
  });
}

TEST_F(Layout, ZoomComCtrlFicaEntre025E5) {
  VerAposLiberar("Texto", Imagem(100, 50), [](TFrmPopupMensagem& p) {
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(p.imgMensagem->RodarMouse(120, true));
    EXPECT_NEAR(p.ZoomImagem(), 1.12 * 1.12 * 1.12, 1e-12);
    EXPECT_EQ(p.imgMensagem->Width(), static_cast<int>(std::nearbyint(100 * 1.12 * 1.12 * 1.12)));
    for (int i = 0; i < 40; ++i) p.ScrollImagem()->RodarMouse(120, true);
    EXPECT_DOUBLE_EQ(p.ZoomImagem(), 5.0);
    EXPECT_EQ(p.imgMensagem->Limites(), (ui::TRetangulo{26, 25, 500, 250}));
    for (int i = 0; i < 60; ++i) p.ScrollImagem()->RodarMouse(-120, true);
    EXPECT_DOUBLE_EQ(p.ZoomImagem(), 0.25);
    EXPECT_EQ(p.imgMensagem->Width(), 80);
    EXPECT_EQ(p.imgMensagem->Height(), 60);
  });
}

TEST_F(Layout, ExpandirEVoltar) {
  VerAposLiberar("Texto https://a.com/x", Imagem(200, 100), [](TFrmPopupMensagem& p) {
    const double ajuste = p.ZoomAjusteImagem();
    EXPECT_DOUBLE_EQ(ajuste, 1.0);
    p.imgMensagem->RodarMouse(120, true);
    p.imgMensagem->Clicar();
    EXPECT_TRUE(p.ImagemExpandida());
    EXPECT_EQ(p.ClientWidth(), 1904);
    EXPECT_EQ(p.ClientHeight(), 1024);
    EXPECT_EQ(p.Left(), 8);
    EXPECT_EQ(p.Top(), 8);
    EXPECT_DOUBLE_EQ(p.ZoomImagem(), 1.85);
    EXPECT_EQ(p.btnOK->Limites(), (ui::TRetangulo{867, 964, 170, 42}));
    EXPECT_TRUE(p.btnOK->Visivel());
    EXPECT_FALSE(p.btnOK->Habilitado());           // the state survives the layout change
    EXPECT_FALSE(p.memMensagem->BarraVertical());  // one line high
    VerificarOrdem(p);
    p.imgMensagem->Clicar();
    EXPECT_FALSE(p.ImagemExpandida());
    EXPECT_TRUE(p.memMensagem->BarraVertical());
    EXPECT_EQ(p.ClientWidth(), 640);
    EXPECT_DOUBLE_EQ(p.ZoomImagem(), ajuste);
    EXPECT_EQ(p.Left(), (1920 - 640) / 2);
    VerificarOrdem(p);
  });
}

TEST_F(Layout, LogoReduzidoAoQuadroEBrancoNoTransparente) {
  const std::string logo = FPasta / "logo.png";
  GravarArquivoTeste(
      logo, PngRgba(300, 100, [](int x, int) { return x < 150 ? 0x00000000u : 0xFF004080u; }));
  VerAposLiberar(
      "Texto", "",
      [](TFrmPopupMensagem& p) {
        EXPECT_TRUE(p.imgLogo->Visivel());
        EXPECT_EQ(p.imgLogo->Limites(), (ui::TRetangulo{(760 - 198) / 2, 14, 198, 66}));
        EXPECT_EQ(p.imgLogo->Imagem()->Pixels[0], 0xFFFFFFFFu);
        EXPECT_TRUE(p.imgLogo->Opaco());
      },
      logo);
}

TEST_F(Layout, EntradasRuinsAbremConfirmamEFecham) {
  const std::string png = PngRgba(20, 20, [](int, int) { return 0xFF00FF00u; });
  GravarArquivoTeste(FPasta / "vazio.png", "");
  GravarArquivoTeste(FPasta / "truncado.png", png.substr(0, png.size() / 2));
  GravarArquivoTeste(FPasta / "trocado.jpg", png);
  std::string semEspacos(100000, 'x');
  std::string links;
  for (int i = 0; i < 2000; ++i) links += "https://a.com/" + std::to_string(i) + " ";
  const struct {
    std::string Mensagem, Imagem, Logo;
    bool ComImagem;
  } casos[] = {
      {"Texto", FPasta / "nao_existe.png", FPasta / "nao_existe.png", false},
      {"Texto", FPasta / "vazio.png", FPasta / "vazio.png", false},
      {"Texto", FPasta / "truncado.png", FPasta / "truncado.png", false},
      {"Texto", FPasta / "trocado.jpg", FPasta / "trocado.jpg", false},
      {semEspacos, "", "", false},
      {links, "", "", false},
      {"", "", "", false},
      {semEspacos, Imagem(10000, 10000), "", true},
  };
  for (const auto& c : casos) {
    bool visto = false;
    Exibir(
        c.Mensagem, c.Imagem,
        [&](TFrmPopupMensagem& p, uint32_t) {
          if (!p.Liberado()) return;
          if (!visto) {
            visto = true;
            EXPECT_FALSE(p.imgLogo->Visivel());
            EXPECT_EQ(p.ScrollImagem() != nullptr, c.ComImagem);
            VerificarDentroDaArea(p);
            VerificarOrdem(p);
          }
          ConfirmarQuandoLiberado(p);
        },
        "", c.Logo);
    EXPECT_TRUE(visto) << c.Mensagem.substr(0, 20) << " " << c.Imagem;
  }
}

TEST_F(Layout, AreaDeTrabalhoPequenaContemOTexto) {
  ui::headless::DefinirAreaDeTrabalho({0, 0, 700, 500});
  std::string texto;
  for (int i = 0; i < 30; ++i) texto += "Linha\r\n";
  VerAposLiberar(texto + "https://a.com", "", [](TFrmPopupMensagem& p) {
    EXPECT_EQ(p.ClientWidth(), 660);
    EXPECT_EQ(p.ClientHeight(), 460);
    VerificarDentroDaArea(p);
    VerificarOrdem(p);
  });
}
