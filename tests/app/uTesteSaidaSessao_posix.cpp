// The agent's ways out without the password: a log-off or shutdown, and its own
// quit request (restart, update) that stands the rest of the pass down; and
// the one-agent-per-session guard of a second start.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>

#include "app/uInstanciaUnica.h"
#include "log/uLogger.h"
#include "platform/uProcessos.h"
#include "platform/uTexto.h"
#include "services/uPedidoSaida.h"
#include "tests/app/uAgenteFixture.h"

namespace {

std::vector<std::string> LinhasDoLog() {
  std::vector<std::string> r;
  for (const std::string& l : DividirLinhas(LerArquivoTeste(TLogger::ArquivoLogDoDia())))
    r.push_back(l.size() >= 22 ? l.substr(22) : l);
  return r;
}

}  // namespace

TEST_F(AgenteTeste, FimDeSessaoSemSenhaComoSaidaAutorizada) {
  TConfigINI::EscreverTexto("SEGURANCA", "SENHA_AGENTE_HASH", std::string(64, 'a'));
  int finalizados = 0;
  TPassosAgente p;
  p.FinalizarChat = [&] { ++finalizados; };
  TFrmAgentePrincipal& f = Criar(std::move(p));
  ASSERT_TRUE(f.AoConsultarFimSessao);
  ASSERT_TRUE(f.AoFimSessao);
  // The session is let through at once: no password box holds it up.
  EXPECT_TRUE(f.AoConsultarFimSessao());
  EXPECT_TRUE(ui::headless::Entradas().empty());
  EXPECT_TRUE(ui::headless::Caixas().empty());
  EXPECT_FALSE(f.Fechada());
  f.AoFimSessao();
  EXPECT_TRUE(f.FechandoAutorizado());
  EXPECT_EQ(finalizados, 1);
  EXPECT_EQ(AcoesIcone().back(), TAcaoIcone::Remover);
  EXPECT_TRUE(ui::headless::Entradas().empty());
  // A close request afterwards needs no password either.
  EXPECT_TRUE(f.Fechar());
  EXPECT_TRUE(ui::headless::Entradas().empty());
}

TEST_F(AgenteTeste, PedidoDeSaidaPulaORestoDoCicloEDaPartida) {
  TPedidoSaida::Reiniciar();
  TConfigINI::EscreverTexto("LOG", "DETALHADO", "1");
  std::vector<std::string> chamados;
  TPassosAgente p;
  p.SincronizarConfig = [&] { chamados.push_back("config"); };
  p.VerificarTarefas = [&] {
    chamados.push_back("tarefas");
    TPedidoSaida::Solicitar("reiniciar");  // a step asks the agent to quit
  };
  p.VerificarComandos = [&] { chamados.push_back("comandos"); };
  p.AtualizarUnreadChat = [&] { chamados.push_back("chat"); };
  p.VerificarAtualizacao = [&](const std::string&) { chamados.push_back("update"); };
  p.IniciarChat = [&](ui::TJanela&) { chamados.push_back("iniciar chat"); };
  p.PularAposSaida = [](const std::string& E) { return TPedidoSaida::Pular(E); };
  TFrmAgentePrincipal& f = Criar(std::move(p));
  // The bubble comes first: it never waits for the intranet.
  EXPECT_EQ(chamados, (std::vector<std::string>{"iniciar chat", "update", "config", "tarefas"}));
  f.ExecutarCiclo();
  EXPECT_EQ(chamados.size(), 4u);
  const auto l = LinhasDoLog();
  EXPECT_EQ(std::count(l.begin(), l.end(),
                       "Aviso: agente encerrando (reiniciar); etapas seguintes ignoradas a partir "
                       "de comandos."),
            1);
  TPedidoSaida::Reiniciar();
}

namespace {

// Only the session mutex matters here: answers scripted one call at a time.
class TProcessosInstancia : public IProcessos {
 public:
  std::vector<uint32_t> ProcessosDoExecutavel(const std::string&) override { return {}; }
  THandleProcesso Abrir(uint32_t) override { return 0; }
  TResultadoEspera Aguardar(THandleProcesso, uint32_t) override { return TResultadoEspera::Falha; }
  bool CodigoSaida(THandleProcesso, uint32_t&) override { return false; }
  void Fechar(THandleProcesso) override {}
  uint32_t IdDoProcesso(THandleProcesso) override { return 0; }
  THandleProcesso Iniciar(const std::string&) override { return 0; }
  TInstanciaUnica AdquirirInstanciaUnica(const std::string& ANome) override {
    Nomes.push_back(ANome);
    if (Respostas.empty()) return Depois;
    const TInstanciaUnica r = Respostas.front();
    Respostas.pop_front();
    return r;
  }
  std::string CaminhoExecutavel() override { return {}; }
  std::vector<std::string> Argumentos() override { return {}; }
  bool ArquivoExiste(const std::string&) override { return false; }

  std::deque<TInstanciaUnica> Respostas;
  TInstanciaUnica Depois = TInstanciaUnica::JaExiste;
  std::vector<std::string> Nomes;
};

class InstanciaTeste : public ::testing::Test {
 protected:
  TBaseTemporaria Base;
  TRelogioFalso Relogio;
  SubstituirConcern<IRelogio> FRelogio{Relogio};
  TProcessosInstancia Processos;
  SubstituirConcern<IProcessos> FProcessos{Processos};
};

}  // namespace

TEST_F(InstanciaTeste, PrimeiraSegueSemEsperar) {
  Processos.Depois = TInstanciaUnica::Primeira;
  EXPECT_TRUE(TInstanciaUnicaAgente::Garantir());
  EXPECT_EQ(Processos.Nomes, std::vector<std::string>{"Local\\VeskIntranetAgentZelvan"});
  EXPECT_EQ(Relogio.TotalDormido, 0u);
  EXPECT_TRUE(LinhasDoLog().empty());
}

TEST_F(InstanciaTeste, EsperaOAgenteQueEstaSaindo) {
  // The old copy of a restart ends after a few seconds.
  Processos.Respostas.assign(12, TInstanciaUnica::JaExiste);
  Processos.Depois = TInstanciaUnica::Primeira;
  EXPECT_TRUE(TInstanciaUnicaAgente::Garantir());
  EXPECT_EQ(Relogio.TotalDormido, 12u * TInstanciaUnicaAgente::kPassoEsperaMs);
  EXPECT_TRUE(LinhasDoLog().empty());
}

TEST_F(InstanciaTeste, SegundaInstanciaDesisteApos15sERegistraOMotivo) {
  EXPECT_FALSE(TInstanciaUnicaAgente::Garantir());
  EXPECT_GE(Relogio.TotalDormido, 15000u);
  EXPECT_LT(Relogio.TotalDormido, 15000u + TInstanciaUnicaAgente::kPassoEsperaMs);
  EXPECT_EQ(LinhasDoLog(),
            std::vector<std::string>{"Aviso: outra instancia do agente ja esta em execucao nesta "
                                     "sessao; esta foi encerrada apos aguardar 15 segundos."});
}

TEST_F(InstanciaTeste, SemMutexSegueERegistra) {
  Processos.Depois = TInstanciaUnica::Falha;
  EXPECT_TRUE(TInstanciaUnicaAgente::Garantir());
  EXPECT_EQ(LinhasDoLog(),
            std::vector<std::string>{"Aviso: falha ao criar o mutex da sessao; agente segue sem a "
                                     "protecao de instancia unica."});
}
