// The agent shell on the real Win32 kit under Wine: control rectangles at 96 DPI,
// the real Run key and the real notification icon.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "app/uAgentePrincipal.h"
#include "app/uStartupWindows.h"
#include "app/uTrayAgent.h"
#include "platform/uArquivos.h"
#include "platform/uBandeja.h"
#include "platform/uWin32Texto.h"
#include "tests/support/uTestSupport.h"

namespace {

// The real tray, with the shell's answers kept.
class TBandejaObservada : public IBandeja {
 public:
  bool Notificar(TAcaoIcone AAcao, const TDadosIcone& ADados) override {
    const bool ok = Real().Notificar(AAcao, ADados);
    Chamadas.push_back({AAcao, ok});
    return ok;
  }
  uint32_t TamanhoEstrutura() override { return Real().TamanhoEstrutura(); }
  void* IconeAplicacao() override { return Real().IconeAplicacao(); }
  std::vector<std::pair<TAcaoIcone, bool>> Chamadas;

 private:
  static IBandeja& Real() { return ImplementacaoPadrao(SeamTag<IBandeja>{}); }
};

RECT NoPai(const ui::TControle* AControle) {
  HWND h = static_cast<HWND>(AControle->HandleNativo());
  RECT r{};
  GetWindowRect(h, &r);
  MapWindowPoints(HWND_DESKTOP, GetParent(h), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

void Bombear() {
  for (int i = 0; i < 20; ++i) {
    ui::app::ProcessarMensagens();
    Sleep(10);
  }
}

class AgenteWin32 : public ::testing::Test {
 protected:
  AgenteWin32() { ui::app::DefinirTitulo("Zelvan"); }
  TBaseTemporaria Base;
  TBandejaObservada Bandeja;
  SubstituirConcern<IBandeja> FBandeja{Bandeja};
};

TEST_F(AgenteWin32, RetangulosDosControlesA96Dpi) {
  auto f = std::make_unique<TFrmAgentePrincipal>();
  f->Centralizar();
  f->Mostrar();
  Bombear();
  HWND h = static_cast<HWND>(f->HandleNativo());
  ASSERT_NE(h, nullptr);
  RECT c{};
  GetClientRect(h, &c);
  EXPECT_EQ(c.right, 760);
  EXPECT_EQ(c.bottom, 520);
  wchar_t titulo[64] = {};
  GetWindowTextW(h, titulo, 64);
  EXPECT_EQ(DeWide(titulo), "Zelvan");

  struct Caso {
    ui::TControle* Controle;
    RECT Esperado;  // left, top, right, bottom in the parent's client area
  };
  const Caso casos[] = {
      {f->pnlTopo, {0, 0, 760, 82}},
      {f->imgLogoAgente, {18, 11, 78, 71}},
      {f->pgcPrincipal, {16, 98, 744, 504}},
      {f->memLog, {24, 116, 689, 306}},
      {f->btnExecutarAgora, {24, 326, 169, 360}},
      {f->btnLimparLog, {184, 326, 329, 360}},
  };
  for (const Caso& k : casos) {
    const RECT r = NoPai(k.Controle);
    EXPECT_EQ(r.left, k.Esperado.left) << k.Controle->Nome;
    EXPECT_EQ(r.top, k.Esperado.top) << k.Controle->Nome;
    EXPECT_EQ(r.right, k.Esperado.right) << k.Controle->Nome;
    EXPECT_EQ(r.bottom, k.Esperado.bottom) << k.Controle->Nome;
  }
  // The title is centred and shown whole in whatever font stands in.
  const RECT rt = NoPai(f->lblTitulo);
  EXPECT_EQ(rt.top, 14);
  EXPECT_EQ(rt.left, (760 - (rt.right - rt.left)) / 2);
  EXPECT_GE(rt.right - rt.left,
            ui::app::MedirTexto(f->lblTitulo->Fonte(), f->lblTitulo->Texto()).Largura);
  // Settings tab controls, once it is shown.
  f->pgcPrincipal->AtivarPagina(1);
  Bombear();
  const Caso config[] = {
      {f->edtURL, {24, 46, 689, 71}},         {f->edtApiToken, {24, 108, 689, 133}},
      {f->edtIntervalo, {24, 170, 154, 195}}, {f->chkUsarSSL, {184, 170, 314, 195}},
      {f->btnSalvar, {24, 230, 169, 264}},    {f->btnTestar, {184, 230, 329, 264}},
  };
  for (const Caso& k : config) {
    const RECT r = NoPai(k.Controle);
    EXPECT_EQ(r.left, k.Esperado.left) << k.Controle->Nome;
    EXPECT_EQ(r.top, k.Esperado.top) << k.Controle->Nome;
    EXPECT_EQ(r.right, k.Esperado.right) << k.Controle->Nome;
    EXPECT_EQ(r.bottom, k.Esperado.bottom) << k.Controle->Nome;
  }
  // The token is masked on screen, the interval takes digits only.
  HWND token = static_cast<HWND>(f->edtApiToken->HandleNativo());
  EXPECT_EQ(SendMessageW(token, EM_GETPASSWORDCHAR, 0, 0), '*');
  HWND intervalo = static_cast<HWND>(f->edtIntervalo->HandleNativo());
  EXPECT_TRUE(GetWindowLongW(intervalo, GWL_STYLE) & ES_NUMBER);
}

TEST_F(AgenteWin32, RunGuardaOCaminhoEntreAspasNoRegistroReal) {
  TStartupWindows::AtivarZelvan();
  wchar_t buf[1024] = {};
  DWORD bytes = sizeof(buf);
  ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                         L"Vesk_Zelvan", RRF_RT_REG_SZ, nullptr, buf, &bytes),
            ERROR_SUCCESS);
  EXPECT_EQ(DeWide(buf), "\"" + Arquivos().CaminhoExecutavel() + "\"");
}

TEST_F(AgenteWin32, IconeAdicionadoERemovidoNoFim) {
  EXPECT_GT(Bandeja.TamanhoEstrutura(), 956u);  // x86_64 build: the full, larger structure
  EXPECT_NE(Bandeja.IconeAplicacao(), nullptr);
  {
    TFrmAgentePrincipal f;
    ASSERT_FALSE(Bandeja.Chamadas.empty());
    EXPECT_EQ(Bandeja.Chamadas[0].first, TAcaoIcone::Adicionar);
    EXPECT_TRUE(Bandeja.Chamadas[0].second) << "the shell refused the icon";
    // A shell restart: the icon is added anew.
    Bandeja.Chamadas.clear();
    SendMessageW(static_cast<HWND>(f.HandleNativo()), TTrayAgent::MensagemTaskbarCreated(), 0, 0);
    ASSERT_EQ(Bandeja.Chamadas.size(), 1u);
    EXPECT_EQ(Bandeja.Chamadas[0].first, TAcaoIcone::Adicionar);
    Bandeja.Chamadas.clear();
  }
  ASSERT_EQ(Bandeja.Chamadas.size(), 1u);
  EXPECT_EQ(Bandeja.Chamadas[0].first, TAcaoIcone::Remover);
  EXPECT_TRUE(Bandeja.Chamadas[0].second) << "the icon was not there to remove";
}

}  // namespace
