// Zelvan.exe end to end under Wine: the window as the employee sees it, each tab
// on a screenshot, the Run key of the real program, a close that asks for the
// password, and the first steps of the pass against the development server.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/uTrayAgent.h"
#include "config/uConfigINI.h"
#include "config/uVersao.h"
#include "log/uLogger.h"
#include "net/uConvencoes.h"
#include "net/uHttpNet.h"
#include "net/uJsonHelper.h"
#include "platform/uArquivos.h"
#include "platform/uDigest.h"
#include "platform/uWin32Texto.h"
#include "tools/wine/uCaptura.h"
#include "tests/e2e/uAgentesE2E.h"
#include "tools/wine/uDriver.h"

namespace {

constexpr uint32_t kEspera = 15000;

std::string ValorRun() {
  wchar_t buf[2048] = {};
  DWORD bytes = sizeof(buf);
  if (RegGetValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                   L"Vesk_Zelvan", RRF_RT_REG_SZ, nullptr, buf, &bytes) != ERROR_SUCCESS)
    return {};
  return DeWide(buf);
}

class AgenteE2E : public AgenteEmTeste {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Arquivos().ArquivoExiste(Zelvan())) << "Zelvan.exe is not built beside the tests";
    // Every test writes the configuration it needs; the prefix is shared.
    Arquivos().Apagar(TConfigINI::ArquivoConfig());
  }

  void Iniciar() {
    FPrograma = TDriver::Iniciar(Zelvan());
    ASSERT_TRUE(FPrograma.Valido());
    FJanela = AguardarJanelaPrincipal(FPrograma.Id(), kEspera);
    ASSERT_NE(FJanela, nullptr);
  }

  // Closes the window as the employee would and checks that the program ends
  // with code 0, so that the watchdog lets it go.
  void FecharComSenha(const std::string& ASenha) {
    TDriver::Fechar(FJanela);
    if (!ASenha.empty()) Responder(ASenha);
    ASSERT_TRUE(FPrograma.AguardarFim(kEspera));
    uint32_t codigo = 99;
    EXPECT_TRUE(FPrograma.CodigoSaida(codigo));
    EXPECT_EQ(codigo, 0u);
  }

  // Types the password into the box and presses OK.
  void Responder(const std::string& ASenha) {
    ResponderSenha(FPrograma.Id(), ASenha, kEspera, ASenha == "errada" ? "agente_senha" : "");
  }

  TJanela FJanela = nullptr;
};

TEST_F(AgenteE2E, JanelaAbasEFechamentoComSenha) {
  // A server on loopback (when the test environment runs one) and a close
  // password, so that nothing reaches out and closing asks.
  if (const char* srv = std::getenv("VESK_DEVSERVER"))
    TConfigINI::EscreverTexto("SERVIDOR", "URL", srv);
  TConfigINI::EscreverTexto("SEGURANCA", "SENHA_AGENTE_HASH", Sha256Hex("segredo"));
  Iniciar();
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
  FecharComSenha("segredo");
}

constexpr const char* kToken = "tok-teste-1234567890";
// SHA-256 of "zelvan123", which the test scenario publishes.
constexpr const char* kHashCenario =
    "20b69d0e7a3a83c0fe2ea343c0bd5e5eba1db34a8b22330a23a3bae3af2f13fb";

// Seconds of the day in the server's "yyyy-mm-dd hh:nn:ss.zzz".
double SegundosDoDia(const std::string& AHora) {
  if (AHora.size() < 23) return 0;
  return std::stoi(AHora.substr(11, 2)) * 3600 + std::stoi(AHora.substr(14, 2)) * 60 +
         std::stod(AHora.substr(17));
}

TEST_F(AgenteE2E, PrimeiroCicloGuardaASenhaEEnviaOHeartbeat) {
  ASSERT_TRUE(ProgramaEServidor());
  ConfigurarServidor(kToken);
  Iniciar();

  EXPECT_TRUE(TDriver::AguardarAte(
      [&] { return TDriver::ProcurarControle(FJanela, "", "Online") != nullptr; }, kEspera));
  bool comHora = false;
  for (TJanela c : TDriver::Controles(FJanela)) {
    const std::string t = TDriver::Texto(c);
    // "Ultima comunicacao: dd/mm/yyyy hh:nn:ss"
    if (t.rfind("Ultima comunicacao: ", 0) == 0 && t.size() == 20 + 19 && t[22] == '/' &&
        t[25] == '/' && t[30] == ' ' && t[33] == ':' && t[36] == ':')
      comHora = true;
  }
  EXPECT_TRUE(comHora) << "no time of the last communication";
  EXPECT_EQ(TConfigINI::LerTexto("SEGURANCA", "SENHA_AGENTE_HASH", ""), kHashCenario);

  // The start-up's update check, then the pass: the configuration first, then
  // the heartbeat with the computer, the user and the version in their order.
  std::vector<TPedido> pedidos = Pedidos();
  ASSERT_FALSE(pedidos.empty());
  EXPECT_EQ(pedidos[0].Caminho, "/demo/intranet/api/update.json");
  pedidos.erase(pedidos.begin());
  ASSERT_GE(pedidos.size(), 2u);
  EXPECT_EQ(pedidos[0].Caminho, "/demo/intranet/api/agent_config.php");
  EXPECT_EQ(pedidos[0].Consulta, std::string("api_token=") + kToken);
  EXPECT_EQ(pedidos[1].Caminho, "/demo/intranet/api/agent_heartbeat.php");
  EXPECT_EQ(pedidos[1].Consulta, std::string("api_token=") + kToken +
                                     "&computador=" + CodificarURL(ObterNomeComputador()) +
                                     "&usuario=" + CodificarURL(ObterNomeUsuario()) +
                                     "&versao=" + CodificarURL(VersaoAgente()));
  std::printf("one pass against the local server: %zu requests, %.3f s from first to last\n",
              pedidos.size(),
              SegundosDoDia(pedidos.back().Hora) - SegundosDoDia(pedidos.front().Hora));

  // The stored hash now guards the close.
  FecharComSenha("zelvan123");
}

TEST_F(AgenteE2E, ServidorForaDoArMostraErroESemHeartbeat) {
  // A loopback port where nothing listens.
  TConfigINI::EscreverTexto("SERVIDOR", "URL", "http://127.0.0.1:1/demo/intranet/");
  TConfigINI::EscreverTexto("SERVIDOR", "API_TOKEN", kToken);
  std::string antes;
  Arquivos().LerTudo(TLogger::ArquivoLogDoDia(), antes);
  Iniciar();

  EXPECT_TRUE(TDriver::AguardarAte(
      [&] { return TDriver::ProcurarControle(FJanela, "", "Erro") != nullptr; }, kEspera));
  EXPECT_NE(TDriver::ProcurarControle(FJanela, "", "Ultima comunicacao: --"), nullptr);
  TDriver::Processar(300);
  CapturarJanela(FJanela, "agente_status_erro");

  // The label changes just before the line is written.
  std::string log;
  TDriver::AguardarAte(
      [&] {
        Arquivos().LerTudo(TLogger::ArquivoLogDoDia(), log);
        log = log.substr(std::min(antes.size(), log.size()));
        return log.find("Erro no ciclo: ") != std::string::npos;
      },
      kEspera);
  size_t tentativas = 0;
  for (size_t p = log.find("GET erro tentativa "); p != std::string::npos;
       p = log.find("GET erro tentativa ", p + 1))
    ++tentativas;
  // Three for the start-up's update check, three for the pass's first request.
  EXPECT_EQ(tentativas, 6u) << log;
  EXPECT_NE(log.find("Erro no auto update: ENetHTTPClientException - "), std::string::npos) << log;
  EXPECT_NE(log.find("Erro no ciclo: "), std::string::npos) << log;
  EXPECT_EQ(log.find("Heartbeat"), std::string::npos) << log;
  // Nothing of the token reaches the log in clear.
  EXPECT_EQ(log.find(kToken), std::string::npos) << log;

  // No hash was stored: the close passes without a prompt.
  FecharComSenha("");
}

// A shortcut set to run minimised: the agent starts in the tray, its window
// never shown normal, and opens normal from the icon.
TEST_F(AgenteE2E, IniciadoMinimizadoFicaNaBandeja) {
  // Nowhere to reach but loopback: the test server, or a port where nothing listens.
  const std::string srv = Servidor().empty() ? "http://127.0.0.1:1/" : Servidor();
  TConfigINI::EscreverTexto("SERVIDOR", "URL", srv + "demo/intranet/");
  FPrograma = TDriver::Iniciar(Zelvan(), {}, {}, "", SW_SHOWMINNOACTIVE);
  ASSERT_TRUE(FPrograma.Valido());
  FJanela = AguardarJanelaPrincipal(FPrograma.Id(), kEspera, false);
  ASSERT_NE(FJanela, nullptr);
  auto naTela = [&] {
    HWND h = static_cast<HWND>(FJanela);
    return IsWindowVisible(h) && !IsIconic(h);
  };
  bool mostrada = false;
  // The first pass ends the start-up; the first show comes right after it.
  EXPECT_TRUE(TDriver::AguardarAte(
      [&] {
        mostrada = mostrada || naTela();
        return TDriver::ProcurarControle(FJanela, "", "Online") != nullptr ||
               TDriver::ProcurarControle(FJanela, "", "Erro") != nullptr;
      },
      kEspera, 10));
  TDriver::AguardarAte(
      [&] {
        mostrada = mostrada || naTela();
        return mostrada;
      },
      3000, 10);
  EXPECT_FALSE(mostrada) << "the window was shown although the program was started minimised";

  // A double click on the tray icon opens it, normal.
  PostMessageW(static_cast<HWND>(FJanela), TTrayAgent::kMensagemBandeja, TTrayAgent::kIdIcone,
               WM_LBUTTONDBLCLK);
  EXPECT_TRUE(TDriver::AguardarAte(naTela, kEspera));
  TDriver::Processar(300);
  EXPECT_TRUE(CapturarJanela(FJanela, "agente_iniciado_minimizado_aberto"));
  FecharComSenha("");
}

// The IT department's policy gives the server address: the settings tab shows
// it, disabled, with the note saying who manages it.
TEST_F(AgenteE2E, ConfiguracoesDaPoliticaSomenteLeitura) {
  const std::string srv = Servidor().empty() ? "http://127.0.0.1:1/" : Servidor();
  const std::wstring url = ParaWide(srv + "demo/intranet/");
  HKEY chave = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Policies\\Vesk\\Agent", 0, nullptr, 0,
                            KEY_SET_VALUE, nullptr, &chave, nullptr),
            ERROR_SUCCESS);
  RegSetValueExW(chave, L"ServidorURL", 0, REG_SZ, reinterpret_cast<const BYTE*>(url.c_str()),
                 static_cast<DWORD>((url.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(chave);
  // Withdrawn however the test ends: the other tests share the prefix.
  struct TRetirar {
    ~TRetirar() { RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Policies\\Vesk"); }
  } retirar;
  Iniciar();
  TJanela abas = TDriver::ProcurarControle(FJanela, "SysTabControl32");
  ASSERT_NE(abas, nullptr);
  ASSERT_TRUE(TDriver::SelecionarAba(abas, 1));
  TDriver::Processar(300);
  TJanela campo = TDriver::ProcurarControle(FJanela, "Edit", srv + "demo/intranet/");
  ASSERT_NE(campo, nullptr);
  EXPECT_FALSE(IsWindowEnabled(static_cast<HWND>(campo)));
  TJanela nota = TDriver::ProcurarControle(
      FJanela, "",
      "Campos desativados sao definidos pelo departamento de TI e nao podem ser alterados aqui.");
  ASSERT_NE(nota, nullptr);
  EXPECT_TRUE(IsWindowVisible(static_cast<HWND>(nota)));
  EXPECT_TRUE(CapturarJanela(FJanela, "agente_configuracoes_politica"));
  FecharComSenha("");
}

}  // namespace
