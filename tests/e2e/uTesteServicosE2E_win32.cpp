// Device services end to end: the real Zelvan.exe against the development
// server. The first pass uploads the inventory (WMI answering under Wine);
// "limpar_cache" empties the cache and reports; "reiniciar" hands over to one
// new agent, which does not restart again for the same command; a second
// start steps aside; a log-off ends the agent without the password.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "config/uConfigINI.h"
#include "log/uLogger.h"
#include "net/uHttpClientVesk.h"
#include "net/uJsonHelper.h"
#include "platform/uArquivos.h"
#include "platform/uTexto.h"
#include "tests/e2e/uAgentesE2E.h"
#include "tools/wine/uDriver.h"

namespace {

constexpr uint32_t kEspera = 30000;
constexpr const char* kToken = "tok-teste-1234567890";

std::string Valor(const TPares& AForm, const std::string& ANome) {
  return Campo(AForm, ANome, "<ausente>");
}

class ServicosE2E : public AgenteEmTeste {
 protected:
  void SetUp() override {
    ASSERT_TRUE(ProgramaEServidor());
    EncerrarAgentesEWatchdogs();
    ConfigurarServidor(kToken);
    TConfigINI::EscreverTexto("SERVIDOR", "INTERVALO_SEGUNDOS", "5");
    FInicioLog = LerArquivo(TLogger::ArquivoLogDoDia()).size();
  }

  // Log messages written since the test began.
  std::vector<std::string> Linhas() const { return MensagensDoLogDesde(FInicioLog); }
  bool Registrou(const std::string& ALinha) const {
    for (const auto& l : Linhas())
      if (l == ALinha) return true;
    return false;
  }
  // Reports the server received, as "id:retorno".
  std::vector<std::string> Retornos() const {
    rapidjson::Document d;
    const std::string t = Admin("admin/scenario");
    d.Parse(t.c_str());
    std::vector<std::string> r;
    if (d.IsObject() && d.HasMember("comandos_retornos"))
      for (const auto& x : d["comandos_retornos"].GetArray())
        r.push_back(LerTextoJson(&x, "id", "") + ":" + LerTextoJson(&x, "retorno", ""));
    return r;
  }

  void Iniciar() {
    FPrograma = TDriver::Iniciar(Zelvan());
    ASSERT_TRUE(FPrograma.Valido());
  }

  size_t FInicioLog = 0;
};

}  // namespace

TEST_F(ServicosE2E, InventarioDoPrimeiroPassoComoOServidorRegistra) {
  Iniciar();
  std::vector<TPares> forms;
  ASSERT_TRUE(TDriver::AguardarAte(
      [&] {
        forms = Formularios("api/agent_hardware.php");
        return !forms.empty();
      },
      kEspera, 200))
      << "no inventory reached the server";
  const TPares& f = forms[0];
  // The form as the server recorded it, for the record of this run.
  std::printf("inventory form recorded by the server:\n");
  for (const auto& [k, v] : f) std::printf("  %s=%s\n", k.c_str(), v.c_str());

  const std::vector<std::string> nomes = {"api_token",
                                          "computador",
                                          "usuario",
                                          "processador",
                                          "processador_nucleos",
                                          "memoria_ram_gb",
                                          "disco_total_gb",
                                          "disco_livre_gb",
                                          "disco_sistema",
                                          "windows_versao",
                                          "arquitetura",
                                          "marca_equipamento",
                                          "modelo_equipamento",
                                          "fabricante",
                                          "marca_notebook",
                                          "modelo_notebook",
                                          "modelo",
                                          "versao_agente"};
  ASSERT_EQ(f.size(), nomes.size());
  for (size_t i = 0; i < nomes.size(); ++i) EXPECT_EQ(f[i].first, nomes[i]);

  wchar_t nome[17] = {};
  DWORD n = 17;
  ASSERT_TRUE(GetComputerNameW(nome, &n));
  std::string pc;
  for (DWORD i = 0; i < n; ++i) pc += static_cast<char>(nome[i]);
  EXPECT_EQ(Valor(f, "api_token"), kToken);
  EXPECT_EQ(Valor(f, "computador"), MaiusculasAscii(Aparar(pc)));
  EXPECT_EQ(Valor(f, "versao_agente"), "1.0.115");
  EXPECT_EQ(Valor(f, "disco_sistema"), "C:");
  EXPECT_EQ(Valor(f, "arquitetura"), "AMD64");
  EXPECT_GT(std::stoi(Valor(f, "processador_nucleos")), 0);
  for (const char* d : {"memoria_ram_gb", "disco_total_gb", "disco_livre_gb"}) {
    const std::string v = Valor(f, d);
    const size_t p = v.find('.');
    EXPECT_TRUE(p != std::string::npos && p > 0 && v.size() == p + 3) << d << "=" << v;
  }
  EXPECT_GT(std::stod(Valor(f, "memoria_ram_gb")), 0.0);
  // The manifest declares Windows 10 and 11, so no compatibility numbers.
  EXPECT_EQ(Valor(f, "windows_versao").rfind("Windows 10.0 build ", 0), 0u)
      << Valor(f, "windows_versao");
  // WMI answers under Wine: manufacturer and model are filled.
  EXPECT_FALSE(Valor(f, "marca_equipamento").empty());
  EXPECT_FALSE(Valor(f, "modelo_equipamento").empty());
  EXPECT_EQ(Valor(f, "fabricante"), Valor(f, "marca_equipamento"));
  EXPECT_EQ(Valor(f, "marca_notebook"), Valor(f, "marca_equipamento"));
  EXPECT_EQ(Valor(f, "modelo_notebook"), Valor(f, "modelo_equipamento"));
  EXPECT_EQ(Valor(f, "modelo"), Valor(f, "modelo_equipamento"));

  // [HARDWARE] holds the upload once the answer came, read back in the
  // regional format it was written in.
  ASSERT_TRUE(TDriver::AguardarAte(
      [] { return !TConfigINI::LerTexto("HARDWARE", "VERSAO_ULTIMO_ENVIO", "").empty(); }, kEspera,
      200));
  EXPECT_EQ(TConfigINI::LerTexto("HARDWARE", "ULTIMA_MARCA", ""), Valor(f, "marca_equipamento"));
  std::printf("[HARDWARE] ULTIMO_ENVIO=%s\n",
              TConfigINI::LerTexto("HARDWARE", "ULTIMO_ENVIO", "").c_str());
  // The next passes (every 5 s) do not upload again within six hours.
  TDriver::Processar(12000);
  EXPECT_EQ(Formularios("api/agent_hardware.php").size(), 1u);
}

TEST_F(ServicosE2E, LimparCacheEsvaziaACacheEReporta) {
  const std::string cache = TConfigINI::PastaBase() + "cache\\";
  for (const char* n : {"logo_1.png", "imagem_1.jpg", "audio_1.mp3"})
    ASSERT_TRUE(Arquivos().Gravar(cache + n, "dados"));
  ASSERT_EQ(Admin("admin/commands", R"({"kind":"limpar_cache"})"), "{\"ok\":true}");
  Iniciar();
  ASSERT_TRUE(TDriver::AguardarAte([&] { return !Retornos().empty(); }, kEspera, 200));
  EXPECT_EQ(Retornos(), std::vector<std::string>{"111:Cache limpo"});
  EXPECT_TRUE(Arquivos().Listar(cache, "*").empty());
  EXPECT_TRUE(TDriver::AguardarAte([&] { return Registrou("Comando executado: limpar_cache"); },
                                   5000, 100));
}

TEST_F(ServicosE2E, ReiniciarDeixaUmAgenteEmExecucao) {
  // The server keeps listing the command, as when the report is lost on the
  // way: the new copy must not restart again.
  Admin("admin/scenario", std::string("{\"api_token\":\"") + kToken +
                              "\",\"respostas\":{\"api/agent_commands.php\":"
                              "\"{\\\"ok\\\":true,\\\"comandos\\\":[{\\\"id\\\":77,\\\"comando\\\":"
                              "\\\"reiniciar\\\"}]}\"}}");
  Iniciar();
  const uint32_t antigo = FPrograma.Id();
  // The old agent quits by itself, with code 0 so that its watchdog lets it go.
  ASSERT_TRUE(FPrograma.AguardarFim(kEspera)) << "the agent did not quit after reiniciar";
  uint32_t codigo = 99;
  EXPECT_TRUE(FPrograma.CodigoSaida(codigo));
  EXPECT_EQ(codigo, 0u);
  // One new agent, which meets the same command and stays.
  ASSERT_TRUE(TDriver::AguardarAte(
      [&] {
        return Registrou(
            "Aviso: comando reiniciar id=77 ja executado ha menos de 10 minutos; "
            "agente nao reiniciado.");
      },
      kEspera, 200))
      << "the new agent did not meet the command";
  TDriver::Processar(8000);  // a few more passes
  const std::vector<uint32_t> agentes = ProcessosDe("Zelvan.exe");
  ASSERT_EQ(agentes.size(), 1u);
  EXPECT_NE(agentes[0], antigo);
  const auto l = Linhas();
  EXPECT_EQ(std::count(l.begin(), l.end(), "Comando executado: reiniciar"), 1);
  EXPECT_EQ(Formularios("api/agent_commands.php").size() >= 2, true);
}

TEST_F(ServicosE2E, SegundaInstanciaSaiEmSilencio) {
  Iniciar();
  ASSERT_NE(AguardarJanelaPrincipal(FPrograma.Id(), kEspera), nullptr);
  TProgramaDriver segundo = TDriver::Iniciar(Zelvan());
  ASSERT_TRUE(segundo.Valido());
  // It waits for a hand-over up to 15 s, shows nothing, and ends with code 0.
  EXPECT_FALSE(segundo.AguardarFim(10000));
  EXPECT_TRUE(TDriver::JanelasDoProcesso(segundo.Id()).empty() ||
              TDriver::ProcurarJanela(segundo.Id(), "VeskJanela", "", true) == nullptr);
  ASSERT_TRUE(segundo.AguardarFim(15000));
  uint32_t codigo = 99;
  EXPECT_TRUE(segundo.CodigoSaida(codigo));
  EXPECT_EQ(codigo, 0u);
  EXPECT_TRUE(
      Registrou("Aviso: outra instancia do agente ja esta em execucao nesta sessao; esta "
                "foi encerrada apos aguardar 15 segundos."));
  uint32_t c1 = 0;
  EXPECT_FALSE(FPrograma.CodigoSaida(c1)) << "the first agent must still run";
}

TEST_F(ServicosE2E, FimDeSessaoEncerraSemPedirSenha) {
  TConfigINI::EscreverTexto("SEGURANCA", "SENHA_AGENTE_HASH", std::string(64, 'a'));
  Iniciar();
  TJanela janela = AguardarJanelaPrincipal(FPrograma.Id(), kEspera);
  ASSERT_NE(janela, nullptr);
  DWORD_PTR resposta = 0;
  ASSERT_TRUE(SendMessageTimeoutW(static_cast<HWND>(janela), WM_QUERYENDSESSION, 0,
                                  ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 5000, &resposta));
  EXPECT_EQ(resposta, static_cast<DWORD_PTR>(TRUE)) << "the main window held up the log-off";
  EXPECT_EQ(TDriver::ProcurarJanela(FPrograma.Id(), "VeskJanela", "Senha do Agente", true),
            nullptr);
  SendMessageTimeoutW(static_cast<HWND>(janela), WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF,
                      SMTO_ABORTIFHUNG, 5000, &resposta);
  ASSERT_TRUE(FPrograma.AguardarFim(kEspera)) << "the agent did not end with the session";
  uint32_t codigo = 99;
  EXPECT_TRUE(FPrograma.CodigoSaida(codigo));
  EXPECT_EQ(codigo, 0u);
  EXPECT_TRUE(ProcessosDe("Zelvan.exe").empty());
}
