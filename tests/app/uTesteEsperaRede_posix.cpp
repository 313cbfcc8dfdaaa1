// The polling pass waits for the network with the windows answering: a tick
// and a button during a wait, a log-off during a wait, a pause between
// attempts that lets messages through.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>

#include "log/uLogger.h"
#include "net/uHttpRetry.h"
#include "notices/uPopupMensagem.h"
#include "platform/uTexto.h"
#include "platform/ui/uEspera.h"
#include "tests/app/uAgenteFixture.h"

namespace {

// A port that takes connections and never answers them (a captive portal, an
// overloaded server): the kernel accepts, nobody reads.
class TPortaSilenciosa {
 public:
  TPortaSilenciosa() {
    FSocket = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t n = sizeof a;
    if (FSocket < 0 || bind(FSocket, reinterpret_cast<sockaddr*>(&a), n) != 0 ||
        listen(FSocket, 16) != 0 || getsockname(FSocket, reinterpret_cast<sockaddr*>(&a), &n) != 0)
      throw std::runtime_error("no silent port");
    FPorta = ntohs(a.sin_port);
  }
  ~TPortaSilenciosa() { close(FSocket); }
  std::string Url(const std::string& ACaminho) const {
    return "http://127.0.0.1:" + std::to_string(FPorta) + "/" + ACaminho;
  }

 private:
  int FSocket = -1;
  int FPorta = 0;
};

std::vector<std::string> LinhasDoLog() {
  std::vector<std::string> r;
  for (const std::string& l : DividirLinhas(LerArquivoTeste(TLogger::ArquivoLogDoDia())))
    r.push_back(l.size() >= 22 ? l.substr(22) : l);
  return r;
}

bool AlgumaComeca(const std::vector<std::string>& ALinhas, const std::string& APrefixo) {
  return std::any_of(ALinhas.begin(), ALinhas.end(),
                     [&](const std::string& L) { return L.rfind(APrefixo, 0) == 0; });
}

using Ms = std::chrono::milliseconds;
Ms Desde(std::chrono::steady_clock::time_point AInicio) {
  return std::chrono::duration_cast<Ms>(std::chrono::steady_clock::now() - AInicio);
}

}  // namespace

TEST_F(AgenteTeste, TickEBotaoDuranteAEsperaNaoRepetemOCicloEOBotaoEsperaSuaVez) {
  std::promise<void> libera;
  std::shared_future<void> portao = libera.get_future().share();
  auto configTerminou = std::make_shared<std::atomic<bool>>(false);
  std::vector<std::string> ordem;
  int configs = 0, heartbeats = 0;
  TPassosAgente p;
  p.SincronizarConfig = [&] {
    if (++configs == 1) return;  // the start-up pass
    ordem.push_back("config: inicio");
    const int r = ui::ExecutarForaComResultado([portao, configTerminou](TCancelamento&) {
      portao.wait();
      *configTerminou = true;
      return 7;
    });
    ordem.push_back("config: fim " + std::to_string(r));
  };
  p.EnviarHeartbeat = [&](const std::string&) { ++heartbeats; };
  p.BuscarTarefasJson = [&] {
    ordem.push_back("tarefas: inicio");
    const std::string t = ui::ExecutarForaComResultado([configTerminou](TCancelamento&) {
      return std::string(*configTerminou ? "depois da config" : "durante a config");
    });
    ordem.push_back("tarefas: fim");
    return t;
  };
  TFrmAgentePrincipal& f = Criar(std::move(p));
  ASSERT_EQ(heartbeats, 1);

  int chamadas = 0;
  ui::headless::AoProcessarMensagens = [&] {
    if (ui::TrabalhosPendentes() == 0) return;
    ++chamadas;
    if (chamadas == 1) {
      // During the config request: a tick and a click on "Atualizar tarefas".
      f.TimerPrincipal.Disparar();
      f.btnAtualizarTarefas->AoClicar();  // the window is in the tray: its handler, as a click
    } else if (chamadas == 2) {
      // The button's request is waiting for its turn: let the pass's one end.
      libera.set_value();
    }
  };
  f.ExecutarCiclo();
  ui::headless::AoProcessarMensagens = nullptr;

  EXPECT_EQ(ordem, (std::vector<std::string>{"config: inicio", "tarefas: inicio", "tarefas: fim",
                                             "config: fim 7"}));
  EXPECT_EQ(configs, 2);  // the tick started no second pass
  EXPECT_EQ(heartbeats, 2);
  EXPECT_EQ(f.memTarefas->Linhas(), (std::vector<std::string>{"depois da config"}));
  EXPECT_EQ(f.lblStatus->Texto(), "Online");
  EXPECT_TRUE(ui::headless::Caixas().empty());
}

TEST_F(AgenteTeste, FimDaSessaoDuranteUmPedidoParaOCicloEmMenosDeDoisSegundos) {
  TConfigINI::EscreverTexto("LOG", "DETALHADO", "1");
  TPortaSilenciosa silenciosa;
  int configs = 0, depois = 0;
  TPassosAgente p;
  p.SincronizarConfig = [&] {
    if (++configs == 1) return;
    THttpRetry::GetText(silenciosa.Url("api/agent_config.php"), 3);
  };
  p.EnviarHeartbeat = [&](const std::string&) { ++depois; };
  p.SincronizarInventario = [&] { ++depois; };
  p.VerificarMensagens = [&] { ++depois; };
  TFrmAgentePrincipal& f = Criar(std::move(p));
  depois = 0;

  bool entregue = false;
  ui::headless::AoProcessarMensagens = [&] {
    if (entregue || ui::TrabalhosPendentes() == 0) return;
    entregue = true;
    // What the Win32 backend does with WM_QUERYENDSESSION and WM_ENDSESSION.
    EXPECT_TRUE(f.AoConsultarFimSessao());
    f.AoFimSessao();
    ui::app::Terminar();
  };
  const auto inicio = std::chrono::steady_clock::now();
  f.ExecutarCiclo();
  const Ms duracao = Desde(inicio);
  ui::headless::AoProcessarMensagens = nullptr;

  EXPECT_TRUE(entregue);
  EXPECT_LT(duracao.count(), 2000);
  EXPECT_EQ(depois, 0);  // no later step ran
  EXPECT_FALSE(f.Executando());
  EXPECT_TRUE(f.FechandoAutorizado());
  EXPECT_NE(f.lblStatus->Texto(), "Erro");
  const auto l = LinhasDoLog();
  EXPECT_FALSE(AlgumaComeca(l, "Erro no ciclo"));
  EXPECT_FALSE(AlgumaComeca(l, "GET erro tentativa"));  // an abandoned request is no failure
  EXPECT_TRUE(AlgumaComeca(l, "Ciclo interrompido"));
  EXPECT_TRUE(ui::headless::Caixas().empty());
  // The request was cut, not left to its time-out of 30 s.
  EXPECT_TRUE(ui::AguardarTrabalhos(3000));
  // A later wait of the ending program does not start at all.
  EXPECT_THROW(THttpRetry::GetText(silenciosa.Url("x"), 3), ui::EEsperaAbandonada);
}

TEST_F(AgenteTeste, PausaEntreTentativasDeixaMensagensPassarESaidaACorta) {
  // Nothing listens on a port that was just released: each attempt fails at once.
  std::string url;
  {
    TPortaSilenciosa livre;
    url = livre.Url("api/agent_config.php");
  }
  Criar();
  int durantePausa = 0;
  ui::headless::AoProcessarMensagens = [&] { ++durantePausa; };
  EXPECT_THROW(THttpRetry::GetText(url, 3), EHttpErro);
  EXPECT_GE(durantePausa, 2);  // both pauses let messages through
  EXPECT_EQ(Relogio.TotalDormido, 2000u);

  // "Sair" during the first pause: the attempts stop there.
  const auto antes = LinhasDoLog().size();
  ui::headless::AoProcessarMensagens = [&] {
    if (ui::TrabalhosPendentes() == 0) ui::app::Terminar();  // in the pause, not the transfer
  };
  EXPECT_THROW(THttpRetry::GetText(url, 3), ui::EEsperaAbandonada);
  ui::headless::AoProcessarMensagens = nullptr;
  const auto l = LinhasDoLog();
  ASSERT_EQ(l.size(), antes + 1);
  EXPECT_EQ(l.back().rfind("GET erro tentativa 1: ", 0), 0u) << l.back();
}

TEST_F(AgenteTeste, BatimentoSegueSozinhoEnquantoUmAvisoEsperaOEmpregado) {
  int configs = 0, heartbeats = 0, tarefas = 0;
  bool comPopup = false;
  TPassosAgente p;
  p.SincronizarConfig = [&] { ++configs; };
  p.EnviarHeartbeat = [&](const std::string&) { ++heartbeats; };
  p.VerificarTarefas = [&] { ++tarefas; };
  p.VerificarMensagens = [&] {
    if (comPopup) TFrmPopupMensagem::Exibir("Empresa", "Aviso", "Texto", "", "", "");
  };
  TFrmAgentePrincipal& f = Criar(std::move(p));
  ASSERT_EQ(heartbeats, 1);

  // Three ticks fall while the notice waits for the employee, then a log-off.
  comPopup = true;
  int ticks = 0;
  ui::headless::AoProcessarMensagens = [&] {
    if (!ui::EsperandoEmpregado()) return;
    if (ticks < 3) {
      ++ticks;
      f.TimerPrincipal.Disparar();
    } else {
      ui::app::Terminar();
    }
  };
  f.ExecutarCiclo();
  ui::headless::AoProcessarMensagens = nullptr;
  EXPECT_EQ(ticks, 3);
  EXPECT_EQ(heartbeats, 1 + 1 + 3);  // start-up, the pass, one per tick
  EXPECT_EQ(configs, 2);             // nothing else of the pass ran again
  EXPECT_EQ(tarefas, 1);             // the pass stopped at the log-off
}
