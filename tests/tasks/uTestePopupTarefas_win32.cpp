// The task panel on real windows under Wine, driven from inside its modal loop:
// on top and in front, frameless at its size, centred, its cards where the
// layout puts them, scrolling by the bar and the wheel, shown again when
// minimised from outside, a log-off let through, and a small work area.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/ui/uKit.h"
#include "tasks/uPopupTarefas.h"
#include "tests/support/uTestSupport.h"
#include "tests/tasks/uPainelTesteWin32.h"
#include "tests/ui/uKitTesteWin32.h"
#include "tools/wine/uCaptura.h"

using testeui::AreaDeTrabalho;
using testeui::Cliente;
using testeui::Dentro;
using testeui::H;
using testeui::RetanguloNaJanela;

namespace {

class PainelWin32 : public ::testing::Test {
 protected:
  PainelWin32() { ui::app::DefinirTitulo("Zelvan"); }
};

}  // namespace

TEST_F(PainelWin32, NoTopoEmFrenteSemMolduraComCartoesNosLugares) {
  HWND janela = nullptr;
  Exibir(Lista(3),
         {
             [&](TFrmPopupTarefas& p) {
               janela = H(&p);
               EXPECT_TRUE(IsWindowVisible(janela));
               EXPECT_TRUE(GetWindowLongW(janela, GWL_EXSTYLE) & WS_EX_TOPMOST) << "not on top";
               EXPECT_FALSE(GetWindowLongW(janela, GWL_STYLE) & (WS_CAPTION | WS_THICKFRAME));
               EXPECT_EQ(GetForegroundWindow(), janela) << "not brought to the front";
               const RECT c = Cliente(janela);
               EXPECT_EQ(c.right, 720);
               EXPECT_EQ(c.bottom, 620);
               RECT w{};
               GetWindowRect(janela, &w);
               const RECT a = AreaDeTrabalho();
               EXPECT_NEAR((w.left + w.right) / 2, (a.left + a.right) / 2, 1);
               EXPECT_NEAR((w.top + w.bottom) / 2, (a.top + a.bottom) / 2, 1);

               const struct {
                 const ui::TControle* C;
                 RECT Esperado;
               } casos[] = {
                   {p.pnlTopo, {0, 0, 720, 96}},
                   {p.btnFechar, {598, 28, 690, 60}},
                   {p.AreaCartoes(), {0, 96, 720, 620}},
                   {p.ControlesDoCartao(0)->Painel, {24, 96 + 18, 24 + 650, 96 + 18 + 148}},
                   {p.ControlesDoCartao(1)->Painel, {24, 96 + 180, 24 + 650, 96 + 180 + 148}},
                   {p.ControlesDoCartao(2)->btnJustificar,
                    {24 + 520, 96 + 342 + 96, 24 + 616, 96 + 342 + 126}},
               };
               for (const auto& k : casos) {
                 const RECT r = RetanguloNaJanela(k.C);
                 EXPECT_EQ(r.left, k.Esperado.left) << k.C->Nome;
                 EXPECT_EQ(r.top, k.Esperado.top) << k.C->Nome;
                 EXPECT_EQ(r.right, k.Esperado.right) << k.C->Nome;
                 EXPECT_EQ(r.bottom, k.Esperado.bottom) << k.C->Nome;
               }
               EXPECT_TRUE(IsWindowEnabled(H(p.ControlesDoCartao(0)->btnIniciar)));
               EXPECT_FALSE(IsWindowEnabled(H(p.ControlesDoCartao(1)->btnIniciar)))
                   << "em_andamento";
               // Three cards fit: no scroll bar.
               EXPECT_FALSE(GetWindowLongW(H(p.AreaCartoes()), GWL_STYLE) & WS_VSCROLL);
               EXPECT_TRUE(CapturarJanela(janela, "tarefas_painel_teste"));
             },
             [&](TFrmPopupTarefas&) {
               // A log-off is never held up by the panel.
               EXPECT_EQ(SendMessageW(janela, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE);
               EXPECT_TRUE(IsWindowVisible(janela));
               // Minimised from outside: it comes back by itself.
               ShowWindow(janela, SW_MINIMIZE);
             },
             [&](TFrmPopupTarefas& p) {
               EXPECT_TRUE(testeui::Esperar(
                   [&] { return IsWindowVisible(janela) && !IsIconic(janela); }, 3000))
                   << "left minimised";
               EXPECT_TRUE(GetWindowLongW(janela, GWL_EXSTYLE) & WS_EX_TOPMOST);
               // "Fechar", as the employee presses it.
               PostMessageW(H(p.btnFechar), BM_CLICK, 0, 0);
             },
         });
  EXPECT_FALSE(IsWindow(janela)) << "the window outlived Exibir";
}

TEST_F(PainelWin32, DezCartoesRolamPelaBarraEPelaRoda) {
  Exibir(Lista(10),
         {
             [](TFrmPopupTarefas& p) {
               HWND area = H(p.AreaCartoes());
               EXPECT_TRUE(GetWindowLongW(area, GWL_STYLE) & WS_VSCROLL) << "no scroll bar";
               // The wheel over a card scrolls the area.
               const RECT r = RetanguloNaJanela(p.ControlesDoCartao(0)->lblDescricao);
               POINT pt{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
               ClientToScreen(H(&p), &pt);
               SetCursorPos(pt.x, pt.y);
               PostMessageW(H(p.ControlesDoCartao(0)->lblDescricao), WM_MOUSEWHEEL,
                            MAKEWPARAM(0, -WHEEL_DELTA), MAKELPARAM(pt.x, pt.y));
             },
             [](TFrmPopupTarefas& p) {
               EXPECT_EQ(p.AreaCartoes()->PosicaoVertical(), 48) << "the wheel did not scroll";
               // The bar taken to its end moves the content with it.
               HWND area = H(p.AreaCartoes());
               SendMessageW(area, WM_VSCROLL, MAKEWPARAM(SB_BOTTOM, 0), 0);
               EXPECT_EQ(p.AreaCartoes()->PosicaoVertical(), 1642 - 524);
               const auto* ultimo = p.ControlesDoCartao(9);
               ASSERT_NE(ultimo, nullptr);
               const RECT c = Cliente(H(&p));
               EXPECT_TRUE(Dentro(RetanguloNaJanela(ultimo->Painel), c))
                   << "the last card is not in view";
               EXPECT_EQ(RetanguloNaJanela(ultimo->Painel).bottom, 620 - 18);
               EXPECT_TRUE(CapturarJanela(H(&p), "tarefas_painel_teste_rolado"));
               PostMessageW(H(p.btnFechar), BM_CLICK, 0, 0);
             },
         });
}

TEST_F(PainelWin32, AreaDeTrabalhoPequenaCabeInteira) {
  const RECT antes = AreaDeTrabalho();
  RECT pequena{0, 0, 640, 440};
  ASSERT_TRUE(SystemParametersInfoW(SPI_SETWORKAREA, 0, &pequena, 0));
  ASSERT_EQ(AreaDeTrabalho().bottom, 440) << "the work area did not change";
  Exibir(Lista(5), {
                       [](TFrmPopupTarefas& p) {
                         RECT w{};
                         GetWindowRect(H(&p), &w);
                         EXPECT_TRUE(Dentro(w, RECT{0, 0, 640, 440})) << "leaves the work area";
                         const RECT c = Cliente(H(&p));
                         EXPECT_EQ(c.right, 640);
                         EXPECT_EQ(c.bottom, 440);
                         EXPECT_TRUE(Dentro(RetanguloNaJanela(p.btnFechar), c));
                         EXPECT_TRUE(GetWindowLongW(H(p.AreaCartoes()), GWL_STYLE) & WS_VSCROLL);
                         EXPECT_TRUE(CapturarJanela(H(&p), "tarefas_painel_area_pequena"));
                         PostMessageW(H(p.btnFechar), BM_CLICK, 0, 0);
                       },
                   });
  SystemParametersInfoW(SPI_SETWORKAREA, 0, const_cast<RECT*>(&antes), 0);
}

TEST_F(PainelWin32, RetornoApareceSobreOPainelQueFechaDepois) {
  // No token: the fixed answer, without the network.
  TBaseTemporaria base;
  HWND janela = nullptr;
  bool caixaNoTopo = false;
  std::string texto;
  testeui::TRoteiro respostas;
  respostas.AtePoder(100, [&] {
    HWND caixa = FindWindowW(L"#32770", L"Zelvan");
    if (!caixa || !IsWindowVisible(caixa)) return false;
    // Above the panel in the z-order.
    for (HWND h = GetWindow(caixa, GW_HWNDNEXT); h; h = GetWindow(h, GW_HWNDNEXT))
      if (h == janela) caixaNoTopo = true;
    wchar_t buf[256]{};
    GetDlgItemTextW(caixa, 0xFFFF, buf, 256);
    for (const wchar_t* c = buf; *c; ++c) texto += static_cast<char>(*c);
    PostMessageW(caixa, WM_COMMAND, IDOK, 0);
    return true;
  });
  Exibir(Lista(2), {
                       [&](TFrmPopupTarefas& p) {
                         janela = H(&p);
                         PostMessageW(H(p.ControlesDoCartao(0)->btnIniciar), BM_CLICK, 0, 0);
                       },
                   });
  EXPECT_TRUE(caixaNoTopo) << "the answer box opened behind the panel";
  EXPECT_EQ(texto, "Retorno: {\"ok\":false,\"erro\":\"Token ausente no agente.\"}");
  EXPECT_FALSE(IsWindow(janela));
}

int JanelasFilhas(HWND AJanela) {
  int n = 0;
  EnumChildWindows(
      AJanela,
      [](HWND, LPARAM l) -> BOOL {
        ++*reinterpret_cast<int*>(l);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&n));
  return n;
}

TEST_F(PainelWin32, CincoMilTarefasETextosDeCemMilCaracteres) {
  Exibir(Lista(5000), {
                          [](TFrmPopupTarefas& p) {
                            // A few screens of cards, not 40,000 windows.
                            EXPECT_LT(JanelasFilhas(H(&p)), 120);
                            SendMessageW(H(p.AreaCartoes()), WM_VSCROLL, MAKEWPARAM(SB_BOTTOM, 0),
                                         0);
                            const auto* ultimo = p.ControlesDoCartao(4999);
                            ASSERT_NE(ultimo, nullptr);
                            EXPECT_TRUE(IsWindowVisible(H(ultimo->btnJustificar)));
                            EXPECT_TRUE(Dentro(RetanguloNaJanela(ultimo->Painel), Cliente(H(&p))));
                            EXPECT_LT(JanelasFilhas(H(&p)), 120);
                            PostMessageW(H(p.btnFechar), BM_CLICK, 0, 0);
                          },
                      });
  std::string longo, semBrancos(100000, 'W');
  while (longo.size() < 100000) longo += "palavra ";
  const std::string lista =
      "{\"ok\":true,\"empresa\":\"" + semBrancos + "\",\"colaborador\":{\"nome\":\"" + longo +
      "\"},\"tarefas\":[{\"id\":1,\"titulo\":\"" + longo + "\",\"descricao\":\"" + semBrancos +
      "\",\"cliente\":\"" + semBrancos + "\"},{\"id\":2,\"titulo\":\"" + semBrancos +
      "\",\"descricao\":\"" + longo + "\",\"status\":\"" + longo + "\"}]}";
  Exibir(lista, {
                    [](TFrmPopupTarefas& p) {
                      const RECT c = Cliente(H(&p));
                      EXPECT_EQ(c.right, 720);
                      EXPECT_EQ(c.bottom, 620);
                      // Every text stays in its label, and the buttons stay where they are.
                      for (size_t i = 0; i < 2; ++i) {
                        const auto* k = p.ControlesDoCartao(i);
                        ASSERT_NE(k, nullptr);
                        EXPECT_LE(RetanguloNaJanela(k->lblTitulo).right,
                                  RetanguloNaJanela(k->btnIniciar).left);
                        EXPECT_LE(RetanguloNaJanela(k->lblVencimento).right,
                                  RetanguloNaJanela(k->btnIniciar).left);
                        EXPECT_EQ(RetanguloNaJanela(k->btnIniciar).left, 24 + 520);
                      }
                      EXPECT_LE(RetanguloNaJanela(p.lblSubtitulo).right,
                                RetanguloNaJanela(p.btnFechar).left);
                      EXPECT_TRUE(CapturarJanela(H(&p), "tarefas_painel_textos_longos"));
                      PostMessageW(H(p.btnFechar), BM_CLICK, 0, 0);
                    },
                });
}
