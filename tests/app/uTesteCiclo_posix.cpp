// The polling pass: re-entrancy, the error path, the update spacing and the
// on-screen log.
#include <gtest/gtest.h>

#include "log/uLogger.h"
#include "platform/uErros.h"
#include "tests/app/uAgenteFixture.h"

namespace {

TEST_F(AgenteTeste, CicloAninhadoRetornaDeImediato) {
  TFrmAgentePrincipal* frm = nullptr;
  int heartbeats = 0;
  bool executandoNoPasso = false;
  TPassosAgente p;
  // A service that lets messages through, so a tick arrives mid-pass.
  p.SincronizarConfig = [&] {
    if (!frm) return;
    executandoNoPasso = frm->Executando();
    frm->ExecutarCiclo();
  };
  p.EnviarHeartbeat = [&](const std::string&) { ++heartbeats; };
  frm = &Criar(p);
  heartbeats = 0;
  frm->ExecutarCiclo();
  EXPECT_TRUE(executandoNoPasso);
  EXPECT_EQ(heartbeats, 1);
  EXPECT_FALSE(frm->Executando());
  EXPECT_EQ(frm->lblStatus->Texto(), "Online");
}

TEST_F(AgenteTeste, ExecutarAgoraDuranteUmCicloSalvaMasNaoIniciaOutro) {
  TFrmAgentePrincipal* frm = nullptr;
  int ciclos = 0;
  TPassosAgente p;
  p.VerificarMensagens = [&] {
    ++ciclos;
    if (!frm) return;
    frm->edtIntervalo->DefinirTexto("45");
    frm->btnExecutarAgora->Clicar();
    frm->btnTestarClick();
  };
  frm = &Criar(p);
  frm->Mostrar();
  ciclos = 0;
  ui::headless::Caixas().clear();
  frm->ExecutarCiclo();
  EXPECT_EQ(ciclos, 1);
  EXPECT_EQ(TConfigINI::LerInteiro("SERVIDOR", "INTERVALO_SEGUNDOS", 0), 45);
  EXPECT_EQ(frm->TimerPrincipal.Intervalo(), 45000u);
  // "Testar conexao" still shows its box.
  ASSERT_EQ(ui::headless::Caixas().size(), 1u);
  EXPECT_EQ(ui::headless::Caixas()[0].Texto, "Teste executado. Verifique o log do agente.");
}

TEST_F(AgenteTeste, ErroNoCicloMostraErroEPulaOsPassosSeguintes) {
  bool falhar = false;
  int depois = 0;
  TPassosAgente p;
  p.SincronizarConfig = [&] {
    if (falhar) throw EHttpErro("Falha ao conectar com 127.0.0.1");
  };
  p.EnviarHeartbeat = [&](const std::string&) { ++depois; };
  p.VerificarComandos = [&] { ++depois; };
  p.VerificarAtualizacao = [&](const std::string&) { ++depois; };
  auto& f = Criar(p);
  const std::string ultima = f.lblUltimaComunicacao->Texto();
  depois = 0;
  falhar = true;
  Relogio.Avancar(20 * 60 * 1000);  // the update check would be due
  f.ExecutarCiclo();
  EXPECT_EQ(f.lblStatus->Texto(), "Erro");
  EXPECT_EQ(f.memLog->Linhas()[0], "14:27:09 - Erro no ciclo: Falha ao conectar com 127.0.0.1");
  EXPECT_EQ(f.lblUltimaComunicacao->Texto(), ultima);
  EXPECT_EQ(depois, 0);
  EXPECT_FALSE(f.Executando());
  // The bare message reaches the log file (it holds a keyword).
  EXPECT_NE(LerArquivoTeste(TLogger::ArquivoLogDoDia())
                .find("14:27:09 - Erro no ciclo: Falha ao conectar"),
            std::string::npos);

  // The next pass starts over.
  falhar = false;
  f.ExecutarCiclo();
  EXPECT_EQ(f.lblStatus->Texto(), "Online");
  EXPECT_EQ(f.lblUltimaComunicacao->Texto(), "Ultima comunicacao: 05/03/2025 14:27:09");
}

TEST_F(AgenteTeste, ErroDeOutroTipoTambemTerminaOCiclo) {
  bool falhar = false;
  TPassosAgente p;
  p.AtualizarUnreadChat = [&] {
    if (falhar) throw 42;
  };
  auto& f = Criar(p);
  falhar = true;
  f.ExecutarCiclo();
  EXPECT_EQ(f.lblStatus->Texto(), "Erro");
  EXPECT_EQ(f.memLog->Linhas()[0].substr(0, 26), "14:07:09 - Erro no ciclo: ");
  EXPECT_FALSE(f.Executando());
}

TEST_F(AgenteTeste, AtualizacaoNoMaximoACada15Minutos) {
  int verificacoes = 0;
  TPassosAgente p;
  p.VerificarAtualizacao = [&](const std::string&) { ++verificacoes; };
  auto& f = Criar(p);
  // The forced check of the start-up; the first pass right after does not check.
  EXPECT_EQ(verificacoes, 1);
  EXPECT_DOUBLE_EQ(f.UltimaVerificacaoUpdate(), Momento(2025, 3, 5, 14, 7, 9));

  Relogio.Avancar((14 * 60 + 59) * 1000);
  f.ExecutarCiclo();
  EXPECT_EQ(verificacoes, 1);
  Relogio.Avancar(1000);  // 15 whole minutes
  f.ExecutarCiclo();
  EXPECT_EQ(verificacoes, 2);
  EXPECT_EQ(f.memLog->Linhas()[1], "14:22:09 - Verificando atualizacao do agente...");

  // A forced check ignores the spacing; a check that fails is still stamped.
  f.VerificarAtualizacaoPeriodica(true);
  EXPECT_EQ(verificacoes, 3);
  // The clock moved back by an hour: the absolute difference counts.
  Relogio.DefinirAgora(Momento(2025, 3, 5, 13, 22, 9));
  f.ExecutarCiclo();
  EXPECT_EQ(verificacoes, 4);
}

TEST_F(AgenteTeste, LogNaTelaNoMaximo300LinhasComAMaisNovaNoTopo) {
  auto& f = Criar();
  for (int i = 0; i < 350; ++i) {
    f.AdicionarLog("linha " + std::to_string(i));
    Relogio.Avancar(1000);
  }
  const auto& linhas = f.memLog->Linhas();
  ASSERT_EQ(linhas.size(), 300u);
  EXPECT_EQ(linhas.front(), "14:12:58 - linha 349");
  EXPECT_EQ(linhas.back(), "14:07:59 - linha 50");

  // The user's own edits do not break it.
  f.memLog->TextoEditado("");
  f.AdicionarLog("depois");
  EXPECT_EQ(f.memLog->Linhas(), std::vector<std::string>{"14:12:59 - depois"});
}

TEST_F(AgenteTeste, StatusDaBandejaDuranteEDepoisDosCiclos) {
  TFrmAgentePrincipal* frm = nullptr;
  bool falhar = true;
  bool abrirStatus = false;
  TPassosAgente p;
  p.SincronizarConfig = [&] {
    if (abrirStatus) frm->miStatusClick();
    if (falhar) throw EHttpErro("sem rede");
  };
  frm = &Criar(p);  // the first pass fails: no successful pass yet
  abrirStatus = true;
  frm->ExecutarCiclo();
  ASSERT_EQ(ui::headless::Caixas().size(), 1u);
  EXPECT_EQ(ui::headless::Caixas()[0].Texto, "Comunicando...\r\nUltima comunicacao: --");
  EXPECT_EQ(ui::headless::Caixas()[0].Titulo, "Zelvan");
  EXPECT_EQ(ui::headless::Caixas()[0].Tipo, ui::TTipoCaixa::Informacao);

  abrirStatus = false;
  falhar = false;
  frm->ExecutarCiclo();
  Relogio.Avancar(60000);
  falhar = true;
  frm->ExecutarCiclo();
  frm->miStatusClick();
  EXPECT_EQ(ui::headless::Caixas().back().Texto, "Erro\r\nUltima comunicacao: 05/03/2025 14:07:09");
}

}  // namespace
