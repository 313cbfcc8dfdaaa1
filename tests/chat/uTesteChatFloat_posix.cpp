// The chat bubble, its unread polling and the toast on the headless kit,
// against the development server: the text scanner, the announce rules, mark
// all read, the place on the work area, click versus drag, the badge and the
// toast's texts and life.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "chat/uChatBrowser.h"
#include "chat/uChatFloat.h"
#include "chat/uChatUnread.h"
#include "chat/uChatPedidos.h"
#include "chat/uChatToast.h"
#include "tests/chat/uApoioChat.h"

namespace {

using ui::TBotaoMouse;
using ui::TTipoMouse;

// Runs the message loop until the chat's requests are done (real time).
bool AguardarPedidos(int AMs = 15000) {
  const auto fim = std::chrono::steady_clock::now() + std::chrono::milliseconds(AMs);
  while (TPedidosChat::Ocupado()) {
    if (std::chrono::steady_clock::now() > fim) return false;
    ui::app::ProcessarMensagens();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  ui::app::ProcessarMensagens();
  return true;
}

class ChatFloat : public ChatTeste {
 protected:
  void TearDown() override {
    AguardarPedidos();
    TVeskChatFloat::Finalizar();
    ChatTeste::TearDown();
  }
  TFrmChatFloat& Bolha() {
    TVeskChatFloat::Iniciar();
    EXPECT_TRUE(AguardarPedidos());
    return *TVeskChatFloat::Bolha();
  }
  void Poll(TFrmChatFloat& B, int AUnread, const std::string& ARemetente = "Ana",
            const std::string& APreview = "Oi") {
    DefinirChat(AUnread, ARemetente, APreview);
    B.PollUnread();
    ASSERT_TRUE(AguardarPedidos());
  }
  static void Mouse(TFrmChatFloat& B, TTipoMouse T, TBotaoMouse Bt, int X, int Y) {
    B.EntregarMouse({T, Bt, {X, Y}});
  }
};

TEST(ChatTexto, NaoLidas) {
  const struct {
    const char* Texto;
    int32_t Esperado;
  } casos[] = {
      {"{\"unread\":3,\"remetente_nome\":\"Ana\"}", 3},
      {"{ \"unread\" : 3 }", 3},
      {"{\"UNREAD\":12}", 12},
      {"{\"nao_lidas\":\"2\"}", 2},
      {"{\"unread\":-2}", 2},
      {"{\"unread\":null,\"outro\":7}", 7},
      {"{\"unread\":1000000000000000000000000000000}", 0},
      {"{\"unread\":2147483647}", 2147483647},
      {"{\"unread\":2147483648}", 0},
      {"{\"unread\":\"x\"}", 0},
      {"{\"nao_lidas\":4,\"unread\":5}", 5},
      {"\"unread\" 9", 9},
      {"<html>erro 500</html>", 0},
      {"", 0},
  };
  for (const auto& k : casos)
    EXPECT_EQ(TChatUnread::ExtrairNaoLidas(k.Texto), k.Esperado) << k.Texto;
}

TEST(ChatTexto, CampoEDecodificacao) {
  const struct {
    const char *Texto, *Chave, *Esperado;
  } casos[] = {
      {"{\"remetente_nome\":\"Ana\",\"preview\":\"Oi\"}", "preview", "Oi"},
      {"{\"remetente_nome\": \"Ana\"}", "REMETENTE_NOME", "Ana"},
      {"{\"Preview\":\"Bom DIA\"}", "preview", "Bom DIA"},
      {"{\"preview\":\"duas\\npalavras\"}", "preview", "duas palavras"},
      {"{\"preview\":\"caf\\u00e9\"}", "preview", "caf\xC3\xA9"},
      {"{\"preview\":\"\\ud83d\\ude00!\"}", "preview", "\xF0\x9F\x98\x80!"},
      {"{\"preview\":\"diz \\\"oi\\\" \\/ \\\\ \\b\"}", "preview", "diz \"oi\" / \\ b"},
      {"{\"preview\":\"corte \\u00", "preview", "corte 00"},
      {"{\"preview\":\"sem fim", "preview", "sem fim"},
      {"{\"preview\":null}", "preview", "null"},
      {"{\"preview\":42,\"x\":1}", "preview", "42"},
      {"{\"preview\":\t\r\n \"  espacos  \"}", "preview", "espacos"},
      {"{\"preview\"}", "preview", ""},
      {"{\"outro\":1}", "preview", ""},
      {"{\"preview\":\"a\\tb\\rc\"}", "preview", "a b c"},
      // Letters that are not hex digits count as 0: U+0000, trimmed at the end.
      {"{\"preview\":\"\\u0041\\u00zz\"}", "preview", "A"},
  };
  for (const auto& k : casos)
    EXPECT_EQ(TChatUnread::ExtrairCampoJson(k.Texto, k.Chave), k.Esperado) << k.Texto;
  EXPECT_EQ(TChatUnread::DecodificarTextoJson("  fim\\"), "fim\\");
  EXPECT_EQ(TChatUnread::DecodificarTextoJson("\\u12"), "12");
  // The four digits of \u are characters, not bytes: an accent counts as one
  // (a 0) and is never cut in two.
  EXPECT_EQ(TChatUnread::DecodificarTextoJson("\\uu12\xDB\x82!"), "\xC4\xA0!");
  EXPECT_EQ(TChatUnread::DecodificarTextoJson("\\u\u00e9ab"), "\u00e9ab");
}

TEST(ChatTexto, BadgeEToast) {
  EXPECT_EQ(TFrmChatFloat::TextoBadge(1), "1");
  EXPECT_EQ(TFrmChatFloat::TextoBadge(99), "99");
  EXPECT_EQ(TFrmChatFloat::TextoBadge(100), "99+");
  EXPECT_EQ(TFrmChatFloat::EsquerdaBadge(5), 50);
  EXPECT_EQ(TFrmChatFloat::EsquerdaBadge(15), 43);
  EXPECT_EQ(TFrmChatFloat::EsquerdaBadge(40), 38);
  const struct {
    int Qtd;
    const char *Contagem, *Badge;
  } casos[] = {{0, "0 mensagens não lidas", "0"},
               {1, "1 mensagem não lida", "1"},
               {3, "3 mensagens não lidas", "3"},
               {150, "150 mensagens não lidas", "99+"}};
  for (const auto& k : casos) {
    EXPECT_EQ(TFrmChatToast::TextoContagem(k.Qtd), k.Contagem);
    EXPECT_EQ(TFrmChatToast::TextoBadge(k.Qtd), k.Badge);
  }
  EXPECT_EQ(TFrmChatToast::TextoTitulo("  "), "Nova mensagem");
  EXPECT_EQ(TFrmChatToast::TextoTitulo(" Ana "), "Ana");
  EXPECT_EQ(TFrmChatToast::TextoPreview(""), "Nova mensagem recebida no chat.");
}

// The picture painted above 96 DPI is the same drawing at twice the size:
// averaged down to 72 it matches the embedded one, corners and all.
TEST(ChatTexto, ImagemNitidaEOMesmoDesenhoEmDobro) {
  TBitmap p72, p144;
  ASSERT_TRUE(TFrmChatFloat::CarregarPngEmbutido(p72));
  ASSERT_TRUE(TFrmChatFloat::CarregarPngNitido(p144));
  ASSERT_EQ(p144.Largura, 144);
  ASSERT_EQ(p144.Altura, 144);
  // Colours compared as they are blended (times alpha): under a transparent
  // pixel any colour is the same.
  const auto canal = [](uint32_t APixel, int AC) {
    const int a = static_cast<int>(APixel >> 24), v = static_cast<int>((APixel >> AC) & 0xFF);
    return AC == 24 ? v : v * a / 255;
  };
  long soma = 0, longe = 0;
  for (int y = 0; y < 72; ++y)
    for (int x = 0; x < 72; ++x)
      for (int c = 0; c < 32; c += 8) {
        int m = 0;
        for (int k = 0; k < 4; ++k)
          m += canal(p144.Pixels[(2 * y + k / 2) * 144 + 2 * x + k % 2], c);
        const int d = std::abs(m / 4 - canal(p72.Pixels[y * 72 + x], c));
        soma += d;
        longe += d > 48;
      }
  EXPECT_LT(soma / (72 * 72 * 4), 4) << "not the same drawing";
  EXPECT_LT(longe, 72 * 72 * 4 / 100) << "not the same drawing";
  EXPECT_LE(p144.Pixels[0] >> 24, 8u) << "corners are not transparent";
  EXPECT_LE(p144.Pixels[144 * 144 - 1] >> 24, 8u) << "corners are not transparent";
  EXPECT_GT(p144.Pixels[72 * 144 + 72] >> 24, 8u);
}

TEST(ChatTexto, RegiaoDaImagemEBadge) {
  TBitmap png;
  ASSERT_TRUE(TFrmChatFloat::CarregarPngEmbutido(png));
  EXPECT_EQ(png.Largura, 72);
  EXPECT_EQ(png.Altura, 72);
  EXPECT_LE(png.Pixels[0] >> 24, 8u) << "corners are not transparent";
  EXPECT_GT(png.Pixels[36 * 72 + 36] >> 24, 8u);
  const ui::TRegiao r = TFrmChatFloat::RegiaoDaImagem(&png, 72, 72, 0);
  EXPECT_TRUE(r.Arredondados.empty());
  EXPECT_FALSE(r.Contem({0, 0}));
  EXPECT_FALSE(r.Contem({71, 71}));
  EXPECT_TRUE(r.Contem({36, 36}));
  EXPECT_TRUE(r.Contem({36, 1}));
  const ui::TRegiao b = TFrmChatFloat::RegiaoDaImagem(&png, 72, 72, 1);
  ASSERT_EQ(b.Arredondados.size(), 1u);
  EXPECT_EQ(b.Arredondados[0], (ui::TRegiao::TArredondado{37, 0, 72, 24, 12}));
  EXPECT_TRUE(b.Contem({70, 2}));
  // No picture: the whole square.
  const ui::TRegiao q = TFrmChatFloat::RegiaoDaImagem(nullptr, 72, 72, 0);
  ASSERT_EQ(q.Retangulos.size(), 1u);
  EXPECT_EQ(q.Retangulos[0], (ui::TRetangulo{0, 0, 72, 72}));
}

TEST_F(ChatFloat, LugarPadraoGuardadoEForaDaArea) {
  {
    TFrmChatFloat& b = Bolha();
    EXPECT_EQ(b.Left(), 1830);
    EXPECT_EQ(b.Top(), 848);
    EXPECT_TRUE(b.Visivel());
    EXPECT_TRUE(b.Estilo().SempreNoTopo);
    EXPECT_FALSE(b.Estilo().NaBarraDeTarefas);
    EXPECT_EQ(b.ClientWidth(), 72);
    EXPECT_TRUE(b.TemImagem());
    EXPECT_EQ(LinhasCom("Vesk Chat Float exibido em 1830,848").size(), 1u);
    EXPECT_EQ(LinhasCom("Vesk Chat: balao oficial carregado embutido. Tamanho=72x72").size(), 1u);
    // Iniciar again: the same bubble.
    TVeskChatFloat::Iniciar();
    EXPECT_EQ(TVeskChatFloat::Bolha(), &b);
  }
  TVeskChatFloat::Finalizar();
  TVeskChatFloat::Finalizar();
  EXPECT_EQ(TConfigINI::LerInteiro("CHAT_FLOAT", "LEFT", 0), 1830);

  const struct {
    const char *L, *T;
    int EsperadoL, EsperadoT;
  } casos[] = {{"-500", "99999", 10, 1040 - 72 - 10},
               {"abc", "", 1830, 848},
               {"5000", "-3", 1920 - 72 - 10, 10},
               {"1848", "968", 1848, 968}};
  for (const auto& k : casos) {
    TConfigINI::EscreverTexto("CHAT_FLOAT", "LEFT", k.L);
    TConfigINI::EscreverTexto("CHAT_FLOAT", "TOP", k.T);
    TFrmChatFloat& b = Bolha();
    EXPECT_EQ(b.Left(), k.EsperadoL) << k.L;
    EXPECT_EQ(b.Top(), k.EsperadoT) << k.T;
    TVeskChatFloat::Finalizar();
  }
}

TEST_F(ChatFloat, SequenciaDeContagensAnunciaSoAsSubidas) {
  DefinirChat(0, "", "");
  TFrmChatFloat& b = Bolha();
  EXPECT_EQ(b.LastUnread(), 0);
  const int sons = SonsNotificacaoTocados();
  const struct {
    int N;
    bool Anuncia;
  } passos[] = {{2, true}, {2, false}, {1, false}, {3, true}};
  TFrmChatToast* anterior = nullptr;
  int anuncios = 0;
  for (const auto& p : passos) {
    Poll(b, p.N, "Ana", "Oi");
    EXPECT_EQ(b.Unread(), p.N);
    EXPECT_EQ(b.LastUnread(), p.N);
    if (p.Anuncia) {
      ++anuncios;
      ASSERT_NE(TVeskChatFloat::ToastAtual(), nullptr);
      EXPECT_NE(TVeskChatFloat::ToastAtual(), anterior) << "no new toast at " << p.N;
      EXPECT_TRUE(TVeskChatFloat::ToastAtual()->Visivel());
      EXPECT_EQ(b.FlashTicks(), 8);
    }
    anterior = TVeskChatFloat::ToastAtual();
    EXPECT_EQ(SonsNotificacaoTocados() - sons, anuncios) << p.N;
  }
  const auto l = LinhasCom("Vesk Chat: nova mensagem detectada. Não lidas=");
  ASSERT_EQ(l.size(), 2u);
  EXPECT_EQ(l[0], "Vesk Chat: nova mensagem detectada. Não lidas=2 de Ana");
  EXPECT_EQ(l[1], "Vesk Chat: nova mensagem detectada. Não lidas=3 de Ana");
  // Every poll asked with the token, computer and user, twice each, in order.
  const auto q = Consultas("chat/api/agent_chat_unread.php");
  ASSERT_FALSE(q.empty());
  EXPECT_EQ(q.back().rfind(std::string("api_token=") + kToken + "&token=" + kToken +
                               "&pc=PC-TESTE&computador=PC-TESTE&user=joao&usuario=joao&_=",
                           0),
            0u)
      << q.back();
}

// A sender and a preview of any length reach the log line and the toast cut
// at 200 characters, no character split.
TEST_F(ChatFloat, RemetenteEPreviewCortadosEm200) {
  DefinirChat(0, "", "");
  TFrmChatFloat& b = Bolha();
  const std::string nome = std::string(199, 'N') + "\xC3\xA9" + std::string(300, 'x');
  const std::string texto = std::string(5000, 'p');
  Poll(b, 1, nome, texto);
  EXPECT_EQ(b.UltimoRemetente(), std::string(199, 'N') + "\xC3\xA9");
  EXPECT_EQ(b.UltimaMensagem(), std::string(200, 'p'));
  const auto l = LinhasCom("Vesk Chat: nova mensagem detectada. Não lidas=1 de ");
  ASSERT_EQ(l.size(), 1u);
  EXPECT_EQ(l[0], "Vesk Chat: nova mensagem detectada. Não lidas=1 de " + std::string(199, 'N') +
                      "\xC3\xA9");
  ASSERT_NE(TVeskChatFloat::ToastAtual(), nullptr);
  EXPECT_EQ(TFrmChatToast::TextoTitulo(nome), std::string(199, 'N') + "\xC3\xA9");
  EXPECT_EQ(TFrmChatToast::TextoPreview(texto), std::string(200, 'p'));
}

// The sender and the preview under their second names, which count only
// when the first names give nothing.
TEST_F(ChatFloat, UltimoRemetenteEUltimaMensagemQuandoOsPrimeirosFaltam) {
  DefinirChat(0, "", "");
  TFrmChatFloat& b = Bolha();
  const struct {
    const char* Nome;
    const char* Corpo;
    const char *Remetente, *Mensagem;
  } casos[] = {
      {"so os segundos", R"({"unread":1,"ultimo_remetente":"Ana","ultima_mensagem":"Oi"})", "Ana",
       "Oi"},
      {"primeiros em branco",
       R"({"unread":1,"remetente_nome":" ","ultimo_remetente":"Bia","preview":"",)"
       R"("ultima_mensagem":"Tchau"})",
       "Bia", "Tchau"},
      {"primeiros vencem",
       R"({"unread":1,"ultimo_remetente":"Bia","remetente_nome":"Caio",)"
       R"("ultima_mensagem":"Tchau","preview":"Oi"})",
       "Caio", "Oi"},
      {"um de cada", R"({"unread":1,"ultimo_remetente":"Dora","preview":"Bom dia"})", "Dora",
       "Bom dia"},
      {"nenhum", R"({"unread":1,"ultimo_remetente":"","ultima_mensagem":"  "})", "Nova mensagem",
       "Nova mensagem recebida no chat."},
  };
  for (const auto& c : casos) {
    SCOPED_TRACE(c.Nome);
    RespostaChat("api/agent_chat_unread.php", c.Corpo);
    b.PollUnread();
    ASSERT_TRUE(AguardarPedidos());
    EXPECT_EQ(b.UltimoRemetente(), c.Remetente);
    EXPECT_EQ(b.UltimaMensagem(), c.Mensagem);
  }
}

// A log-off or shutdown that is asked about and then cancelled, and Alt+F4 on
// the bubble, leave the bubble and the toast on screen and the polling on;
// only the real end of the session takes them away.
TEST_F(ChatFloat, FimDeSessaoCanceladoEAltF4NaoTiramOBalao) {
  DefinirChat(0, "", "");
  TFrmChatFloat& b = Bolha();
  Poll(b, 2);
  TFrmChatToast* t = TVeskChatFloat::ToastAtual();
  ASSERT_NE(t, nullptr);
  ASSERT_TRUE(b.Visivel());
  ASSERT_TRUE(t->Visivel());
  // WM_QUERYENDSESSION; a cancelled end then comes as WM_ENDSESSION FALSE,
  // which reaches no handler.
  for (ui::TJanela* j : {static_cast<ui::TJanela*>(&b), static_cast<ui::TJanela*>(t)}) {
    ASSERT_TRUE(j->AoConsultarFimSessao) << j->Nome;
    EXPECT_TRUE(j->AoConsultarFimSessao()) << j->Nome;
    EXPECT_TRUE(j->Visivel()) << j->Nome;
    EXPECT_FALSE(j->Fechada()) << j->Nome;
  }
  // Alt+F4 or the system's close command (WM_CLOSE) on the bubble.
  EXPECT_FALSE(b.Fechar());
  EXPECT_TRUE(b.Visivel());
  EXPECT_FALSE(b.Fechada());
  EXPECT_TRUE(b.TimerChat().Habilitado());
  Poll(b, 3);
  EXPECT_EQ(b.Unread(), 3);

  // The real end (WM_ENDSESSION TRUE), heard by each window.
  t = TVeskChatFloat::ToastAtual();
  ASSERT_NE(t, nullptr);
  ASSERT_TRUE(t->Visivel());
  t->EncerrarSessao();
  EXPECT_FALSE(t->Visivel());
  b.EncerrarSessao();
  EXPECT_FALSE(b.Visivel());
  EXPECT_FALSE(b.TimerChat().Habilitado());
  EXPECT_FALSE(b.TimerKeepVisible().Habilitado());
  ui::headless::Reiniciar();
}

TEST_F(ChatFloat, PrimeiroPollSoRegistraEFalhaNaoMudaNada) {
  DefinirChat(5, "Bia", "");
  TFrmChatFloat& b = Bolha();
  EXPECT_EQ(b.Unread(), 5);
  EXPECT_EQ(TVeskChatFloat::ToastAtual(), nullptr) << "the first poll announced";
  EXPECT_EQ(b.UltimoRemetente(), "Bia");
  EXPECT_EQ(b.UltimaMensagem(), "Nova mensagem recebida no chat.");
  ui::TCanvasGravador c;
  b.PintarEm(c);
  ASSERT_GE(c.Comandos.size(), 4u);
  EXPECT_EQ(c.Comandos[0].Pincel, 0x006EFDu);
  EXPECT_EQ(c.Comandos[2].Tipo, ui::TComandoPintura::TTipo::RetanguloArredondado);
  EXPECT_EQ(c.Comandos[2].Ret.Left, 50);
  EXPECT_EQ(c.Comandos[2].Ret.Right(), 72);
  EXPECT_EQ(c.Comandos[3].Texto, "5");

  // The chat server down: the failure line with the token masked, state kept.
  TConfigINI::EscreverTexto("CHAT", "URL", EnderecoFechado());
  b.PollUnread();
  ASSERT_TRUE(AguardarPedidos());
  const auto l = LinhasCom("Vesk Chat unread falhou: ");
  ASSERT_EQ(l.size(), 1u);
  EXPECT_NE(l[0].find(" URL=" + EnderecoFechado() + "api/agent_chat_unread.php?api_token="),
            std::string::npos)
      << l[0];
  EXPECT_EQ(l[0].find(kToken), std::string::npos) << l[0];
  EXPECT_EQ(b.Unread(), 5);
  EXPECT_EQ(b.LastUnread(), 5);

  // A page that is no JSON reads as 0; the next proper count is announced.
  TConfigINI::EscreverTexto("CHAT", "URL", UrlChat());
  RespostaChat("api/agent_chat_unread.php", "<html><body>Erro 500</body></html>");
  b.PollUnread();
  ASSERT_TRUE(AguardarPedidos());
  EXPECT_EQ(b.Unread(), 0);
  EXPECT_EQ(b.LastUnread(), 0);
  ui::TCanvasGravador sem;
  b.PintarEm(sem);
  EXPECT_EQ(sem.Comandos.size(), 2u) << "a badge at 0";
  EXPECT_TRUE(b.Regiao().Arredondados.empty());
}

// Above 96 DPI the larger picture is painted into the same 72 x 72 (scaled
// down by the backend); at 96 the embedded one as it is.
TEST_F(ChatFloat, AcimaDe96DpiPintaAImagemMaior) {
  DefinirChat(0, "", "");
  TFrmChatFloat& b = Bolha();
  struct TCanvasDpi : ui::TCanvasGravador {
    int D = 96;
    int Dpi() const override { return D; }
  };
  for (const auto& [dpi, esperado] : {std::pair{96, "72x72"}, std::pair{120, "144x144"},
                                      std::pair{144, "144x144"}, std::pair{192, "144x144"}}) {
    TCanvasDpi c;
    c.D = dpi;
    b.PintarEm(c);
    ASSERT_GE(c.Comandos.size(), 2u);
    EXPECT_EQ(c.Comandos[1].Tipo, ui::TComandoPintura::TTipo::Imagem);
    EXPECT_EQ(c.Comandos[1].Texto, esperado) << dpi;
    EXPECT_EQ(c.Comandos[1].Ret.Width, 72) << dpi;
    EXPECT_EQ(c.Comandos[1].Ret.Height, 72) << dpi;
  }
}

TEST_F(ChatFloat, CliqueMarcaLidasEAbreArrastoGuardaLugar) {
  DefinirChat(3, "Ana", "Oi");
  TFrmChatFloat& b = Bolha();
  ASSERT_EQ(b.Unread(), 3);
  Admin("admin/requests/clear");
  // A press, 3 pixels and a release: a click.
  Mouse(b, TTipoMouse::Baixo, TBotaoMouse::Esquerdo, 30, 30);
  Mouse(b, TTipoMouse::Move, TBotaoMouse::Nenhum, 33, 27);
  EXPECT_FALSE(b.Dragging());
  Mouse(b, TTipoMouse::Cima, TBotaoMouse::Esquerdo, 33, 27);
  // A second click while the chat opens is ignored.
  Mouse(b, TTipoMouse::Baixo, TBotaoMouse::Esquerdo, 30, 30);
  Mouse(b, TTipoMouse::Cima, TBotaoMouse::Esquerdo, 30, 30);
  ASSERT_TRUE(AguardarPedidos());
  EXPECT_EQ(Consultas("chat/api/agent_chat_mark_read_all.php").size(), 1u);
  EXPECT_EQ(b.Unread(), 0) << "confirmed mark-all-read did not clear the badge";
  EXPECT_EQ(b.LastUnread(), 0);
  EXPECT_EQ(b.UltimoRemetente(), "");
  EXPECT_EQ(
      LinhasCom("Vesk Chat: servidor confirmou marcar tudo como lido. Ret={\"ok\":true}").size(),
      1u);
  const auto a = LinhasCom("Vesk Chat abrindo com token=tok-ch... pc=PC-TESTE user=joao");
  EXPECT_EQ(a.size(), 1u);
  // No browser here: the default handler got the chat page.
  ASSERT_EQ(FShell.Chamadas.size(), 1u);
  EXPECT_EQ(FShell.Chamadas[0].Arquivo.rfind(UrlChat() + "chat_agent.php?api_token=", 0), 0u);
  EXPECT_FALSE(b.Abrindo());

  // The right button does nothing.
  Mouse(b, TTipoMouse::Baixo, TBotaoMouse::Direito, 30, 30);
  Mouse(b, TTipoMouse::Cima, TBotaoMouse::Direito, 30, 30);
  EXPECT_FALSE(TPedidosChat::Ocupado());
  EXPECT_EQ(FShell.Chamadas.size(), 1u);

  // 4 pixels: a drag; the grabbed point stays under the pointer, and the
  // release stores the place instead of opening.
  Mouse(b, TTipoMouse::Baixo, TBotaoMouse::Esquerdo, 30, 30);
  ui::headless::DefinirPosicaoCursor({1000, 500});
  Mouse(b, TTipoMouse::Move, TBotaoMouse::Nenhum, 34, 30);
  EXPECT_TRUE(b.Dragging());
  EXPECT_EQ(b.Left(), 970);
  EXPECT_EQ(b.Top(), 470);
  // Past the edge: 10 pixels inside it.
  ui::headless::DefinirPosicaoCursor({1950, 2000});
  Mouse(b, TTipoMouse::Move, TBotaoMouse::Nenhum, 40, 40);
  EXPECT_EQ(b.Left(), 1920 - 72 - 10);
  EXPECT_EQ(b.Top(), 1040 - 72 - 10);
  Mouse(b, TTipoMouse::Cima, TBotaoMouse::Esquerdo, 40, 40);
  EXPECT_FALSE(TPedidosChat::Ocupado());
  EXPECT_EQ(TConfigINI::LerInteiro("CHAT_FLOAT", "LEFT", 0), 1838);
  EXPECT_EQ(TConfigINI::LerInteiro("CHAT_FLOAT", "TOP", 0), 958);

  // Not confirmed (a blank after the colon): the line, and the badge stays.
  Poll(b, 4);
  RespostaChat("api/agent_chat_mark_read_all.php", "{\"ok\": true}");
  Mouse(b, TTipoMouse::Baixo, TBotaoMouse::Esquerdo, 30, 30);
  Mouse(b, TTipoMouse::Cima, TBotaoMouse::Esquerdo, 30, 30);
  ASSERT_TRUE(AguardarPedidos());
  EXPECT_EQ(LinhasCom("Vesk Chat: servidor NAO confirmou marcar tudo como lido. Ret={\"ok\": true}")
                .size(),
            1u);
  EXPECT_EQ(b.Unread(), 4);
  EXPECT_EQ(FShell.Chamadas.size(), 2u) << "the chat opens whatever mark-all-read said";
}

TEST_F(ChatFloat, ToastNoCantoCliqueQualquerBotaoESeteSegundos) {
  int cliques = 0;
  std::unique_ptr<TFrmChatToast> t(
      TFrmChatToast::CreateToast(nullptr, "", "", 150, [&](void*) { ++cliques; }));
  EXPECT_FALSE(t->Visivel());
  EXPECT_EQ(t->Left(), 1920 - 430 - 18);
  EXPECT_EQ(t->Top(), 1040 - 158 - 78);
  EXPECT_EQ(t->ClientWidth(), 430);
  EXPECT_EQ(t->ClientHeight(), 158);
  ui::TCanvasGravador c;
  t->Pintar(c);
  std::vector<std::string> textos;
  for (const auto& k : c.Comandos)
    if (!k.Texto.empty()) textos.push_back(k.Texto);
  EXPECT_EQ(textos, (std::vector<std::string>{"99+", "Nova mensagem", "150 mensagens não lidas",
                                              "Nova mensagem recebida no chat.",
                                              "Clique para abrir o chat"}));
  t->Mostrar();
  t->EntregarMouse({TTipoMouse::Cima, TBotaoMouse::Direito, {5, 5}});
  EXPECT_EQ(cliques, 1);
  EXPECT_FALSE(t->Visivel());

  std::unique_ptr<TFrmChatToast> u(TFrmChatToast::CreateToast(nullptr, "Ana", "Oi", 1, nullptr));
  u->Mostrar();
  ui::TCanvasGravador d;
  u->Pintar(d);
  for (const auto& k : d.Comandos) EXPECT_NE(k.Texto, "99+");
  RelogioTeste().Avancar(6999);
  ui::app::ProcessarMensagens();
  EXPECT_TRUE(u->Visivel());
  RelogioTeste().Avancar(1);
  ui::app::ProcessarMensagens();
  EXPECT_FALSE(u->Visivel()) << "not hidden after 7 seconds";
}

TEST_F(ChatFloat, ToastSubstituidoDuranteOProprioCliqueSoELiberadoDepois) {
  TFrmChatFloat& b = Bolha();
  (void)b;
  TFrmChatToast* t = TFrmChatToast::CreateToast(nullptr, "Ana", "Oi", 1, [](void*) {
    // A poll replaces the toast while its click is handled.
    TVeskChatFloat::DescartarToast();
    ui::app::ProcessarMensagens();
  });
  TVeskChatFloat::DefinirToast(t);
  t->Mostrar();
  t->EntregarMouse({TTipoMouse::Cima, TBotaoMouse::Esquerdo, {5, 5}});
  EXPECT_EQ(TVeskChatFloat::ToastAtual(), nullptr);
  ui::app::ProcessarMensagens();  // the posted release
}

}  // namespace
