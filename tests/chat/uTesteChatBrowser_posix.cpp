// The chat launcher against a fake desktop: the address, the browser choice,
// the exact command line and log lines, the remembered process, raising the
// running window, and that no window or process the agent did not start is
// ever hidden or ended.
#include <gtest/gtest.h>

#include <algorithm>

#include "chat/uChatBrowser.h"
#include "platform/uArquivos.h"
#include "platform/uHttpTransporte.h"
#include "platform/uTexto.h"
#include "platform/uRegistro.h"
#include "tests/chat/uApoioChat.h"

namespace {

class ChatBrowser : public ChatTeste {
 protected:
  int Lancamentos() const {
    return static_cast<int>(
        std::count_if(FJanelas.Chamadas.begin(), FJanelas.Chamadas.end(),
                      [](const std::string& c) { return c.rfind("lancar ", 0) == 0; }));
  }
  bool Chamou(const std::string& AChamada) const {
    return std::find(FJanelas.Chamadas.begin(), FJanelas.Chamadas.end(), AChamada) !=
           FJanelas.Chamadas.end();
  }
  static std::string Id(THandleJanela J) { return std::to_string(J); }
};

TEST_F(ChatBrowser, EnderecoApararCodificarRepetirECarimbo) {
  RelogioTeste().Avancar(4294967295u - RelogioTeste().TickCount());  // the highest tick
  const struct {
    const char *Token, *Pc, *User, *Esperado;
  } casos[] = {
      {"  abc  ", "PC-1", "joao",
       "api_token=abc&token=abc&pc=PC-1&computador=PC-1&user=joao&usuario=joao"},
      {"t", " PC 2 ", "Jo\xC3\xA3o Silva",
       "api_token=t&token=t&pc=PC+2&computador=PC+2&user=Jo%C3%A3o+Silva&usuario=Jo%C3%A3o+Silva"},
      {"a&b=c", "",
       "con\xC3\xA7"
       "a",
       "api_token=a%26b%3Dc&token=a%26b%3Dc&pc=&computador=&user=con%C3%A7a&usuario=con%C3%A7a"},
  };
  for (const auto& k : casos)
    EXPECT_EQ(
        TVeskChatBrowser::MontarUrlChat(k.Token, k.Pc, k.User),
        UrlChat() + "chat_agent.php?" + k.Esperado + "&origem=agente&embed=1&light=1&_=4294967295")
        << k.Token;
}

TEST_F(ChatBrowser, EnderecoBaseDoConfigOuEmbutido) {
  TConfigINI::EscreverTexto("CHAT", "URL", "  http://chat.exemplo.test:81/c  ");
  EXPECT_EQ(TVeskChatBrowser::UrlBaseChat(), "http://chat.exemplo.test:81/c/");
  EXPECT_EQ(TVeskChatBrowser::HostChat(), "chat.exemplo.test");
  TConfigINI::EscreverTexto("CHAT", "URL", "   ");
  EXPECT_EQ(TVeskChatBrowser::UrlBaseChat(), std::string(VESK_URL_CHAT));
}

TEST_F(ChatBrowser, EnderecoDoConfigQuePoderiaVirarOpcaoOuOutroAlvoDaLugarAoEmbutido) {
  const char* const recusados[] = {
      "file:///C:/Windows/System32/calc.exe",
      "http://x/ --renderer-cmd-prefix=calc.exe",
      "https://x/\" --gpu-launcher=calc",
      "http://x/'a",
      "http://x/\tab",
      "http://x/\x7F",
      "http://x\\y/",
      "javascript:alert(1)",
      "chat.exemplo.test/",
      "http:///semhost",
  };
  const std::string aviso = "Aviso: [CHAT] URL recusada";
  size_t linhas = 0;
  for (const char* u : recusados) {
    TConfigINI::EscreverTexto("CHAT", "URL", u);
    EXPECT_EQ(TVeskChatBrowser::UrlBaseChat(), std::string(VESK_URL_CHAT)) << u;
    EXPECT_EQ(TVeskChatBrowser::HostChat(), MinusculasAscii(AnalisarUrlHttp(VESK_URL_CHAT).Host));
    // Asked every 3 seconds: the same refused value is logged once.
    EXPECT_EQ(TVeskChatBrowser::UrlBaseChat(), std::string(VESK_URL_CHAT)) << u;
    EXPECT_EQ(LinhasCom(aviso).size(), ++linhas) << u;
  }
  TConfigINI::EscreverTexto("CHAT", "URL", "HTTPS://chat.exemplo.test/c?x=1");
  EXPECT_EQ(TVeskChatBrowser::UrlBaseChat(), "HTTPS://chat.exemplo.test/c?x=1/");
  EXPECT_EQ(LinhasCom(aviso).size(), linhas);
}

TEST_F(ChatBrowser, EnderecoComOpcaoOuOutroAlvoNaoEhAbertoEOAceitoVaiEntreAspas) {
  const std::string chrome = CriarNavegador("ProgramFiles", true);
  for (const char* u : {"http://x/ --gpu-launcher=calc", "file:///c:/x.exe", "http://x/\"y"}) {
    TVeskChatBrowser::Abrir(u);
    EXPECT_EQ(Lancamentos(), 0) << u;
  }
  EXPECT_EQ(LinhasCom("Falha Vesk Chat: endereco recusado: ").size(), 3u);
  Arquivos().Apagar(chrome);
  TVeskChatBrowser::Abrir("file:///c:/x.exe");
  EXPECT_TRUE(FShell.Chamadas.empty()) << "handed to the shell";
  TVeskChatBrowser::Abrir("http://x/a?b=c");
  ASSERT_EQ(FShell.Chamadas.size(), 1u);
  EXPECT_EQ(FShell.Chamadas[0].Arquivo, "http://x/a?b=c");
}

TEST_F(ChatBrowser, EnderecoDaPoliticaVenceOConfig) {
  TRegistroMemoria reg;
  SubstituirConcern<IRegistro> troca(reg);
  TConfigINI::EscreverTexto("CHAT", "URL", "http://plantado.test/c/");
  reg.DefinirMaquina("SOFTWARE\\Policies\\Vesk\\Agent", "ChatURL", "https://chat.empresa.test/c");
  EXPECT_EQ(TVeskChatBrowser::UrlBaseChat(), "https://chat.empresa.test/c/");
  EXPECT_EQ(TVeskChatBrowser::HostChat(), "chat.empresa.test");
}

TEST_F(ChatBrowser, NavegadorNaOrdemDasSeisPastas) {
  EXPECT_EQ(TVeskChatBrowser::LocalizarNavegador(), "");
  const std::string edgePf = CriarNavegador("ProgramFiles", false);
  EXPECT_EQ(TVeskChatBrowser::LocalizarNavegador(), edgePf);
  const std::string edge86 = CriarNavegador("ProgramFiles(x86)", false);
  EXPECT_EQ(TVeskChatBrowser::LocalizarNavegador(), edgePf);
  const std::string chromeLocal = CriarNavegador("LocalAppData", true);
  EXPECT_EQ(TVeskChatBrowser::LocalizarNavegador(), chromeLocal) << "Chrome comes before Edge";
  const std::string chrome86 = CriarNavegador("ProgramFiles(x86)", true);
  EXPECT_EQ(TVeskChatBrowser::LocalizarNavegador(), chrome86);
  const std::string chromePf = CriarNavegador("ProgramFiles", true);
  EXPECT_EQ(TVeskChatBrowser::LocalizarNavegador(), chromePf);
  // Looked up afresh every time.
  Arquivos().Apagar(chromePf);
  EXPECT_EQ(TVeskChatBrowser::LocalizarNavegador(), chrome86);
  (void)edge86;
}

TEST_F(ChatBrowser, LancaComLinhaExataRegistraELembraProcesso) {
  const std::string chrome = CriarNavegador("ProgramFiles", true);
  const std::string url = TVeskChatBrowser::MontarUrlChat(kToken, "PC-TESTE", "joao");
  TVeskChatBrowser::Abrir(url);
  const std::string params = "--app=\"" + url + "\"" +
                             " --new-window --no-first-run --disable-extensions "
                             "--user-data-dir=\"C:\\Temp\\VeskIntranetChatProfileModernIcon\"";
  ASSERT_TRUE(Chamou("lancar " + chrome + "|" + params));
  EXPECT_NE(TVeskChatBrowser::ProcessoChat(), 0);
  EXPECT_NE(TVeskChatBrowser::ProcessoChatId(), 0u);

  const auto l1 = LinhasCom("Vesk Chat URL FINAL: ");
  const auto l2 = LinhasCom("Vesk Chat Browser: ");
  const auto l3 = LinhasCom("Vesk Chat Params: ");
  ASSERT_EQ(l1.size(), 1u);
  ASSERT_EQ(l2.size(), 1u);
  ASSERT_EQ(l3.size(), 1u);
  EXPECT_EQ(l2[0], "Vesk Chat Browser: " + chrome);
  for (const auto& l : {l1[0], l3[0]}) {
    EXPECT_EQ(l.find(kToken), std::string::npos) << "token in clear: " << l;
    EXPECT_NE(l.find("pc=PC-TESTE&computador=PC-TESTE&user=joao"), std::string::npos) << l;
  }
  EXPECT_NE(l3[0].find("--user-data-dir=\"C:\\Temp\\VeskIntranetChatProfileModernIcon\""),
            std::string::npos);

  // Asked again while it runs: the window is raised, nothing new is started and
  // the other address is not loaded.
  const THandleJanela janela = FJanelas.Janelas_.back().Janela;
  FJanelas.Minimizadas[janela] = true;
  TVeskChatBrowser::Abrir(url + "&outra=1");
  EXPECT_EQ(Lancamentos(), 1);
  EXPECT_TRUE(Chamou("mostrar " + Id(janela) + " 9")) << "not restored";
  EXPECT_TRUE(Chamou("frente " + Id(janela)));
  TVeskChatBrowser::Abrir(url);
  EXPECT_TRUE(Chamou("mostrar " + Id(janela) + " 1"));
  EXPECT_EQ(Lancamentos(), 1);

  // The employee closed it: the ended process is noticed and a new one started.
  FJanelas.Encerrar(TVeskChatBrowser::ProcessoChatId());
  const int handles = FJanelas.HandlesAbertos;
  TVeskChatBrowser::Abrir(url);
  EXPECT_EQ(Lancamentos(), 2);
  EXPECT_EQ(FJanelas.HandlesAbertos, handles) << "the ended process's handle was not closed";
}

TEST_F(ChatBrowser, IconeDaPastaDoProgramaNaJanelaQueAparece) {
  CriarNavegador("LocalAppData", false);
  const std::string ico = PastaDoExecutavel() + "chat_balao.ico";
  GravarArquivoTeste(ico, "ico");
  TVeskChatBrowser::Abrir("http://x/");
  Arquivos().Apagar(ico);
  ASSERT_EQ(FJanelas.Icones.size(), 1u);
  EXPECT_EQ(FJanelas.Icones[0].first, FJanelas.Janelas_.back().Janela);
  EXPECT_EQ(FJanelas.Icones[0].second, ico);
  // Without the icon files nothing changes.
  TVeskChatBrowser::Fechar();
  TVeskChatBrowser::Abrir("http://x/");
  EXPECT_EQ(FJanelas.Icones.size(), 1u);
}

TEST_F(ChatBrowser, JanelaQueNaoApareceEsperaTrintaVezes) {
  CriarNavegador("ProgramFiles", true);
  FJanelas.LancamentoAbreJanela = false;
  int bombeadas = 0;
  ui::headless::AoProcessarMensagens = [&] { ++bombeadas; };
  const uint64_t antes = RelogioTeste().TotalDormido;
  TVeskChatBrowser::Abrir("http://x/");
  EXPECT_EQ(RelogioTeste().TotalDormido - antes, 30u * 150u);
  EXPECT_EQ(bombeadas, 30) << "messages not dispatched between attempts";
  EXPECT_NE(TVeskChatBrowser::ProcessoChat(), 0) << "the launch is still remembered";
}

TEST_F(ChatBrowser, FalhasDoLancamentoEManipuladorPadrao) {
  // No Chrome, no Edge: the system's handler, nothing remembered.
  const std::string url = TVeskChatBrowser::MontarUrlChat(kToken, "PC", "u");
  TVeskChatBrowser::Abrir(url);
  ASSERT_EQ(FShell.Chamadas.size(), 1u);
  EXPECT_EQ(FShell.Chamadas[0].Verbo, "open");
  EXPECT_EQ(FShell.Chamadas[0].Arquivo, url);
  EXPECT_EQ(FShell.Chamadas[0].Parametros, "");
  EXPECT_EQ(FShell.Chamadas[0].Mostrar, kSwShowNormal);
  EXPECT_EQ(TVeskChatBrowser::ProcessoChat(), 0);
  const auto l = LinhasCom("Chrome/Edge não localizado. Abrindo URL FINAL do Vesk Chat: ");
  ASSERT_EQ(l.size(), 1u);
  EXPECT_EQ(l[0].find(kToken), std::string::npos);
  EXPECT_TRUE(LinhasCom("Falha ShellExecute Vesk Chat.").empty());
  FShell.Resultado = 31;
  TVeskChatBrowser::Abrir(url);
  EXPECT_EQ(LinhasCom("Falha ShellExecute Vesk Chat. Código=31").size(), 1u);

  // ShellExecuteEx refused: the failure line, state empty.
  CriarNavegador("ProgramFiles", true);
  FJanelas.LancamentoFalha = true;
  TVeskChatBrowser::Abrir(url);
  EXPECT_EQ(LinhasCom("Falha ShellExecuteEx Vesk Chat. Erro=5").size(), 1u);
  EXPECT_EQ(TVeskChatBrowser::ProcessoChat(), 0);
  EXPECT_EQ(TVeskChatBrowser::ProcessoChatId(), 0u);

  // A launch without a process handle: no id, and the window is found by title
  // only when its process proves to be the chat's.
  FJanelas.LancamentoFalha = false;
  FJanelas.LancamentoSemHandle = true;
  TVeskChatBrowser::Abrir(url);
  EXPECT_EQ(TVeskChatBrowser::ProcessoChatId(), 0u);
}

TEST_F(ChatBrowser, JanelaDeOutroProgramaComTituloDoChatNuncaEOcultadaNemEncerrada) {
  // The employee's own browser with the chat page in a tab (the default-handler
  // way), and another program that happens to have such a title.
  const uint32_t navegador =
      FJanelas.NovoProcesso("\"C:\\Chrome\\chrome.exe\" --profile-directory=Default");
  const THandleJanela aba =
      FJanelas.NovaJanela(navegador, "Chat - Comunicação interna - Google Chrome");
  const uint32_t outro = FJanelas.NovoProcesso("C:\\Apps\\mensageiro.exe");
  const THandleJanela alheia = FJanelas.NovaJanela(outro, "CHAT COMUNICACAO");
  FJanelas.Minimizadas[aba] = true;
  FJanelas.Minimizadas[alheia] = true;
  TVeskChatBrowser::FecharSeMinimizado();
  TVeskChatBrowser::Fechar();
  EXPECT_TRUE(FJanelas.Visivel(aba));
  EXPECT_TRUE(FJanelas.Visivel(alheia));
  EXPECT_TRUE(FJanelas.Terminados.empty());
  for (const auto& c : FJanelas.Chamadas) EXPECT_EQ(c.rfind("mostrar", 0), std::string::npos) << c;

  // A chat browser of an earlier run of the agent (its profile folder on the
  // command line) is the agent's own: closed.
  const uint32_t antigo = FJanelas.NovoProcesso(
      "\"C:\\Chrome\\chrome.exe\" --app=http://x/ "
      "--user-data-dir=\"c:\\temp\\veskintranetchatprofilemodernicon\"");
  const THandleJanela nosso = FJanelas.NovaJanela(antigo, "Vesk Chat - Comunicação");
  FJanelas.Minimizadas[nosso] = true;
  TVeskChatBrowser::FecharSeMinimizado();
  EXPECT_FALSE(FJanelas.Existe(nosso));
  EXPECT_EQ(FJanelas.Terminados, std::vector<uint32_t>{antigo});
  EXPECT_TRUE(FJanelas.Visivel(aba));

  // "chat" without "comunica" is never taken, whatever its process.
  const uint32_t perfil =
      FJanelas.NovoProcesso("x --user-data-dir=\"C:\\Temp\\VeskIntranetChatProfileModernIcon\"");
  const THandleJanela soChat = FJanelas.NovaJanela(perfil, "Chat");
  TVeskChatBrowser::Fechar();
  EXPECT_TRUE(FJanelas.Existe(soChat));
}

TEST_F(ChatBrowser, FecharTentaOitoVezesQuandoAJanelaFica) {
  const uint32_t p =
      FJanelas.NovoProcesso("chrome --user-data-dir=C:\\Temp\\VeskIntranetChatProfileModernIcon");
  FJanelas.Processos[p].Imortal = true;
  FJanelas.NovaJanela(p, "Chat - Comunicação interna");
  const uint64_t antes = RelogioTeste().TotalDormido;
  const int pausas = RelogioTeste().Pausas;
  TVeskChatBrowser::Fechar();
  EXPECT_EQ(FJanelas.Terminados.size(), 8u);
  EXPECT_EQ(RelogioTeste().Pausas - pausas, 8);
  EXPECT_EQ(RelogioTeste().TotalDormido - antes, 8u * 80u);
}

TEST_F(ChatBrowser, FecharSeMinimizadoFechaSoAJanelaMinimizadaDoChat) {
  CriarNavegador("ProgramFiles", true);
  TVeskChatBrowser::Abrir("http://x/");
  const THandleJanela j = FJanelas.Janelas_.back().Janela;
  const uint32_t id = TVeskChatBrowser::ProcessoChatId();
  TVeskChatBrowser::FecharSeMinimizado();
  EXPECT_TRUE(FJanelas.Existe(j)) << "closed while not minimised";
  FJanelas.Minimizadas[j] = true;
  TVeskChatBrowser::FecharSeMinimizado();
  EXPECT_TRUE(Chamou("mostrar " + Id(j) + " 0")) << "not hidden first";
  EXPECT_EQ(FJanelas.Terminados, std::vector<uint32_t>{id});
  EXPECT_EQ(TVeskChatBrowser::ProcessoChat(), 0);
  EXPECT_EQ(TVeskChatBrowser::ProcessoChatId(), 0u);
  EXPECT_EQ(FJanelas.HandlesAbertos, 0);
}

TEST_F(ChatBrowser, OnClosedGuardaSoOUltimo) {
  int a = 0, b = 0;
  TVeskChatBrowser::DefinirOnClosed([&](void*) { ++a; });
  TVeskChatBrowser::DefinirOnClosed([&](void*) { ++b; });
  ASSERT_TRUE(TVeskChatBrowser::OnClosed());
  TVeskChatBrowser::OnClosed()(nullptr);
  EXPECT_EQ(a, 0);
  EXPECT_EQ(b, 1);
}

}  // namespace
