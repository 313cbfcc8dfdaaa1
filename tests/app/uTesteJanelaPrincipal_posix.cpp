// The main window's layout, start-up, header centring and the tray's moves.
#include <gtest/gtest.h>

#include "app/uAplicacao.h"
#include "app/uTrayAgent.h"
#include "log/uLogger.h"
#include "tests/app/uAgenteFixture.h"

namespace {

using ui::TRetangulo;

TEST_F(AgenteTeste, ControlesNasPosicoesDoProjeto) {
  auto& f = Criar();
  struct Caso {
    ui::TControle* Controle;
    TRetangulo Limites;
  };
  const Caso casos[] = {
      {f.pnlTopo, {0, 0, 760, 82}},
      {f.imgLogoAgente, {18, 11, 60, 60}},
      {f.pgcPrincipal, {16, 98, 728, 406}},
      {f.memLog, {24, 116, 665, 190}},
      {f.btnExecutarAgora, {24, 326, 145, 34}},
      {f.btnLimparLog, {184, 326, 145, 34}},
      {f.edtURL, {24, 46, 665, 25}},
      {f.edtApiToken, {24, 108, 665, 25}},
      {f.edtIntervalo, {24, 170, 130, 25}},
      {f.chkUsarSSL, {184, 170, 130, 25}},
      {f.btnSalvar, {24, 230, 145, 34}},
      {f.btnTestar, {184, 230, 145, 34}},
      {f.memTarefas, {24, 86, 665, 220}},
      {f.btnAtualizarTarefas, {24, 326, 145, 34}},
      {f.btnAbrirTarefas, {184, 326, 145, 34}},
  };
  for (const Caso& c : casos) EXPECT_EQ(c.Controle->Limites(), c.Limites) << c.Controle->Nome;

  // Labels of automatic size: only the corner is fixed.
  const std::pair<ui::TControle*, ui::TPonto> rotulos[] = {
      {f.lblStatusTitulo, {24, 22}},      {f.lblStatus, {24, 52}},
      {f.lblUltimaComunicacao, {24, 76}}, {f.lblURL, {24, 23}},
      {f.lblApiToken, {24, 85}},          {f.lblIntervalo, {24, 147}},
      {f.lblTarefasTitulo, {24, 22}},     {f.lblTarefasInfo, {24, 52}},
  };
  for (const auto& [c, p] : rotulos) {
    EXPECT_EQ(c->Left(), p.X) << c->Nome;
    EXPECT_EQ(c->Top(), p.Y) << c->Nome;
    EXPECT_GT(c->Width(), 0) << c->Nome;
  }
  // The header labels follow their text and are centred in the panel.
  EXPECT_EQ(f.lblTitulo->Top(), 14);
  EXPECT_EQ(f.lblTitulo->Left(), (760 - f.lblTitulo->Width()) / 2);
  EXPECT_EQ(f.lblVersao->Top(), 48);

  EXPECT_EQ(f.ClientWidth(), 760);
  EXPECT_EQ(f.ClientHeight(), 520);
  EXPECT_EQ(f.Texto(), "Zelvan");
  EXPECT_EQ(f.Cor(), ui::kCorBranco);
  EXPECT_TRUE(f.Estilo().Redimensionavel);
  EXPECT_EQ(f.pnlTopo->Cor(), 0x0164E6u);
  EXPECT_TRUE(f.pnlTopo->AlinhadoAoTopo());
}

TEST_F(AgenteTeste, TextosFontesEComportamentoDosControles) {
  auto& f = Criar();
  ASSERT_EQ(f.pgcPrincipal->Paginas().size(), 3u);
  EXPECT_EQ(f.pgcPrincipal->Paginas()[0], f.tabStatus);
  EXPECT_EQ(f.tabStatus->Texto(), "Status");
  EXPECT_EQ(f.tabConfig->Texto(), "Configuracoes");
  EXPECT_EQ(f.tabTarefas->Texto(), "Tarefas");
  EXPECT_EQ(f.pgcPrincipal->IndiceAtivo(), 0);

  EXPECT_EQ(f.lblTitulo->Texto(), "Vesk Intranet Agent");
  EXPECT_EQ(f.lblTitulo->Alinhamento(), ui::TAlinhamento::Centro);
  const ui::TFonte titulo = f.lblTitulo->Fonte();
  EXPECT_EQ(titulo.Nome, "Segoe UI Semibold");
  EXPECT_EQ(titulo.Altura, 23);
  EXPECT_TRUE(titulo.Negrito);
  EXPECT_EQ(titulo.Cor, ui::kCorBranco);
  EXPECT_EQ(f.lblVersao->Fonte().Nome, "Segoe UI");
  EXPECT_EQ(f.lblVersao->Fonte().Altura, 13);
  EXPECT_EQ(f.lblVersao->Fonte().Cor, ui::kCorBranco);
  for (ui::TRotulo* r : {f.lblStatusTitulo, f.lblTarefasTitulo}) {
    EXPECT_EQ(r->Fonte().Nome, "Segoe UI Semibold");
    EXPECT_EQ(r->Fonte().Altura, 16);
    EXPECT_TRUE(r->Fonte().Negrito);
    EXPECT_EQ(r->Fonte().Cor, ui::kCorTextoJanela);
  }
  EXPECT_EQ(f.lblStatus->Fonte(), ui::TFonte{});

  EXPECT_EQ(f.lblStatusTitulo->Texto(), "Status atual");
  EXPECT_EQ(f.lblTarefasTitulo->Texto(), "Tarefas do agente");
  EXPECT_EQ(f.lblTarefasInfo->Texto(),
            "Use esta aba para validar a API de tarefas e abrir o painel operacional de tarefas.");
  EXPECT_EQ(f.btnExecutarAgora->Texto(), "Executar agora");
  EXPECT_EQ(f.btnLimparLog->Texto(), "Limpar log");
  EXPECT_EQ(f.btnSalvar->Texto(), "Salvar configuracao");
  EXPECT_EQ(f.btnTestar->Texto(), "Testar conexao");
  EXPECT_EQ(f.btnAtualizarTarefas->Texto(), "Atualizar tarefas");
  EXPECT_EQ(f.btnAbrirTarefas->Texto(), "Abrir painel tarefas");
  EXPECT_EQ(f.chkUsarSSL->Texto(), "Usar SSL");
  EXPECT_EQ(f.lblURL->Texto(), "URL do servidor");
  EXPECT_EQ(f.lblApiToken->Texto(), "API Token");
  EXPECT_EQ(f.lblIntervalo->Texto(), "Intervalo segundos");
  EXPECT_EQ(f.memTarefas->Linhas(),
            std::vector<std::string>{"Clique em Atualizar tarefas para consultar a API do Web."});

  EXPECT_EQ(f.edtApiToken->CaractereSenha(), '*');
  EXPECT_TRUE(f.edtIntervalo->SomenteDigitos());
  EXPECT_TRUE(f.memLog->BarraVertical());
  EXPECT_TRUE(f.memLog->QuebraLinha());
  EXPECT_FALSE(f.memLog->SomenteLeitura());
  EXPECT_TRUE(f.memTarefas->BarraVertical());

  ASSERT_EQ(f.TrayMenu.Itens.size(), 3u);
  EXPECT_EQ(f.TrayMenu.Itens[0].Nome, "miAbrir");
  EXPECT_EQ(f.TrayMenu.Itens[0].Texto, "Abrir");
  EXPECT_EQ(f.TrayMenu.Itens[1].Texto, "Status");
  EXPECT_EQ(f.TrayMenu.Itens[2].Texto, "Sair");
}

TEST_F(AgenteTeste, InicioSegueAOrdemEDeixaAJanelaNaBandeja) {
  std::vector<std::string> ordem;
  TPassosAgente p;
  p.VerificarAtualizacao = [&](const std::string& v) { ordem.push_back("update " + v); };
  p.SincronizarConfig = [&] { ordem.push_back("config"); };
  p.EnviarHeartbeat = [&](const std::string& v) { ordem.push_back("heartbeat " + v); };
  p.SincronizarInventario = [&] { ordem.push_back("inventario"); };
  p.VerificarMensagens = [&] { ordem.push_back("mensagens"); };
  p.VerificarTarefas = [&] { ordem.push_back("tarefas"); };
  p.VerificarComandos = [&] { ordem.push_back("comandos"); };
  p.AtualizarUnreadChat = [&] { ordem.push_back("chat"); };
  p.IniciarChat = [&](ui::TJanela&) { ordem.push_back("iniciar chat"); };
  p.FinalizarChat = [&] { ordem.push_back("finalizar chat"); };
  auto& f = Criar(p);

  // The bubble first: it never waits for the intranet, which may be slow.
  const std::vector<std::string> esperado = {"iniciar chat",      "update 1.0.115", "config",
                                             "heartbeat 1.0.115", "inventario",     "mensagens",
                                             "tarefas",           "comandos",       "chat"};
  EXPECT_EQ(ordem, esperado);
  EXPECT_EQ(f.lblVersao->Texto(), "Versao 1.0.115");
  EXPECT_EQ(f.lblVersao->Left(), (760 - f.lblVersao->Width()) / 2);
  EXPECT_EQ(f.lblStatus->Texto(), "Online");
  EXPECT_EQ(f.lblUltimaComunicacao->Texto(), "Ultima comunicacao: 05/03/2025 14:07:09");
  const std::vector<std::string> log = {
      "14:07:09 - Ciclo executado: config + heartbeat + inventario + mensagens + tarefas + "
      "comandos + update.",
      "14:07:09 - Verificando atualizacao do agente...", "14:07:09 - Agente iniciado.",
      "Log do agente"};
  EXPECT_EQ(f.memLog->Linhas(), log);

  // Icon added once, then refreshed by the move to the tray; window hidden.
  EXPECT_EQ(AcoesIcone(), (std::vector<TAcaoIcone>{TAcaoIcone::Adicionar, TAcaoIcone::Modificar}));
  const TDadosIcone& d = Bandeja.Chamadas[0].Dados;
  EXPECT_EQ(d.cbSize, Bandeja.Tamanho);
  EXPECT_EQ(d.uID, 1u);
  EXPECT_EQ(d.uFlags, 3u);
  EXPECT_EQ(d.uCallbackMessage, 1469u);
  EXPECT_EQ(d.hIcon, Bandeja.Icone);
  EXPECT_FALSE(f.Visivel());
  EXPECT_EQ(f.Estado(), ui::TEstadoJanela::Normal);

  // No config.ini: the default interval of 10 s drives the running timer.
  EXPECT_TRUE(f.TimerPrincipal.Habilitado());
  EXPECT_EQ(f.TimerPrincipal.Intervalo(), 10000u);
  EXPECT_EQ(f.edtIntervalo->Texto(), "10");

  std::string run;
  ASSERT_TRUE(RegistroMemoria.LerTextoUsuario("Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                                              "Vesk_Zelvan", run));
  EXPECT_EQ(run, "\"" + Arquivos().CaminhoExecutavel() + "\"");

  // Destroying the window finalises the chat and removes the icon.
  Frm.reset();
  EXPECT_EQ(ordem.back(), "finalizar chat");
  EXPECT_EQ(AcoesIcone().back(), TAcaoIcone::Remover);
  EXPECT_FALSE(TTrayAgent::IconeAdicionado());
}

TEST_F(AgenteTeste, TimerRodaUmCicloACadaIntervalo) {
  int ciclos = 0;
  TPassosAgente p;
  p.SincronizarConfig = [&] { ++ciclos; };
  auto& f = Criar(p);
  ASSERT_EQ(ciclos, 1);
  Relogio.Avancar(9999);
  ui::headless::DispararTemporizadoresVencidos();
  EXPECT_EQ(ciclos, 1);
  Relogio.Avancar(1);
  ui::headless::DispararTemporizadoresVencidos();
  EXPECT_EQ(ciclos, 2);
  (void)f;
}

TEST_F(AgenteTeste, CabecalhoCentradoComDivisaoTruncada) {
  auto& f = Criar();
  const int wt = f.lblTitulo->Width(), wv = f.lblVersao->Width();
  // Odd differences and a window narrower than the title, where truncation
  // toward zero differs from rounding down.
  for (int largura : {1000, 761, 100, 101}) {
    f.TamanhoMudou(largura, 520);
    EXPECT_EQ(f.pnlTopo->Width(), largura);
    EXPECT_EQ(f.lblTitulo->Left(), (largura - wt) / 2) << largura;
    EXPECT_EQ(f.lblVersao->Left(), (largura - wv) / 2) << largura;
    EXPECT_EQ(f.lblTitulo->Top(), 14);
    // Everything else keeps its design position.
    EXPECT_EQ(f.pgcPrincipal->Limites(), (TRetangulo{16, 98, 728, 406}));
  }
  // -87 / 2 truncates to -43 where rounding down would give -44.
  f.TamanhoMudou(wt - 87, 520);
  EXPECT_EQ(f.lblTitulo->Left(), -43);
}

TEST_F(AgenteTeste, FalhaQueOKitCapturaVaiParaOLog) {
  PrepararAplicacao();
  EXPECT_EQ(ui::app::Titulo(), "Zelvan");
  ui::app::RelatarFalha("Erro na janela imgMensagem (mensagem 0x000F): std::bad_alloc");
  ui::app::DefinirRelatoDeFalhas(nullptr);
  EXPECT_EQ(LerArquivoTeste(TLogger::ArquivoLogDoDia()),
            "2025-03-05 14:07:09 - Erro na janela imgMensagem (mensagem 0x000F): "
            "std::bad_alloc\r\n");
}

TEST_F(AgenteTeste, PrimeiraExibicaoSegueOEstadoDeInicio) {
  // Started normally: shown, normal, centred on the work area.
  auto& f = Criar();
  f.ExibirPrimeiraVez();
  EXPECT_TRUE(f.Visivel());
  EXPECT_EQ(f.Estado(), ui::TEstadoJanela::Normal);
  EXPECT_EQ(f.Left(), (1920 - f.Width()) / 2);
  EXPECT_EQ(f.Top(), (1040 - f.Height()) / 2);

  // Started minimised (a shortcut set to run minimised): the window stays in
  // the tray, as a minimise from the employee leaves it, with its icon.
  Frm.reset();
  ui::headless::DefinirEstadoInicial(ui::TEstadoJanela::Minimizada);
  auto& g = Criar();
  Bandeja.Chamadas.clear();
  g.ExibirPrimeiraVez();
  EXPECT_FALSE(g.Visivel());
  EXPECT_EQ(g.Estado(), ui::TEstadoJanela::Normal);
  EXPECT_TRUE(TTrayAgent::IconeAdicionado());
  EXPECT_EQ(AcoesIcone(), std::vector<TAcaoIcone>{TAcaoIcone::Modificar});
  // Opened from the tray, it comes up normal.
  g.miAbrirClick();
  EXPECT_TRUE(g.Visivel());
  EXPECT_EQ(g.Estado(), ui::TEstadoJanela::Normal);
}

TEST_F(AgenteTeste, MinimizarEscondeNaBandejaERestaurarTrazAFrente) {
  auto& f = Criar();
  f.Mostrar();
  Bandeja.Chamadas.clear();
  f.EstadoMudou(ui::TEstadoJanela::Minimizada);
  EXPECT_FALSE(f.Visivel());
  EXPECT_EQ(f.Estado(), ui::TEstadoJanela::Normal);
  EXPECT_EQ(AcoesIcone(), std::vector<TAcaoIcone>{TAcaoIcone::Modificar});

  f.miAbrirClick();
  EXPECT_TRUE(f.Visivel());
  EXPECT_EQ(ui::headless::JanelaEmPrimeiroPlano(), &f);
  EXPECT_EQ(AcoesIcone(), std::vector<TAcaoIcone>{TAcaoIcone::Modificar});  // icon stays
}

}  // namespace
