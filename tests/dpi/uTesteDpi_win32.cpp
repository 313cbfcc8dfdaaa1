// The agent's windows at 150 % (144 DPI), as an employee with a scaled screen
// meets them: every measure given at 96 DPI comes out 1.5 times larger, the
// bubble's round region with it, and each window stays inside the primary work
// area. ctest starts this program with VESK_WINE_DPI=144; screenshots in
// out/screens with the suffix "_144dpi".
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "chat/uChatFloat.h"
#include "chat/uChatPedidos.h"
#include "chat/uChatToast.h"
#include "config/uConfigINI.h"
#include "platform/ui/uKit.h"
#include "tasks/uPopupTarefas.h"
#include "tests/chat/uBolhaTesteWin32.h"
#include "tests/tasks/uPainelTesteWin32.h"
#include "tests/ui/uKitTesteWin32.h"
#include "tools/wine/uCaptura.h"

using testeui::AreaDeTrabalho;
using testeui::Cliente;
using testeui::Dentro;
using testeui::H;
using testeui::Janela;
using testeui::RetanguloNaJanela;

namespace {

constexpr int kDpi = 144;

int X(int AValor96) {
  return MulDiv(AValor96, kDpi, 96);
}

// Without the DPI of the run every figure below would be measured at 96 and
// prove nothing: the kit itself must see 144.
void ExigirDpi(HWND AJanela) {
  ASSERT_EQ(GetDpiForWindow(AJanela), static_cast<UINT>(kDpi))
      << "the program did not start at 144 DPI (VESK_WINE_DPI)";
  const RECT a = AreaDeTrabalho();
  ASSERT_EQ(ui::app::AreaDeTrabalho().Width, MulDiv(a.right - a.left, 96, kDpi));
}

using Chat144 = BolhaTesteWin32;

TEST_F(Chat144, BalaoEToastEscalamEFicamNaAreaDeTrabalho) {
  TFrmChatFloat* b = nullptr;
  ASSERT_NO_FATAL_FAILURE(IniciarBolha(b));
  HWND h = H(b);
  ExigirDpi(h);
  testeui::Bombear(300);
  ASSERT_TRUE(IsWindowVisible(h));

  // 72 x 72 at 96 DPI, at its default place 18 and 120 from the work area's
  // lower right corner (in the kit's measures, so 27 and 180 here).
  const RECT area = AreaDeTrabalho();
  RECT r = Janela(h);
  EXPECT_EQ(r.right - r.left, 108);
  EXPECT_EQ(r.bottom - r.top, 108);
  EXPECT_NEAR(r.right, area.right - X(18), 1);
  EXPECT_NEAR(r.bottom, area.bottom - X(120), 1);
  EXPECT_TRUE(Dentro(r, area)) << "leaves the work area";

  // The region is the picture's circle at the window's size, not the 72 of the
  // picture: round corners, the whole circle, no badge area yet.
  HRGN rg = CreateRectRgn(0, 0, 0, 0);
  ASSERT_EQ(GetWindowRgn(h, rg), COMPLEXREGION);
  RECT caixa{};
  GetRgnBox(rg, &caixa);
  EXPECT_GE(caixa.right, 104) << "region cut at the picture's 96-DPI size";
  EXPECT_GE(caixa.bottom, 104) << "region cut at the picture's 96-DPI size";
  EXPECT_LE(caixa.right, 108);
  EXPECT_LE(caixa.bottom, 108);
  const struct {
    int X, Y;
    bool Dentro;
  } pontos[] = {
      {1, 1, false}, {106, 1, false}, {1, 106, false}, {106, 106, false}, {54, 54, true},
      {54, 4, true}, {54, 103, true}, {4, 54, true},   {103, 54, true},   {102, 4, false},
  };
  for (const auto& p : pontos)
    EXPECT_EQ(PtInRegion(rg, p.X, p.Y) != 0, p.Dentro) << p.X << "," << p.Y;
  EXPECT_TRUE(CapturarJanela(h, "chat_balao_144dpi"));

  // The count rises: the badge's area joins the region, scaled (37..72 x
  // 0..24 at 96 DPI), and the toast comes up.
  Chat(150, "Carlos Lima", "Bom dia! Pode revisar a planilha de compras?");
  TVeskChatFloat::AtualizarUnread();
  ASSERT_TRUE(AguardarPedidos());
  testeui::Bombear(300);
  ASSERT_EQ(b->Unread(), 150);
  GetWindowRgn(h, rg);
  EXPECT_TRUE(PtInRegion(rg, 102, 4)) << "no badge area";
  EXPECT_TRUE(PtInRegion(rg, X(70), X(4))) << "badge area outside the circle";
  EXPECT_FALSE(PtInRegion(rg, X(20), X(2)));
  DeleteObject(rg);
  EXPECT_TRUE(CapturarJanela(h, "chat_balao_99mais_144dpi"));

  // The toast: 430 x 158 at 96 DPI, 18 and 78 from the lower right corner.
  TFrmChatToast* t = TVeskChatFloat::ToastAtual();
  ASSERT_NE(t, nullptr);
  HWND ht = H(t);
  ASSERT_TRUE(IsWindowVisible(ht));
  EXPECT_EQ(GetDpiForWindow(ht), static_cast<UINT>(kDpi));
  const RECT rt = Janela(ht);
  EXPECT_EQ(rt.right - rt.left, 645);
  EXPECT_EQ(rt.bottom - rt.top, 237);
  EXPECT_NEAR(rt.right, area.right - X(18), 1);
  EXPECT_NEAR(rt.bottom, area.bottom - X(78), 1);
  EXPECT_TRUE(Dentro(rt, area)) << "leaves the work area";
  EXPECT_TRUE(CapturarJanela(ht, "chat_toast_144dpi"));
  EXPECT_TRUE(CapturarTela("chat_tela_144dpi"));

  // A place stored far off screen (or from a larger screen) comes back inside
  // the work area at this DPI.
  TVeskChatFloat::Finalizar();
  TConfigINI::EscreverInteiro("CHAT_FLOAT", "LEFT", 5000);
  TConfigINI::EscreverInteiro("CHAT_FLOAT", "TOP", 5000);
  Chat(0, "", "");
  TVeskChatFloat::Iniciar();
  ASSERT_TRUE(AguardarPedidos());
  ASSERT_NE(TVeskChatFloat::Bolha(), nullptr);
  r = Janela(H(TVeskChatFloat::Bolha()));
  EXPECT_TRUE(Dentro(r, area)) << r.left << "," << r.top << " outside the work area";
  EXPECT_EQ(r.right - r.left, 108);
}

// The panel's layout at 144 DPI inside a client area of AW x AH pixels: the
// top bar and its close button scaled, the card area below them to the
// bottom, scrolling over five cards by the bar and the wheel.
void ConferirPainel(TFrmPopupTarefas& p, int AW, int AH, const std::string& ATela) {
  HWND janela = H(&p);
  ExigirDpi(janela);
  const RECT c = Cliente(janela);
  EXPECT_EQ(c.right, AW);
  EXPECT_EQ(c.bottom, AH);
  EXPECT_TRUE(Dentro(Janela(janela), AreaDeTrabalho())) << "leaves the work area";
  const RECT topo = RetanguloNaJanela(p.pnlTopo);
  EXPECT_EQ(topo.bottom, X(96));
  EXPECT_EQ(topo.right, AW);
  const RECT fechar = RetanguloNaJanela(p.btnFechar);
  EXPECT_EQ(fechar.right - fechar.left, X(92));
  EXPECT_EQ(fechar.bottom - fechar.top, X(32));
  EXPECT_TRUE(Dentro(fechar, c)) << "the close button is cut";
  const RECT cartoes = RetanguloNaJanela(p.AreaCartoes());
  EXPECT_EQ(cartoes.top, X(96));
  EXPECT_EQ(cartoes.bottom, AH);
  const RECT cartao = RetanguloNaJanela(p.ControlesDoCartao(0)->Painel);
  EXPECT_EQ(cartao.top, X(96 + 18));
  EXPECT_EQ(cartao.bottom - cartao.top, X(148));
  // Each text fits its label at this DPI: the title's line is as tall as its
  // font needs, and the buttons keep their place in the card.
  const auto* k = p.ControlesDoCartao(0);
  EXPECT_LE(RetanguloNaJanela(k->lblTitulo).right, RetanguloNaJanela(k->btnIniciar).left);
  EXPECT_EQ(RetanguloNaJanela(k->btnIniciar).left, X(24 + 520));
  HWND area = H(p.AreaCartoes());
  EXPECT_TRUE(GetWindowLongW(area, GWL_STYLE) & WS_VSCROLL) << "five cards and no scroll bar";
  EXPECT_TRUE(CapturarJanela(janela, ATela));
  // The wheel over a card scrolls by the same 48 (at 96 DPI) as at 100 %.
  const RECT d = RetanguloNaJanela(k->lblDescricao);
  POINT pt{(d.left + d.right) / 2, (d.top + d.bottom) / 2};
  ClientToScreen(janela, &pt);
  SetCursorPos(pt.x, pt.y);
  SendMessageW(H(k->lblDescricao), WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA),
               MAKELPARAM(pt.x, pt.y));
  EXPECT_EQ(p.AreaCartoes()->PosicaoVertical(), 48) << "the wheel did not scroll";
  // To the end: the last card whole above the area's bottom (a horizontal bar,
  // where the cards are wider than the window, takes its share), 18 from it.
  SendMessageW(area, WM_VSCROLL, MAKEWPARAM(SB_BOTTOM, 0), 0);
  const auto* ultimo = p.ControlesDoCartao(4);
  ASSERT_NE(ultimo, nullptr);
  const RECT u = RetanguloNaJanela(ultimo->Painel);
  const RECT visivel = Cliente(area);
  EXPECT_GE(u.top, cartoes.top) << "the last card is not in view";
  EXPECT_NEAR(u.bottom, cartoes.top + visivel.bottom - X(18), 1);
  const bool barraHorizontal = (GetWindowLongW(area, GWL_STYLE) & WS_HSCROLL) != 0;
  EXPECT_EQ(barraHorizontal, u.right > cartoes.left + visivel.right)
      << "a card wider than the area needs the horizontal bar, and only then";
  EXPECT_TRUE(CapturarJanela(janela, ATela + "_rolado"));
}

TEST(Painel144, EscalaParaOTamanhoInteiroOuCabeNaAreaDeTrabalho) {
  ui::app::DefinirTitulo("Zelvan");
  // On Xvfb's 1920 x 1080 the panel's 720 x 620 (1080 x 930 here) fit: it
  // comes at its full scaled size, centred.
  const RECT a = AreaDeTrabalho();
  const bool cabe = a.right - a.left >= 1080 && a.bottom - a.top >= 930;
  ASSERT_TRUE(cabe) << "Xvfb's screen is expected to hold the whole panel at 144 DPI";
  Exibir(Lista(5), {
                       [&](TFrmPopupTarefas& p) {
                         ConferirPainel(p, 1080, 930, "tarefas_painel_144dpi");
                         const RECT w = Janela(H(&p));
                         EXPECT_NEAR((w.left + w.right) / 2, (a.left + a.right) / 2, 2);
                         EXPECT_NEAR((w.top + w.bottom) / 2, (a.top + a.bottom) / 2, 2);
                         PostMessageW(H(p.btnFechar), BM_CLICK, 0, 0);
                       },
                   });

  // A work area smaller than the scaled panel: it fits inside, whole.
  RECT pequena{0, 0, 960, 660};
  ASSERT_TRUE(SystemParametersInfoW(SPI_SETWORKAREA, 0, &pequena, 0));
  ASSERT_EQ(AreaDeTrabalho().bottom, 660) << "the work area did not change";
  Exibir(Lista(5), {
                       [&](TFrmPopupTarefas& p) {
                         ConferirPainel(p, 960, 660, "tarefas_painel_area_pequena_144dpi");
                         PostMessageW(H(p.btnFechar), BM_CLICK, 0, 0);
                       },
                   });
  SystemParametersInfoW(SPI_SETWORKAREA, 0, const_cast<RECT*>(&a), 0);
}

}  // namespace
