// Zelvan.exe on a bad network day, end to end under Wine: with a server that
// takes connections and never answers, and with nothing listening, the main
// window answers every message within a second for a minute and a half, the
// tray menu opens, the tasks tab switches and the chat bubble is up within 5 s;
// a log-off while the acknowledgement of a notice waits ends the agent with
// code 0 within 2 s, and the next start sends the acknowledgement again.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/uTrayAgent.h"
#include "config/uConfigINI.h"
#include "net/uConvencoes.h"
#include "platform/uTexto.h"
#include "tests/e2e/uAgentesE2E.h"
#include "tools/wine/uCaptura.h"
#include "tools/wine/uDriver.h"

namespace {

constexpr uint32_t kEspera = 30000;
constexpr const char* kToken = "tok-teste-1234567890";
constexpr uint64_t kSondagemMs = 90000;

HWND H(TJanela A) {
  return static_cast<HWND>(A);
}

// A loopback port that takes connections and never answers them (a captive
// portal, an overloaded intranet), or one that nothing listens on.
class TPortaRuim {
 public:
  explicit TPortaRuim(bool ASilenciosa) {
    WSADATA w;
    WSAStartup(MAKEWORD(2, 2), &w);
    FSocket = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int n = sizeof a;
    if (FSocket != INVALID_SOCKET && bind(FSocket, reinterpret_cast<sockaddr*>(&a), n) == 0 &&
        listen(FSocket, 64) == 0 && getsockname(FSocket, reinterpret_cast<sockaddr*>(&a), &n) == 0)
      FPorta = ntohs(a.sin_port);
    // Released at once, the port refuses every connection.
    if (!ASilenciosa) Fechar();
  }
  ~TPortaRuim() {
    Fechar();
    WSACleanup();
  }
  int Porta() const { return FPorta; }
  std::string Url(const std::string& ACaminho) const {
    return "http://127.0.0.1:" + std::to_string(FPorta) + "/" + ACaminho;
  }

 private:
  void Fechar() {
    if (FSocket != INVALID_SOCKET) closesocket(FSocket);
    FSocket = INVALID_SOCKET;
  }
  SOCKET FSocket = INVALID_SOCKET;
  int FPorta = 0;
};

// The bubble: a visible 72 x 72 tool window of the process.
HWND Bolha(uint32_t AId) {
  for (TJanela j : TDriver::JanelasDoProcesso(AId)) {
    if (!IsWindowVisible(H(j)) || !(GetWindowLongW(H(j), GWL_EXSTYLE) & WS_EX_TOOLWINDOW)) continue;
    const TRetanguloDriver c = TDriver::AreaCliente(j);
    if (c.Largura == 72 && c.Altura == 72) return H(j);
  }
  return nullptr;
}

HWND MenuAberto(uint32_t AId) {
  for (TJanela j : TDriver::JanelasDoProcesso(AId))
    if (TDriver::Classe(j) == "#32768" && IsWindowVisible(H(j))) return H(j);
  return nullptr;
}

struct TSondagem {
  uint64_t Maior = 0;   // the longest answer, ms
  uint64_t Retido = 0;  // time spent in answers over 1 s, ms
  int Mensagens = 0;
  int SemResposta = 0;  // not answered within 1 s
};

class RedeRuimE2E : public AgenteEmTeste, public ::testing::WithParamInterface<bool> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(ProgramaEServidor());
    ConfigurarServidor(kToken);
    TConfigINI::EscreverTexto("SERVIDOR", "INTERVALO_SEGUNDOS", "5");
    // The chat has its own server, which answers.
    TConfigINI::EscreverTexto("CHAT", "URL", Servidor() + "chat/");
    TConfigINI::EscreverTexto("LOG", "DETALHADO", "1");
  }

  // One timed message to the window; every 250 ms, as a probe would.
  static void Sondar(TJanela AJanela, TSondagem& AS) {
    const uint64_t t0 = GetTickCount64();
    const bool ok = TDriver::EnviarComPrazo(AJanela, WM_NULL, 0, 0, 1000);
    const uint64_t dt = GetTickCount64() - t0;
    ++AS.Mensagens;
    if (!ok) ++AS.SemResposta;
    AS.Maior = std::max(AS.Maior, dt);
    if (dt > 1000) AS.Retido += dt - 1000;
  }
};

}  // namespace

TEST_P(RedeRuimE2E, JanelaRespondeMenuAbreAbaTrocaEBalaoEmCincoSegundos) {
  const bool silenciosa = GetParam();
  const char* modo = silenciosa ? "silencioso" : "fechado";
  TPortaRuim porta(silenciosa);
  ASSERT_NE(porta.Porta(), 0);
  TConfigINI::EscreverTexto("SERVIDOR", "URL", porta.Url("demo/intranet/"));

  const uint64_t inicio = GetTickCount64();
  FPrograma = TDriver::Iniciar(Zelvan());
  ASSERT_TRUE(FPrograma.Valido());
  const uint32_t pid = FPrograma.Id();
  HWND bolha = nullptr;
  EXPECT_TRUE(TDriver::AguardarAte([&] { return (bolha = Bolha(pid)) != nullptr; }, 5000, 20))
      << modo << ": no chat bubble within 5 s";
  std::printf("[%s] bubble after %llu ms\n", modo,
              static_cast<unsigned long long>(GetTickCount64() - inicio));
  // Hidden or not: the window exists from the start and must answer.
  TJanela janela = AguardarJanelaPrincipal(pid, kEspera, false);
  ASSERT_NE(janela, nullptr);

  TSondagem s;
  bool menuAbriu = false, abaTrocou = false;
  const uint64_t t0 = GetTickCount64();
  for (int i = 0; GetTickCount64() - t0 < kSondagemMs; ++i) {
    Sondar(janela, s);
    const uint64_t decorrido = GetTickCount64() - t0;
    if (!menuAbriu && decorrido > 20000) {
      PostMessageW(H(janela), TTrayAgent::kMensagemBandeja, TTrayAgent::kIdIcone, WM_RBUTTONUP);
      HWND menu = nullptr;
      menuAbriu = TDriver::AguardarAte([&] { return (menu = MenuAberto(pid)) != nullptr; }, 2000);
      if (menu) {
        if (silenciosa) CapturarTela("rede_ruim_menu_bandeja");
        PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
        EXPECT_TRUE(TDriver::AguardarAte([&] { return MenuAberto(pid) == nullptr; }, 2000));
      }
    }
    if (!abaTrocou && decorrido > 40000) {
      // Opened from the tray, as the employee would, then the tasks tab.
      PostMessageW(H(janela), TTrayAgent::kMensagemBandeja, TTrayAgent::kIdIcone, WM_LBUTTONDBLCLK);
      EXPECT_TRUE(TDriver::AguardarVisibilidade(janela, true, 2000));
      TJanela abas = TDriver::ProcurarControle(janela, "SysTabControl32");
      ASSERT_NE(abas, nullptr);
      abaTrocou = TDriver::SelecionarAba(abas, 2);
      TDriver::Processar(300);
      CapturarJanela(janela, std::string("rede_ruim_") + modo + "_tarefas");
    }
    TDriver::Processar(250);
  }
  std::printf(
      "[%s] %d messages in %llu s: largest answer %llu ms, %llu ms held over 1 s, %d "
      "unanswered\n",
      modo, s.Mensagens, static_cast<unsigned long long>(kSondagemMs / 1000),
      static_cast<unsigned long long>(s.Maior), static_cast<unsigned long long>(s.Retido),
      s.SemResposta);
  EXPECT_EQ(s.SemResposta, 0) << modo;
  EXPECT_LT(s.Maior, 1000u) << modo;
  EXPECT_TRUE(menuAbriu) << modo << ": the tray menu did not open";
  EXPECT_TRUE(abaTrocou) << modo << ": the tasks tab did not switch";
  EXPECT_NE(Bolha(pid), nullptr) << modo << ": the bubble went away";

  // No password is known (the server never gave one): the close ends it
  // at once, whatever request is waiting.
  const uint64_t fim = GetTickCount64();
  TDriver::Fechar(janela);
  ASSERT_TRUE(FPrograma.AguardarFim(2000)) << modo << ": the agent did not end within 2 s";
  std::printf("[%s] ended %llu ms after the close\n", modo,
              static_cast<unsigned long long>(GetTickCount64() - fim));
  uint32_t codigo = 99;
  EXPECT_TRUE(FPrograma.CodigoSaida(codigo));
  EXPECT_EQ(codigo, 0u);
}

INSTANTIATE_TEST_SUITE_P(Modos, RedeRuimE2E, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& I) {
                           return std::string(I.param ? "Silencioso" : "NadaEscuta");
                         });

namespace {

class SessaoE2E : public AgenteEmTeste {
 protected:
  void SetUp() override {
    ASSERT_TRUE(ProgramaEServidor());
    ConfigurarServidor(kToken);
    TConfigINI::EscreverTexto("SERVIDOR", "INTERVALO_SEGUNDOS", "5");
  }
};

}  // namespace

TEST_F(SessaoE2E, LogoffDuranteOAckEncerraEmDoisSegundosEOProximoInicioReenvia) {
  ASSERT_EQ(Admin("admin/notices", R"({"kind":"text","link":"linked"})"), "{\"ok\":true}");
  // The acknowledgement's POST is held well past the log-off.
  Admin("admin/fault",
        R"({"endpoint":"api/agent_message_ack.php","kind":"delay","delay_ms":60000,"times":1})");
  Admin("admin/requests/clear", "{}");
  const std::string chave = "mensagens:241:" + ObterNomeComputadorMaiusculo();

  FPrograma = TDriver::Iniciar(Zelvan());
  ASSERT_TRUE(FPrograma.Valido());
  TJanela popup = AguardarPopup(FPrograma.Id(), "Aviso de texto", kEspera);
  ASSERT_NE(popup, nullptr);
  ASSERT_TRUE(ConfirmarPopup(popup, kEspera));
  ASSERT_TRUE(TDriver::AguardarAte([] { return !Acks().empty(); }, kEspera))
      << "the acknowledgement was never sent";
  const int posicao = TConfigINI::LerInteiro(TConfigINI::ArquivoConfig(), "MENSAGENS_CONTROLE",
                                             "ULTIMO_ID_ENTREGUE", 0);

  // The log-off, as Windows sends it, while the acknowledgement waits.
  TJanela janela = AguardarJanelaPrincipal(FPrograma.Id(), kEspera, false);
  ASSERT_NE(janela, nullptr);
  const uint64_t t0 = GetTickCount64();
  intptr_t resposta = 0;
  ASSERT_TRUE(
      TDriver::EnviarComPrazo(janela, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, 1000, &resposta))
      << "WM_QUERYENDSESSION not answered within 1 s";
  EXPECT_EQ(resposta, TRUE);
  TDriver::EnviarComPrazo(janela, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, 2000);
  ASSERT_TRUE(FPrograma.AguardarFim(2000 - std::min<uint64_t>(GetTickCount64() - t0, 2000)))
      << "the agent did not end within 2 s of the log-off";
  std::printf("log-off: ended %llu ms after WM_QUERYENDSESSION\n",
              static_cast<unsigned long long>(GetTickCount64() - t0));
  uint32_t codigo = 99;
  EXPECT_TRUE(FPrograma.CodigoSaida(codigo));
  EXPECT_EQ(codigo, 0u);

  // Nothing half-done: the notice is not recorded as acknowledged, the
  // position did not move past it, and no fallback request went out.
  EXPECT_NE(TConfigINI::LerTexto("MENSAGENS_PROCESSADAS", chave, ""), "");
  EXPECT_EQ(TConfigINI::LerTexto("MENSAGENS_EXCLUIDAS", chave, ""), "");
  EXPECT_EQ(TConfigINI::LerInteiro(TConfigINI::ArquivoConfig(), "MENSAGENS_CONTROLE",
                                   "ULTIMO_ID_ENTREGUE", 0),
            posicao);
  ASSERT_EQ(Acks().size(), 1u);

  // The next log-on: the notice is acknowledged again in silence, not shown.
  EncerrarAgentesEWatchdogs();
  FPrograma = TDriver::Iniciar(Zelvan());
  ASSERT_TRUE(FPrograma.Valido());
  ASSERT_TRUE(TDriver::AguardarAte([] { return Acks().size() >= 2; }, kEspera))
      << "no acknowledgement at the next start";
  const std::vector<TPedido> acks = Acks();
  EXPECT_EQ(Campo(acks[1], "motivo"), "reenvio_ack_silencioso_processada_local");
  EXPECT_EQ(Campo(acks[1], "mensagem_id"), "241");
  EXPECT_EQ(AguardarPopup(FPrograma.Id(), "Aviso de texto", 3000), nullptr) << "shown again";
  TJanela j2 = AguardarJanelaPrincipal(FPrograma.Id(), kEspera, false);
  ASSERT_NE(j2, nullptr);
  FecharComSenhaDoCenario(FPrograma, j2, kEspera);
}
