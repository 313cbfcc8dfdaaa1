// Zelvan.exe end to end under Wine: the window as the employee sees it, each tab
// on a screenshot, the Run key of the real program, and a close that asks for
// the password.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "config/uConfigINI.h"
#include "platform/uArquivos.h"
#include "platform/uDigest.h"
#include "platform/uWin32Texto.h"
#include "tools/wine/uCaptura.h"
#include "tools/wine/uDriver.h"

namespace {

constexpr uint32_t kEspera = 15000;

std::string Zelvan() {
  return PastaDoExecutavel() + "Zelvan.exe";
}

std::string ValorRun() {
  wchar_t buf[2048] = {};
  DWORD bytes = sizeof(buf);
  if (RegGetValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                   L"Vesk_Zelvan", RRF_RT_REG_SZ, nullptr, buf, &bytes) != ERROR_SUCCESS)
    return {};
  return DeWide(buf);
}

class AgenteE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!Arquivos().ArquivoExiste(Zelvan()))
      GTEST_SKIP() << "Zelvan.exe is not built beside the tests";
    // A server on loopback (when the test environment runs one) and a close
    // password, so that nothing reaches out and closing asks.
    if (const char* srv = std::getenv("VESK_DEVSERVER"))
      TConfigINI::EscreverTexto("SERVIDOR", "URL", srv);
    TConfigINI::EscreverTexto("SEGURANCA", "SENHA_AGENTE_HASH", Sha256Hex("segredo"));
    FPrograma = TDriver::Iniciar(Zelvan());
    ASSERT_TRUE(FPrograma.Valido());
    FJanela = TDriver::AguardarJanela(FPrograma.Id(), "VeskJanela", "Zelvan", kEspera, true);
    ASSERT_NE(FJanela, nullptr);
  }
  void TearDown() override {
    if (FPrograma.Valido()) FPrograma.Encerrar(99);
  }

  // Types the password into the box and presses OK.
  void Responder(const std::string& ASenha) {
    TJanela caixa =
        TDriver::AguardarJanela(FPrograma.Id(), "VeskJanela", "Senha do Agente", kEspera, true);
    ASSERT_NE(caixa, nullptr) << "no password box";
    TJanela edit = TDriver::ProcurarControle(caixa, "Edit");
    ASSERT_NE(edit, nullptr);
    ASSERT_TRUE(TDriver::Digitar(edit, ASenha));
    if (ASenha == "errada") CapturarJanela(caixa, "agente_senha");
    TJanela ok = TDriver::ProcurarControle(caixa, "Button", "OK");
    ASSERT_NE(ok, nullptr);
    TDriver::Clicar(ok);
  }

  TProgramaDriver FPrograma;
  TJanela FJanela = nullptr;
};

TEST_F(AgenteE2E, JanelaAbasEFechamentoComSenha) {
  // The window as shown: client 760 x 520 at 96 DPI, the header and the tabs.
  const TRetanguloDriver cliente = TDriver::AreaCliente(FJanela);
  EXPECT_EQ(cliente.Largura, 760);
  EXPECT_EQ(cliente.Altura, 520);
  TJanela abas = TDriver::ProcurarControle(FJanela, "SysTabControl32");
  ASSERT_NE(abas, nullptr);
  EXPECT_EQ(TDriver::QuantidadeAbas(abas), 3);
  const TRetanguloDriver ra = TDriver::Retangulo96(abas);
  EXPECT_EQ(ra.Esquerda, 16);
  EXPECT_EQ(ra.Topo, 98);
  EXPECT_EQ(ra.Largura, 728);
  EXPECT_EQ(ra.Altura, 406);
  TJanela executar = TDriver::ProcurarControle(FJanela, "Button", "Executar agora");
  ASSERT_NE(executar, nullptr);
  const TRetanguloDriver rb = TDriver::Retangulo96(executar);
  EXPECT_EQ(rb.Esquerda, 24);
  EXPECT_EQ(rb.Topo, 326);
  EXPECT_EQ(rb.Largura, 145);
  EXPECT_EQ(rb.Altura, 34);

  // The first pass has run: the status says so.
  EXPECT_TRUE(TDriver::AguardarAte(
      [&] { return TDriver::ProcurarControle(FJanela, "", "Online") != nullptr; }, kEspera));
  EXPECT_EQ(ValorRun(), "\"" + Zelvan() + "\"");

  TDriver::Processar(300);
  EXPECT_TRUE(CapturarJanela(FJanela, "agente_status"));
  ASSERT_TRUE(TDriver::SelecionarAba(abas, 1));
  TDriver::Processar(300);
  EXPECT_TRUE(CapturarJanela(FJanela, "agente_configuracoes"));
  ASSERT_TRUE(TDriver::SelecionarAba(abas, 2));
  TDriver::Processar(300);
  EXPECT_TRUE(CapturarJanela(FJanela, "agente_tarefas"));

  // The close box asks; a wrong password keeps the agent running.
  TDriver::Fechar(FJanela);
  Responder("errada");
  TJanela aviso = TDriver::AguardarCaixaMensagem(FPrograma.Id(), "Zelvan", kEspera);
  ASSERT_NE(aviso, nullptr);
  EXPECT_EQ(TDriver::TextoCaixaMensagem(aviso),
            "Senha incorreta. O agente continuara em execucao.");
  TDriver::PressionarBotaoId(aviso, IDOK);
  EXPECT_FALSE(FPrograma.AguardarFim(1000));
  EXPECT_TRUE(TDriver::Existe(FJanela));

  // The right one ends the program.
  TDriver::Fechar(FJanela);
  Responder("segredo");
  ASSERT_TRUE(FPrograma.AguardarFim(kEspera));
  uint32_t codigo = 99;
  EXPECT_TRUE(FPrograma.CodigoSaida(codigo));
  EXPECT_EQ(codigo, 0u);
}

}  // namespace
