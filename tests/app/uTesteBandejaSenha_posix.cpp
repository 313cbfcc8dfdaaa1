// Tray messages and menu, the close password, closing, autostart and watchdog.
#include <gtest/gtest.h>

#include "app/uSenhaAgente.h"
#include "app/uStartupWindows.h"
#include "app/uTrayAgent.h"
#include "app/uWatchdogLauncher.h"
#include "platform/uArquivos.h"
#include "platform/uDigest.h"
#include "platform/uTexto.h"
#include "tests/app/uAgenteFixture.h"

namespace {

// SHA-256 of "segredo".
const std::string kHashSegredo = Sha256Hex("segredo");

void ResponderSenha(const std::string& ASenha) {
  ui::headless::ResponderEntrada = [ASenha](const ui::headless::TEntradaMostrada&,
                                            std::string& AValor) {
    AValor = ASenha;
    return true;
  };
}

TEST(TrayAgent, MensagensDoMouse) {
  const std::pair<intptr_t, TTrayClick> casos[] = {
      {515, TTrayClick::tcDuploClique}, {517, TTrayClick::tcBotaoDireito},
      {513, TTrayClick::tcNenhum},      {514, TTrayClick::tcNenhum},
      {512, TTrayClick::tcNenhum},      {516, TTrayClick::tcNenhum},
      {0, TTrayClick::tcNenhum},
  };
  for (const auto& [lparam, esperado] : casos)
    EXPECT_EQ(TTrayAgent::ProcessarMensagem(lparam), esperado) << lparam;
}

TEST_F(AgenteTeste, SenhaSemHashNaoPergunta) {
  for (const char* hash : {"", "   "}) {
    TConfigINI::EscreverTexto("SEGURANCA", "SENHA_AGENTE_HASH", hash);
    EXPECT_TRUE(TSenhaAgente::ConfirmarFechamento());
  }
  EXPECT_TRUE(ui::headless::Entradas().empty());
  EXPECT_TRUE(ui::headless::Caixas().empty());
}

TEST_F(AgenteTeste, SenhaComparadaPeloSha256) {
  struct Caso {
    std::string Guardado;
    bool Cancelar;
    std::string Digitada;
    bool Aceita;
  };
  const Caso casos[] = {
      {kHashSegredo, false, "segredo", true},
      {MaiusculasAscii(kHashSegredo), false, "segredo", true},
      {kHashSegredo, false, "Segredo", false},
      {kHashSegredo, false, " segredo", false},
      {kHashSegredo, true, "", false},
      // Cancel counts as the empty password, which may itself be the password.
      {Sha256Hex(""), true, "", true},
      // The stored value is compared as stored, blanks included.
      {kHashSegredo + " ", false, "segredo", false},
  };
  for (const Caso& c : casos) {
    ui::headless::Reiniciar();
    TConfigINI::EscreverTexto("SEGURANCA", "SENHA_AGENTE_HASH", "\"" + c.Guardado + "\"");
    if (!c.Cancelar) ResponderSenha(c.Digitada);
    EXPECT_EQ(TSenhaAgente::ConfirmarFechamento(), c.Aceita) << c.Digitada;
    ASSERT_EQ(ui::headless::Entradas().size(), 1u);
    EXPECT_EQ(ui::headless::Entradas()[0].Titulo, "Senha do Agente");
    EXPECT_EQ(ui::headless::Entradas()[0].Prompt, "Digite a senha para fechar:");
    EXPECT_EQ(ui::headless::Entradas()[0].Inicial, "");
    if (c.Aceita) {
      EXPECT_TRUE(ui::headless::Caixas().empty());
    } else {
      ASSERT_EQ(ui::headless::Caixas().size(), 1u);
      EXPECT_EQ(ui::headless::Caixas()[0].Texto,
                "Senha incorreta. O agente continuara em execucao.");
      EXPECT_EQ(ui::headless::Caixas()[0].Tipo, ui::TTipoCaixa::Aviso);
    }
  }
}

TEST_F(AgenteTeste, FecharPedeSenhaEUmaVezAceitaNaoPedeMais) {
  TConfigINI::EscreverTexto("SEGURANCA", "SENHA_AGENTE_HASH", kHashSegredo);
  auto& f = Criar();
  f.Mostrar();
  ResponderSenha("errada");
  EXPECT_FALSE(f.Fechar());
  EXPECT_TRUE(f.Visivel());
  EXPECT_FALSE(ui::app::Terminando());
  EXPECT_FALSE(f.FechandoAutorizado());

  ResponderSenha("segredo");
  EXPECT_TRUE(f.Fechar());
  EXPECT_TRUE(f.FechandoAutorizado());
  EXPECT_TRUE(ui::app::Terminando());
  const size_t perguntas = ui::headless::Entradas().size();
  EXPECT_TRUE(f.FormCloseQuery());
  EXPECT_EQ(ui::headless::Entradas().size(), perguntas);
}

TEST_F(AgenteTeste, SairComSenhaErradaDeixaOAgenteComIcone) {
  int finalizacoes = 0;
  TPassosAgente p;
  p.FinalizarChat = [&] { ++finalizacoes; };
  TConfigINI::EscreverTexto("SEGURANCA", "SENHA_AGENTE_HASH", kHashSegredo);
  auto& f = Criar(p);
  ResponderSenha("errada");
  f.miSairClick();
  EXPECT_FALSE(ui::app::Terminando());
  EXPECT_TRUE(TTrayAgent::IconeAdicionado());
  EXPECT_NE(AcoesIcone().back(), TAcaoIcone::Remover);
  EXPECT_EQ(finalizacoes, 0);

  ResponderSenha("segredo");
  f.miSairClick();
  EXPECT_TRUE(ui::app::Terminando());
  EXPECT_TRUE(f.FechandoAutorizado());
  EXPECT_EQ(AcoesIcone().back(), TAcaoIcone::Remover);
  EXPECT_FALSE(TTrayAgent::IconeAdicionado());
  EXPECT_EQ(finalizacoes, 1);
}

TEST_F(AgenteTeste, SairSemHashTerminaSemDialogo) {
  auto& f = Criar();
  f.miSairClick();
  EXPECT_TRUE(ui::app::Terminando());
  EXPECT_TRUE(ui::headless::Entradas().empty());
}

TEST_F(AgenteTeste, MensagensDaBandejaNaJanela) {
  auto& f = Criar();
  ui::headless::DefinirPosicaoCursor({1800, 1010});

  // Single clicks and moves do nothing.
  for (intptr_t l : {513, 512, 514}) EXPECT_TRUE(f.EntregarMensagem(1469, 1, l));
  EXPECT_FALSE(f.Visivel());
  EXPECT_TRUE(ui::headless::Menus().empty());

  f.EntregarMensagem(1469, 1, 515);
  EXPECT_TRUE(f.Visivel());
  EXPECT_EQ(ui::headless::JanelaEmPrimeiroPlano(), &f);

  ui::headless::EscolherItemMenu = [](const ui::headless::TMenuMostrado&) {
    return 1;
  };  // "Status"
  f.EntregarMensagem(1469, 1, 517);
  ASSERT_EQ(ui::headless::Menus().size(), 1u);
  EXPECT_EQ(ui::headless::Menus()[0].Itens, (std::vector<std::string>{"Abrir", "Status", "Sair"}));
  EXPECT_EQ(ui::headless::Menus()[0].Posicao.X, 1800);
  EXPECT_EQ(ui::headless::Menus()[0].Posicao.Y, 1010);
  ASSERT_EQ(ui::headless::Caixas().size(), 1u);
  EXPECT_EQ(ui::headless::Caixas()[0].Texto, "Online\r\nUltima comunicacao: 05/03/2025 14:07:09");

  EXPECT_FALSE(f.EntregarMensagem(1470, 0, 515));  // not ours
}

TEST_F(AgenteTeste, ShellReiniciadoRecebeOIconeDeNovo) {
  auto& f = Criar();
  Bandeja.Chamadas.clear();
  f.EntregarMensagem(TTrayAgent::MensagemTaskbarCreated(), 0, 0);
  ASSERT_EQ(AcoesIcone(), std::vector<TAcaoIcone>{TAcaoIcone::Adicionar});
  EXPECT_EQ(Bandeja.Chamadas[0].Dados.uCallbackMessage, 1469u);
  // Later refreshes modify the new icon.
  f.IrParaBandeja();
  EXPECT_EQ(AcoesIcone().back(), TAcaoIcone::Modificar);

  // After the icon was removed, a shell restart does not bring it back.
  TTrayAgent::Remover(&f);
  Bandeja.Chamadas.clear();
  f.EntregarMensagem(TTrayAgent::MensagemTaskbarCreated(), 0, 0);
  EXPECT_TRUE(Bandeja.Chamadas.empty());
}

TEST_F(AgenteTeste, IconeRecusadoContaComoAdicionado) {
  Bandeja.Resultado = false;
  auto& f = Criar();
  EXPECT_TRUE(TTrayAgent::IconeAdicionado());
  EXPECT_EQ(AcoesIcone().front(), TAcaoIcone::Adicionar);
  // Without a window there is nothing to show an icon for: no call at all.
  const std::vector<TAcaoIcone> antes = AcoesIcone();
  TTrayAgent::Adicionar(nullptr);
  TTrayAgent::Minimizar(nullptr);
  TTrayAgent::Restaurar(nullptr);
  EXPECT_EQ(AcoesIcone(), antes);
  (void)f;
}

TEST_F(AgenteTeste, RunRecusadoEhIgnorado) {
  RegistroMemoria.RecusarGravacao = true;
  EXPECT_NO_THROW(TStartupWindows::AtivarZelvan());
  std::string v;
  EXPECT_FALSE(RegistroMemoria.LerTextoUsuario(TStartupWindows::kChaveRun, "Vesk_Zelvan", v));
}

// The package's machine-wide value starts its copy at every log-on: that copy
// leaves the user's value alone unless it names itself or a program that is gone.
TEST_F(AgenteTeste, RunDoUsuarioAoLadoDoValorDaMaquina) {
  const std::string exe = Arquivos().CaminhoExecutavel();
  const std::string outra = Base.Base() + "agente" + kSep + "Zelvan.exe";
  ASSERT_TRUE(Arquivos().CriarPastas(PastaDe(outra)));
  ASSERT_TRUE(Arquivos().Gravar(outra, "MZ"));
  const std::string sumida = Base.Base() + "sumiu" + kSep + "Zelvan.exe";
  const std::string aspas = "\"" + exe + "\"";
  struct Caso {
    const char* Nome;
    std::string Maquina;  // "" : no machine-wide value
    std::string UsuarioAntes;
    std::string UsuarioDepois;  // "" : no user value
  };
  const Caso casos[] = {
      {"sem pacote: grava", "", "", aspas},
      {"sem pacote: substitui", "", "\"" + sumida + "\"", aspas},
      {"pacote de outra copia: grava", "\"" + outra + "\"", "", aspas},
      {"pacote desta copia: nao grava", aspas, "", ""},
      {"pacote, caixa diferente", "\"" + MaiusculasAscii(exe) + "\"", "", ""},
      {"pacote sem aspas", exe, "", ""},
      {"remove o que nomeia esta copia", aspas, aspas, ""},
      {"remove o que nomeia esta copia sem aspas", aspas, exe, ""},
      {"remove o que nomeia um arquivo ausente", aspas, "\"" + sumida + "\"", ""},
      {"mantem outra copia existente", aspas, "\"" + outra + "\"", "\"" + outra + "\""},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.Nome);
    TRegistroMemoria reg;
    SubstituirConcern<IRegistro> troca(reg);
    if (!c.Maquina.empty())
      reg.DefinirMaquina(TStartupWindows::kChaveRun, "Vesk_Zelvan", c.Maquina);
    if (!c.UsuarioAntes.empty())
      reg.GravarTextoUsuario(TStartupWindows::kChaveRun, "Vesk_Zelvan", c.UsuarioAntes);
    TStartupWindows::AtivarZelvan();
    std::string v;
    const bool ha = reg.LerTextoUsuario(TStartupWindows::kChaveRun, "Vesk_Zelvan", v);
    EXPECT_EQ(ha ? v : "", c.UsuarioDepois);
    EXPECT_EQ(ha, !c.UsuarioDepois.empty());
  }
}

TEST_F(AgenteTeste, WatchdogIniciadoOcultoQuandoExiste) {
  const std::string watchdog = PastaDoExecutavel() + "WatchdogAgente.exe";
  Arquivos().Apagar(watchdog);
  TWatchdogLauncher::IniciarWatchdog();
  EXPECT_TRUE(ShellGravador.Chamadas.empty());

  ASSERT_TRUE(Arquivos().Gravar(watchdog, "MZ"));
  TWatchdogLauncher::IniciarWatchdog();
  TWatchdogLauncher::IniciarWatchdog();  // every start starts another
  Arquivos().Apagar(watchdog);
  ASSERT_EQ(ShellGravador.Chamadas.size(), 2u);
  const TChamadaShell& c = ShellGravador.Chamadas[0];
  EXPECT_EQ(c.Janela, nullptr);
  EXPECT_EQ(c.Verbo, "open");
  EXPECT_EQ(c.Arquivo, watchdog);
  EXPECT_EQ(c.Parametros, "\"" + Arquivos().CaminhoExecutavel() + "\"");
  EXPECT_EQ(c.Pasta, "");
  EXPECT_EQ(c.Mostrar, kSwHide);
}

}  // namespace
