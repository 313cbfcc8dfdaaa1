// The window driver against the sample program, a separate process, under Wine.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/uWin32Texto.h"
#include "tests/driver/uAmostraDriver.h"
#include "tools/wine/uDriver.h"

namespace {

constexpr uint32_t kEspera = 10000;

std::string ProprioExe() {
  wchar_t buf[MAX_PATH * 2] = {};
  const DWORD n = GetModuleFileNameW(nullptr, buf, MAX_PATH * 2);
  return DeWide(std::wstring(buf, n));
}

class DriverTeste : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(EhProcessoAmostra());
    FPrograma = TDriver::Iniciar(ProprioExe(),
                                 {"um", "dois com espaco", "aspas\"dentro", "barra final\\", ""},
                                 {{"VESK_DRIVER_AMOSTRA", "1"}, {"VESK_DRIVER_ECO", "olá €"}});
    ASSERT_TRUE(FPrograma.Valido());
    FJanela = TDriver::AguardarJanela(FPrograma.Id(), DeWide(kClasseAmostra), "", kEspera, true);
    ASSERT_NE(FJanela, nullptr);
    FEventos = TDriver::ControlePorId(FJanela, kIdEventos);
    ASSERT_NE(FEventos, nullptr);
  }
  void TearDown() override { FPrograma.Encerrar(99); }

  // Waits until the events label holds AEvento + ";" somewhere.
  bool Recebeu(const std::string& AEvento) {
    return TDriver::AguardarAte(
        [&] { return TDriver::Texto(FEventos).find(AEvento + ";") != std::string::npos; }, kEspera);
  }
  int Vezes(const std::string& AEvento) {
    const std::string t = TDriver::Texto(FEventos);
    int n = 0;
    for (size_t p = t.find(AEvento + ";"); p != std::string::npos; p = t.find(AEvento + ";", p + 1))
      ++n;
    return n;
  }

  TProgramaDriver FPrograma;
  TJanela FJanela = nullptr;
  TJanela FEventos = nullptr;
};

TEST_F(DriverTeste, StartsWithArgumentsAndEnvironmentAndFindsControls) {
  EXPECT_EQ(TDriver::Texto(TDriver::ControlePorId(FJanela, kIdArgumentos)),
            "um|dois com espaco|aspas\"dentro|barra final\\|#olá €");
  EXPECT_EQ(TDriver::Texto(FJanela), "Amostra do driver");
  EXPECT_EQ(TDriver::ProcurarJanela(FPrograma.Id(), "", "Amostra do driver"), FJanela);
  EXPECT_EQ(TDriver::ProcurarJanela(FPrograma.Id(), "vESKaMOSTRAdRIVER"), FJanela);
  EXPECT_EQ(TDriver::ProcurarJanela(FPrograma.Id(), "", "Amostra"), nullptr);

  // By class and caption: the "&" mnemonic may be left out, the class's case too.
  TJanela salvar = TDriver::ProcurarControle(FJanela, "button", "Salvar");
  ASSERT_NE(salvar, nullptr);
  EXPECT_EQ(TDriver::ProcurarControle(FJanela, "Button", "&Salvar"), salvar);
  EXPECT_EQ(TDriver::IdControle(salvar), kIdSalvar);
  EXPECT_EQ(TDriver::Classe(TDriver::ControlePorId(FJanela, kIdAbas)), "SysTabControl32");
  EXPECT_EQ(TDriver::ProcurarControle(FJanela, DeWide(kClassePainel)),
            TDriver::ControlePorId(FJanela, kIdPainel));
  EXPECT_EQ(TDriver::ProcurarControle(FJanela, "Button", "Cancelar"), nullptr);
  EXPECT_EQ(TDriver::ControlePorId(FJanela, 12345), nullptr);
  EXPECT_EQ(TDriver::Pai(salvar), FJanela);

  const TRetanguloDriver r = TDriver::Retangulo96(TDriver::ControlePorId(FJanela, kIdPainel));
  EXPECT_EQ(r.Esquerda, kPainelX);
  EXPECT_EQ(r.Topo, kPainelY);
  EXPECT_EQ(r.Largura, kPainelL);
  EXPECT_EQ(r.Altura, kPainelA);
  EXPECT_EQ(TDriver::Dpi(FJanela), 96u);

  EXPECT_TRUE(TDriver::Visivel(FJanela));
  EXPECT_TRUE(TDriver::Visivel(salvar));
  EXPECT_FALSE(TDriver::Visivel(TDriver::ControlePorId(FJanela, kIdOculto)));
  EXPECT_TRUE(TDriver::Habilitado(salvar));
}

TEST_F(DriverTeste, WaitsGiveUpWithinTheirTime) {
  const DWORD inicio = GetTickCount();
  EXPECT_EQ(TDriver::AguardarJanela(FPrograma.Id(), "ClasseQueNaoExiste", "", 300), nullptr);
  EXPECT_EQ(TDriver::AguardarControle(FJanela, "Button", "Nenhum", 300), nullptr);
  EXPECT_FALSE(TDriver::AguardarTexto(FEventos, "nunca", 300));
  const DWORD passado = GetTickCount() - inicio;
  EXPECT_GE(passado, 850u);
  EXPECT_LT(passado, 5000u);
}

TEST_F(DriverTeste, ClicksTicksTypesAndSelectsTabs) {
  TDriver::Clicar(TDriver::ProcurarControle(FJanela, "Button", "Salvar"));
  EXPECT_TRUE(Recebeu("salvar"));

  TJanela caixa = TDriver::ControlePorId(FJanela, kIdConcordo);
  EXPECT_TRUE(TDriver::Marcar(caixa, true));
  EXPECT_TRUE(Recebeu("check=1"));
  EXPECT_TRUE(TDriver::Marcado(caixa));
  EXPECT_TRUE(TDriver::Marcar(caixa, true));  // already ticked: no click
  EXPECT_TRUE(TDriver::Marcar(caixa, false));
  EXPECT_TRUE(Recebeu("check=0"));
  EXPECT_EQ(Vezes("check=1"), 1);

  TJanela edit = TDriver::ControlePorId(FJanela, kIdEdit);
  ASSERT_TRUE(TDriver::Digitar(edit, "Olá, João"));
  EXPECT_EQ(TDriver::Texto(edit), "Olá, João");
  EXPECT_TRUE(Recebeu("edit=Olá, João"));

  TJanela abas = TDriver::ControlePorId(FJanela, kIdAbas);
  EXPECT_EQ(TDriver::QuantidadeAbas(abas), 3);
  EXPECT_EQ(TDriver::AbaSelecionada(abas), 0);
  EXPECT_TRUE(TDriver::SelecionarAba(abas, 2));
  EXPECT_TRUE(Recebeu("aba=2"));
  EXPECT_EQ(TDriver::AbaSelecionada(abas), 2);
  EXPECT_FALSE(TDriver::SelecionarAba(abas, 3));

  // The parent vetoes the change: the tab stays and no change is announced.
  ASSERT_TRUE(TDriver::Digitar(edit, "travar"));
  EXPECT_TRUE(Recebeu("edit=travar"));
  EXPECT_FALSE(TDriver::SelecionarAba(abas, 1));
  EXPECT_EQ(TDriver::AbaSelecionada(abas), 2);
  EXPECT_EQ(Vezes("aba=1"), 0);

  TDriver::ClicarNoCentro(TDriver::ControlePorId(FJanela, kIdPainel));
  EXPECT_TRUE(
      Recebeu("painel=" + std::to_string(kPainelL / 2) + "," + std::to_string(kPainelA / 2)));
}

TEST_F(DriverTeste, AnswersAMessageBoxAndClosesTheWindow) {
  TJanela perguntar = TDriver::ProcurarControle(FJanela, "Button", "Perguntar");
  // The click opens a modal box; the driver must not wait for it to close.
  TDriver::Clicar(perguntar);
  TJanela caixa = TDriver::AguardarCaixaMensagem(FPrograma.Id(), "Pergunta", kEspera);
  ASSERT_NE(caixa, nullptr);
  EXPECT_EQ(TDriver::TextoCaixaMensagem(caixa), "Deseja continuar?");
  EXPECT_TRUE(TDriver::PressionarBotaoId(caixa, IDNO));
  EXPECT_TRUE(Recebeu("resposta=7"));
  EXPECT_TRUE(TDriver::AguardarDestruicao(caixa, kEspera));

  TDriver::Clicar(perguntar);
  caixa = TDriver::AguardarCaixaMensagem(FPrograma.Id(), "", kEspera);
  ASSERT_NE(caixa, nullptr);
  // By caption, whatever the language of the system's buttons.
  const std::string sim = TDriver::Texto(TDriver::ControlePorId(caixa, IDYES));
  ASSERT_FALSE(sim.empty());
  EXPECT_FALSE(TDriver::PressionarBotao(caixa, "Talvez"));
  EXPECT_TRUE(TDriver::PressionarBotao(caixa, sim));
  EXPECT_TRUE(Recebeu("resposta=6"));

  TDriver::Fechar(FJanela);
  EXPECT_TRUE(TDriver::AguardarDestruicao(FJanela, kEspera));
  ASSERT_TRUE(FPrograma.AguardarFim(kEspera));
  uint32_t codigo = 0;
  EXPECT_TRUE(FPrograma.CodigoSaida(codigo));
  EXPECT_EQ(codigo, static_cast<uint32_t>(kSaidaAmostra));
}

}  // namespace
