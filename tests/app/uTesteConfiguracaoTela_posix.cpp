// The settings tab: loading and saving with the interval rules, and the buttons.
#include <gtest/gtest.h>

#include "platform/uErros.h"
#include "platform/uTexto.h"
#include "tests/app/uAgenteFixture.h"

namespace {

TEST_F(AgenteTeste, CarregarLimitaSoPorBaixo) {
  struct Caso {
    const char* Guardado;  // nullptr: no config.ini at all
    const char* Mostrado;
    uint32_t TimerMs;
  };
  const Caso casos[] = {
      {nullptr, "10", 10000},
      {"0", "5", 5000},
      {"-7", "5", 5000},
      {"5", "5", 5000},
      {"100000", "100000", 100000000},
      {"2147483647", "2147483647", 0x7FFFFFFF},
  };
  for (const Caso& c : casos) {
    TBaseTemporaria base;
    if (c.Guardado) TConfigINI::EscreverTexto("SERVIDOR", "INTERVALO_SEGUNDOS", c.Guardado);
    auto& f = Criar();
    EXPECT_EQ(f.edtIntervalo->Texto(), c.Mostrado) << (c.Guardado ? c.Guardado : "(none)");
    EXPECT_EQ(f.TimerPrincipal.Intervalo(), c.TimerMs) << (c.Guardado ? c.Guardado : "(none)");
    Frm.reset();
  }
}

TEST_F(AgenteTeste, CarregarMostraOsCamposDoArquivo) {
  TConfigAgente cfg;
  cfg.URL = "http://servidor/app";
  cfg.ApiToken = "tok-123";
  cfg.UsarSSL = false;
  cfg.IntervaloSegundos = 30;
  TConfigINI::Salvar(cfg);
  auto& f = Criar();
  EXPECT_EQ(f.edtURL->Texto(), "http://servidor/app");
  EXPECT_EQ(f.edtApiToken->Texto(), "tok-123");
  EXPECT_FALSE(f.chkUsarSSL->Marcado());
  EXPECT_EQ(f.edtIntervalo->Texto(), "30");
}

TEST_F(AgenteTeste, SalvarLimitaOIntervaloEDesligaOLogDetalhado) {
  struct Caso {
    const char* Digitado;
    int32_t Salvo;
  };
  const Caso casos[] = {{"", 120}, {"abc", 120}, {"12a", 120},     {"99999999999", 120}, {"3", 5},
                        {"5", 5},  {"60", 60},   {"86400", 86400}, {"100000", 86400}};
  TConfigINI::EscreverTexto("SEGURANCA", "SENHA_AGENTE_HASH", "ABCDEF");
  TConfigINI::EscreverTexto("LOG", "DETALHADO", "1");
  auto& f = Criar();
  for (const Caso& c : casos) {
    TConfigINI::EscreverTexto("LOG", "DETALHADO", "1");
    f.edtIntervalo->DefinirTexto(c.Digitado);
    f.SalvarConfiguracaoTela();
    EXPECT_EQ(f.edtIntervalo->Texto(), std::to_string(c.Salvo)) << c.Digitado;
    EXPECT_EQ(TConfigINI::LerInteiro("SERVIDOR", "INTERVALO_SEGUNDOS", 0), c.Salvo) << c.Digitado;
    EXPECT_EQ(TConfigINI::LerInteiro("SERVIDOR", "INTERVALO", 0), c.Salvo) << c.Digitado;
    EXPECT_EQ(f.TimerPrincipal.Intervalo(), static_cast<uint32_t>(c.Salvo) * 1000) << c.Digitado;
    EXPECT_EQ(TConfigINI::LerTexto("LOG", "DETALHADO", ""), "0") << c.Digitado;
  }
  // The server's hash is carried over untouched; the URL exactly as typed.
  f.edtURL->DefinirTexto("  servidor/x ");
  f.SalvarConfiguracaoTela();
  EXPECT_EQ(TConfigINI::Carregar().SenhaAgenteHash, "ABCDEF");
  EXPECT_EQ(TConfigINI::LerTexto("SERVIDOR", "URL", ""), "servidor/x");  // the INI reader trims
}

// What the IT department gives as policy is shown but cannot be edited, with
// a note saying so; the rest of the tab stays the employee's.
TEST_F(AgenteTeste, CamposDaPoliticaSaoSomenteLeitura) {
  const char* const chave = "SOFTWARE\\Policies\\Vesk\\Agent";
  struct Caso {
    const char* URL;    // "" : no policy
    const char* Token;  // "" : no policy
  };
  const Caso casos[] = {
      {"", ""},
      {"https://politica.empresa/intranet/", ""},
      {"", "token-da-politica"},
      {"https://politica.empresa/intranet/", "token-da-politica"},
      {"   ", ""},  // blank is no policy
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(std::string(c.URL) + " | " + c.Token);
    TBaseTemporaria base;
    // The file is written with no policy in the way, then the policy given.
    RegistroMemoria.DefinirMaquina(chave, "ServidorURL", "");
    RegistroMemoria.DefinirMaquina(chave, "ApiToken", "");
    TConfigAgente cfg;
    cfg.URL = "http://arquivo/app";
    cfg.ApiToken = "token-do-arquivo";
    TConfigINI::Salvar(cfg);
    RegistroMemoria.DefinirMaquina(chave, "ServidorURL", c.URL);
    RegistroMemoria.DefinirMaquina(chave, "ApiToken", c.Token);
    const bool temURL = !EmBranco(c.URL), temToken = !EmBranco(c.Token);
    auto& f = Criar();
    EXPECT_EQ(f.edtURL->Habilitado(), !temURL);
    EXPECT_EQ(f.edtApiToken->Habilitado(), !temToken);
    EXPECT_EQ(f.edtURL->Texto(), temURL ? c.URL : "http://arquivo/app");
    EXPECT_EQ(f.edtApiToken->Texto(), temToken ? c.Token : "token-do-arquivo");
    EXPECT_EQ(f.lblPolitica->Visivel(), temURL || temToken);
    EXPECT_TRUE(Contem(f.lblPolitica->Texto(), "departamento de TI"));
    // The rest of the tab stays editable.
    EXPECT_TRUE(f.edtIntervalo->Habilitado());
    EXPECT_TRUE(f.chkUsarSSL->Habilitado());
    EXPECT_TRUE(f.btnSalvar->Habilitado());
    Frm.reset();
  }
}

// A policy given or withdrawn while the window sat in the tray shows when it
// is opened again.
TEST_F(AgenteTeste, PoliticaMudadaApareceAoRestaurar) {
  const char* const chave = "SOFTWARE\\Policies\\Vesk\\Agent";
  TConfigAgente cfg;
  cfg.URL = "http://arquivo/app";
  cfg.ApiToken = "token-do-arquivo";
  TConfigINI::Salvar(cfg);
  auto& f = Criar();
  ASSERT_TRUE(f.edtURL->Habilitado());

  RegistroMemoria.DefinirMaquina(chave, "ServidorURL", "https://politica.empresa/");
  f.RestaurarDaBandeja();
  EXPECT_FALSE(f.edtURL->Habilitado());
  EXPECT_EQ(f.edtURL->Texto(), "https://politica.empresa/");
  EXPECT_TRUE(f.edtApiToken->Habilitado());
  EXPECT_TRUE(f.lblPolitica->Visivel());
  // Saving then leaves the file's URL as it was: the policy's is not copied.
  f.SalvarConfiguracaoTela();
  EXPECT_EQ(TConfigINI::LerTexto("SERVIDOR", "URL", ""), "http://arquivo/app");

  // Withdrawn: the field is the employee's again, with the file's value.
  f.IrParaBandeja();
  RegistroMemoria.DefinirMaquina(chave, "ServidorURL", "");
  f.RestaurarDaBandeja();
  EXPECT_TRUE(f.edtURL->Habilitado());
  EXPECT_EQ(f.edtURL->Texto(), "http://arquivo/app");
  EXPECT_FALSE(f.lblPolitica->Visivel());
}

// A text from the server with line breaks or other control characters stays
// one line on screen, as it does in the file; a tab is kept.
TEST_F(AgenteTeste, LogNaTelaTrocaCaracteresDeControle) {
  auto& f = Criar();
  struct Caso {
    std::string Mensagem, Linha;
  };
  const Caso casos[] = {
      {"Aviso: titulo\r\n14:00:00 - falso", "Aviso: titulo  14:00:00 - falso"},
      {"a\tb", "a\tb"},
      {std::string("x\0y\x1b[1m\x7f", 8) + "\xc2\x85z", "x y [1m  z"},
      {"acentua\xc3\xa7\xc3\xa3o", "acentua\xc3\xa7\xc3\xa3o"},
  };
  for (const Caso& c : casos) {
    f.AdicionarLog(c.Mensagem);
    EXPECT_EQ(f.memLog->Linhas()[0], "14:07:09 - " + c.Linha);
  }
}

TEST_F(AgenteTeste, MesmoIntervaloNaoReiniciaAContagem) {
  int ciclos = 0;
  TPassosAgente p;
  p.SincronizarConfig = [&] { ++ciclos; };
  auto& f = Criar(p);
  f.edtIntervalo->DefinirTexto("10");
  Relogio.Avancar(6000);
  f.SalvarConfiguracaoTela();
  Relogio.Avancar(4000);
  ui::headless::DispararTemporizadoresVencidos();
  EXPECT_EQ(ciclos, 2);
}

TEST_F(AgenteTeste, GravacaoRecusadaMostraOErroEMantemOTimer) {
  int ciclos = 0;
  TPassosAgente p;
  p.SincronizarConfig = [&] { ++ciclos; };
  auto& f = Criar(p);
  f.Mostrar();
  f.pgcPrincipal->AtivarPagina(1);
  const size_t linhasLog = f.memLog->Linhas().size();
  PerfilRecusavel.Recusar = true;
  f.edtIntervalo->DefinirTexto("300");
  f.btnSalvar->Clicar();
  ASSERT_EQ(ui::headless::Caixas().size(), 1u);
  EXPECT_EQ(ui::headless::Caixas()[0].Texto, "Unable to write to " + TConfigINI::ArquivoConfig());
  EXPECT_EQ(ui::headless::Caixas()[0].Titulo, "Zelvan");
  EXPECT_EQ(f.TimerPrincipal.Intervalo(), 10000u);
  EXPECT_EQ(f.memLog->Linhas().size(), linhasLog);  // no "Configuracao salva."

  ciclos = 0;
  f.btnTestar->Clicar();
  f.pgcPrincipal->AtivarPagina(0);
  f.btnExecutarAgora->Clicar();
  EXPECT_EQ(ciclos, 0);
  EXPECT_EQ(ui::headless::Caixas().size(), 3u);  // two more error boxes, no "Teste executado."
}

TEST_F(AgenteTeste, BotoesDoStatusEDaConfiguracao) {
  int ciclos = 0;
  TPassosAgente p;
  p.SincronizarConfig = [&] { ++ciclos; };
  auto& f = Criar(p);
  f.Mostrar();
  ciclos = 0;

  f.pgcPrincipal->AtivarPagina(1);
  f.btnSalvar->Clicar();
  EXPECT_EQ(f.memLog->Linhas()[0], "14:07:09 - Configuracao salva.");
  ASSERT_EQ(ui::headless::Caixas().size(), 1u);
  EXPECT_EQ(ui::headless::Caixas()[0].Texto, "Configuracao salva com sucesso.");
  EXPECT_EQ(ui::headless::Caixas()[0].Tipo, ui::TTipoCaixa::Informacao);
  EXPECT_EQ(ciclos, 0);

  f.btnTestar->Clicar();
  EXPECT_EQ(ciclos, 1);
  EXPECT_EQ(ui::headless::Caixas().back().Texto, "Teste executado. Verifique o log do agente.");

  f.pgcPrincipal->AtivarPagina(0);
  f.btnExecutarAgora->Clicar();
  EXPECT_EQ(ciclos, 2);
  EXPECT_EQ(ui::headless::Caixas().size(), 2u);

  f.btnLimparLog->Clicar();
  EXPECT_EQ(f.memLog->Linhas(), std::vector<std::string>{"14:07:09 - Log limpo."});
}

TEST_F(AgenteTeste, BotoesDeTarefas) {
  std::string resposta;
  bool falhar = false;
  int aberturas = 0;
  TPassosAgente p;
  p.BuscarTarefasJson = [&] {
    if (falhar) throw EHttpErro("Tempo esgotado");
    return resposta;
  };
  p.ExibirTarefasAgora = [&] { ++aberturas; };
  auto& f = Criar(p);
  f.Mostrar();
  f.pgcPrincipal->AtivarPagina(2);

  struct Caso {
    std::string Resposta;
    std::vector<std::string> Linhas;
  };
  const Caso casos[] = {
      {"{\"ok\":true,\r\n\"tarefas\":[]}", {"{\"ok\":true,", "\"tarefas\":[]}"}},
      {" \r\n\t ", {"Sem retorno da API de tarefas."}},
      {"", {"Sem retorno da API de tarefas."}},
  };
  for (const Caso& c : casos) {
    resposta = c.Resposta;
    f.btnAtualizarTarefas->Clicar();
    EXPECT_EQ(f.memTarefas->Linhas(), c.Linhas);
    EXPECT_EQ(f.memLog->Linhas()[0], "14:07:09 - Tarefas atualizadas na aba do agente.");
  }

  resposta = "x";
  f.btnAtualizarTarefas->Clicar();
  const auto linhasLog = f.memLog->Linhas();
  falhar = true;
  f.btnAtualizarTarefas->Clicar();
  ASSERT_EQ(ui::headless::Caixas().size(), 1u);
  EXPECT_EQ(ui::headless::Caixas()[0].Texto, "Tempo esgotado");
  EXPECT_EQ(f.memTarefas->Linhas(), std::vector<std::string>{"x"});
  EXPECT_EQ(f.memLog->Linhas(), linhasLog);

  f.btnAbrirTarefas->Clicar();
  EXPECT_EQ(aberturas, 1);
}

}  // namespace
